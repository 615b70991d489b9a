// The national rules of the VAT numbers we accept, one module per country.
//
// Each rule takes the national part of a normalised number (the text after
// the two-letter prefix: separators dropped, letters upper case) and answers
// whether it has that country's shape and, where the country has one, the
// right check. Every rule tests the length before it reads a position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/algorithms/calendar.hpp"
#include "core/algorithms/check_digits.hpp"
#include "core/algorithms/decimal.hpp"
#include "core/algorithms/mod11_10.hpp"
#include "core/algorithms/weighted_sum.hpp"
#include "core/validators/text.hpp"

namespace cobalis::validators::vat {

// Shapes several countries share.

constexpr bool digits_of_length(std::string_view s, std::size_t length) noexcept {
    return s.size() == length && all_digits(s);
}

constexpr bool digits_of_length_between(std::string_view s, std::size_t shortest, std::size_t longest) noexcept {
    return s.size() >= shortest && s.size() <= longest && all_digits(s);
}

// The `Length` bytes at `position` of a national part whose shape rule has
// already made sure they are there: a view of a length known when compiling,
// so that the loops over it unroll.
template <std::size_t Length>
constexpr std::string_view part_of(std::string_view national, std::size_t position) noexcept {
    return {national.data() + position, Length};
}

// The arithmetic the checks share.
using algorithms::is_calendar_date;
using algorithms::number_of;
using algorithms::place_values;
using algorithms::place_values_modulo;
using algorithms::two_digits_at;
using algorithms::weights_from;
using algorithms::weighted_sum;
namespace mod10 = algorithms::mod10;
namespace mod11 = algorithms::mod11;
namespace mod11_10 = algorithms::mod11_10;

// One module per country; GR serves the prefix EL as well. `is_valid` is the
// country's shape (and, for some, its check); `has_valid_check` is the
// national check digit or letter its tax authority publishes, asked only of a
// national part that `is_valid` accepted, for strict validation.
namespace at {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace be {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace bg {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace cy {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace cz {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace de {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace dk {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ee {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace es {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace fi {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace fr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace gb {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace gr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace hr {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace hu {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ie {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace it {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lu {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace lv {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace mt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace nl {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace pl {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace pt {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace ro {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace se {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace si {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}
namespace sk {
bool is_valid(std::string_view national) noexcept;
bool has_valid_check(std::string_view national) noexcept;
}

}  // namespace cobalis::validators::vat
