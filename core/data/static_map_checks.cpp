// Compile-time checks of StaticMap: this file holds no code, only tables the
// compiler must build and lookups it must answer.
#include <array>
#include <cstddef>
#include <string_view>

#include "core/data/static_map.hpp"

namespace cobalis::data {
namespace {

using namespace std::string_view_literals;

constexpr StaticMap<int, 0> EMPTY;
static_assert(EMPTY.size() == 0);
static_assert(EMPTY.find("") == nullptr && EMPTY.find("a") == nullptr);

constexpr Entry<int> ONE_ENTRY[] = {{"stub", 7}};
constexpr StaticMap ONE{ONE_ENTRY};
static_assert(ONE.size() == 1 && *ONE.find("stub") == 7);
static_assert(ONE.find("STUB") == nullptr && ONE.find("Stub") == nullptr && ONE.find(" stub") == nullptr &&
              ONE.find("stub ") == nullptr && ONE.find("stu") == nullptr && ONE.find("stubs") == nullptr &&
              ONE.find("") == nullptr && ONE.find("stub\0"sv) == nullptr);

// Keys of every length around the eight-byte word, NULs, non-ASCII bytes,
// the empty key, and long keys that agree in their first eight bytes.
constexpr Entry<int> MIXED_ENTRIES[] = {
    {"", 1},           {"a", 2},          {"ab", 3},          {"ab\0"sv, 4},         {"abcdefgh", 5},
    {"abcdefgh1", 6},  {"abcdefgh2", 7},  {"\xE2\x82\xAC", 8}, {"abcdefghijklmnopq", 9}, {"abcdefghijklmnopr", 10},
    {"\0"sv, 11},      {"\0\0"sv, 12},
};
constexpr StaticMap MIXED{MIXED_ENTRIES};

consteval bool finds_every_entry(const auto& map, const auto& entries) {
    for (const auto& e : entries) {
        const auto* value = map.find(e.key);
        if (value == nullptr || *value != e.value) return false;
    }
    return true;
}
static_assert(finds_every_entry(MIXED, MIXED_ENTRIES));
static_assert(MIXED.find("abcdefgh3") == nullptr && MIXED.find("abcdefghijklmnops") == nullptr &&
              MIXED.find("abcdefg") == nullptr && MIXED.find("abc") == nullptr && MIXED.find("A") == nullptr &&
              MIXED.find("b") == nullptr && MIXED.find("\0\0\0"sv) == nullptr &&
              MIXED.find("abcdefghijklmnopqr") == nullptr && MIXED.find("\xE2\x82") == nullptr);

// Every two-letter upper-case code, each mapped to its own position: a table
// far larger than any we ship, with all lookups answered and nothing else.
constexpr std::size_t LETTERS = 26;
constexpr std::size_t PAIRS = LETTERS * LETTERS;
constexpr auto PAIR_BYTES = [] {
    std::array<char, 2 * PAIRS> bytes{};
    for (std::size_t i = 0; i < PAIRS; ++i) {
        bytes[2 * i] = static_cast<char>('A' + i / LETTERS);
        bytes[2 * i + 1] = static_cast<char>('A' + i % LETTERS);
    }
    return bytes;
}();
constexpr auto PAIR_ENTRIES = [] {
    std::array<Entry<std::size_t>, PAIRS> entries{};
    for (std::size_t i = 0; i < PAIRS; ++i) entries[i] = {std::string_view(PAIR_BYTES.data() + 2 * i, 2), i};
    return entries;
}();
constexpr StaticMap ALL_PAIRS{PAIR_ENTRIES};
static_assert(ALL_PAIRS.size() == PAIRS && finds_every_entry(ALL_PAIRS, PAIR_ENTRIES));
static_assert(*ALL_PAIRS.find("AA") == 0 && *ALL_PAIRS.find("ZZ") == PAIRS - 1 && *ALL_PAIRS.find("GB") == 6 * LETTERS + 1);
static_assert(ALL_PAIRS.find("gb") == nullptr && ALL_PAIRS.find("G") == nullptr && ALL_PAIRS.find("GBR") == nullptr &&
              ALL_PAIRS.find("G1") == nullptr && ALL_PAIRS.find("[A") == nullptr);

}  // namespace
}  // namespace cobalis::data
