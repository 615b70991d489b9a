// What a valid identifier carries beyond the rules it was checked against:
// the national rules of its kind when it was checked without them, the
// national number inside an ISIN (with a check digit of its own for some
// countries), the brand a card's leading digits name. None of it makes an
// identifier invalid, but a repair that keeps it is more plausible than one
// that breaks it, so equally likely repairs are ranked by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cobalis::repair {

// How many of those facts `compact`, valid under the rules asked (`strict`
// or not) of kind number `kind`, fails: 0 when every one holds.
std::uint8_t doubts(std::size_t kind, std::string_view compact, bool strict) noexcept;

// Whether the national number inside `isin` (twelve upper-case characters)
// is not the code its country writes there: "00" and a SEDOL after GB, IE,
// IM, JE and GG, a CUSIP after US and CA, "000" and a WKN after DE. False
// for other countries.
bool national_number_fails(std::string_view isin) noexcept;

}  // namespace cobalis::repair
