#include "core/data/currencies.hpp"

#include <array>
#include <iterator>

namespace cobalis::data {

// Reaching this while the country lists are split stops the compilation.
void malformed_country_list();

namespace {

// A currency as written below: its countries as one text of two-letter codes
// separated by single spaces.
struct Row {
    std::string_view code;
    std::uint16_t numeric;
    std::string_view name;
    std::string_view symbol;
    std::uint8_t decimals;
    std::string_view countries;
};

// ISO 4217 List One of 2026-01-01 (see currencies.hpp), in code order.
constexpr Row ROWS[] = {
    {"AED", 784, "UAE Dirham", "\u062F.\u0625", 2, "AE"},
    {"AFN", 971, "Afghani", "\u060B", 2, "AF"},
    {"ALL", 8, "Lek", "L", 2, "AL"},
    {"AMD", 51, "Armenian Dram", "\u058F", 2, "AM"},
    {"AOA", 973, "Kwanza", "Kz", 2, "AO"},
    {"ARS", 32, "Argentine Peso", "$", 2, "AR"},
    {"AUD", 36, "Australian Dollar", "A$", 2, "AU CC CX HM KI NF NR TV"},
    {"AWG", 533, "Aruban Florin", "\u0192", 2, "AW"},
    {"AZN", 944, "Azerbaijan Manat", "\u20BC", 2, "AZ"},
    {"BAM", 977, "Convertible Mark", "KM", 2, "BA"},
    {"BBD", 52, "Barbados Dollar", "Bds$", 2, "BB"},
    {"BDT", 50, "Taka", "\u09F3", 2, "BD"},
    {"BHD", 48, "Bahraini Dinar", ".\u062F.\u0628", 3, "BH"},
    {"BIF", 108, "Burundi Franc", "FBu", 0, "BI"},
    {"BMD", 60, "Bermudian Dollar", "$", 2, "BM"},
    {"BND", 96, "Brunei Dollar", "B$", 2, "BN"},
    {"BOB", 68, "Boliviano", "Bs.", 2, "BO"},
    {"BOV", 984, "Mvdol", "BOV", 2, "BO"},
    {"BRL", 986, "Brazilian Real", "R$", 2, "BR"},
    {"BSD", 44, "Bahamian Dollar", "$", 2, "BS"},
    {"BTN", 64, "Ngultrum", "Nu.", 2, "BT"},
    {"BWP", 72, "Pula", "P", 2, "BW"},
    {"BYN", 933, "Belarusian Ruble", "Br", 2, "BY"},
    {"BZD", 84, "Belize Dollar", "BZ$", 2, "BZ"},
    {"CAD", 124, "Canadian Dollar", "CA$", 2, "CA"},
    {"CDF", 976, "Congolese Franc", "FC", 2, "CD"},
    {"CHE", 947, "WIR Euro", "CHE", 2, "CH"},
    {"CHF", 756, "Swiss Franc", "Fr.", 2, "CH LI"},
    {"CHW", 948, "WIR Franc", "CHW", 2, "CH"},
    {"CLF", 990, "Unidad de Fomento", "CLF", 4, "CL"},
    {"CLP", 152, "Chilean Peso", "$", 0, "CL"},
    {"CNY", 156, "Yuan Renminbi", "\u00A5", 2, "CN"},
    {"COP", 170, "Colombian Peso", "$", 2, "CO"},
    {"COU", 970, "Unidad de Valor Real", "COU", 2, "CO"},
    {"CRC", 188, "Costa Rican Colon", "\u20A1", 2, "CR"},
    {"CUP", 192, "Cuban Peso", "\u20B1", 2, "CU"},
    {"CVE", 132, "Cabo Verde Escudo", "$", 2, "CV"},
    {"CZK", 203, "Czech Koruna", "K\u010D", 2, "CZ"},
    {"DJF", 262, "Djibouti Franc", "Fdj", 0, "DJ"},
    {"DKK", 208, "Danish Krone", "kr", 2, "DK FO GL"},
    {"DOP", 214, "Dominican Peso", "RD$", 2, "DO"},
    {"DZD", 12, "Algerian Dinar", "\u062F.\u062C", 2, "DZ"},
    {"EGP", 818, "Egyptian Pound", "E\u00A3", 2, "EG"},
    {"ERN", 232, "Nakfa", "Nfk", 2, "ER"},
    {"ETB", 230, "Ethiopian Birr", "Br", 2, "ET"},
    {"EUR", 978, "Euro", "\u20AC", 2, "AT BE BG CY DE EE ES FI FR GR HR IE IT LT LU LV MT NL PT SI SK"},
    {"FJD", 242, "Fiji Dollar", "FJ$", 2, "FJ"},
    {"FKP", 238, "Falkland Islands Pound", "\u00A3", 2, "FK"},
    {"GBP", 826, "Pound Sterling", "\u00A3", 2, "GB GG IM JE"},
    {"GEL", 981, "Lari", "\u20BE", 2, "GE"},
    {"GHS", 936, "Ghana Cedi", "GH\u20B5", 2, "GH"},
    {"GIP", 292, "Gibraltar Pound", "\u00A3", 2, "GI"},
    {"GMD", 270, "Dalasi", "D", 2, "GM"},
    {"GNF", 324, "Guinean Franc", "FG", 0, "GN"},
    {"GTQ", 320, "Quetzal", "Q", 2, "GT"},
    {"GYD", 328, "Guyana Dollar", "G$", 2, "GY"},
    {"HKD", 344, "Hong Kong Dollar", "HK$", 2, "HK"},
    {"HNL", 340, "Lempira", "L", 2, "HN"},
    {"HTG", 332, "Gourde", "G", 2, "HT"},
    {"HUF", 348, "Forint", "Ft", 2, "HU"},
    {"IDR", 360, "Rupiah", "Rp", 2, "ID"},
    {"ILS", 376, "New Israeli Sheqel", "\u20AA", 2, "IL PS"},
    {"INR", 356, "Indian Rupee", "\u20B9", 2, "IN BT"},
    {"IQD", 368, "Iraqi Dinar", "\u0639.\u062F", 3, "IQ"},
    {"IRR", 364, "Iranian Rial", "\uFDFC", 2, "IR"},
    {"ISK", 352, "Iceland Krona", "kr", 0, "IS"},
    {"JMD", 388, "Jamaican Dollar", "J$", 2, "JM"},
    {"JOD", 400, "Jordanian Dinar", "\u062F.\u0627", 3, "JO"},
    {"JPY", 392, "Yen", "\u00A5", 0, "JP"},
    {"KES", 404, "Kenyan Shilling", "KSh", 2, "KE"},
    {"KGS", 417, "Som", "\u043B\u0432", 2, "KG"},
    {"KHR", 116, "Riel", "\u17DB", 2, "KH"},
    {"KMF", 174, "Comorian Franc", "CF", 0, "KM"},
    {"KPW", 408, "North Korean Won", "\u20A9", 2, "KP"},
    {"KRW", 410, "Won", "\u20A9", 0, "KR"},
    {"KWD", 414, "Kuwaiti Dinar", "\u062F.\u0643", 3, "KW"},
    {"KYD", 136, "Cayman Islands Dollar", "CI$", 2, "KY"},
    {"KZT", 398, "Tenge", "\u20B8", 2, "KZ"},
    {"LAK", 418, "Lao Kip", "\u20AD", 2, "LA"},
    {"LBP", 422, "Lebanese Pound", "\u0644.\u0644", 2, "LB"},
    {"LKR", 144, "Sri Lanka Rupee", "Rs", 2, "LK"},
    {"LRD", 430, "Liberian Dollar", "L$", 2, "LR"},
    {"LSL", 426, "Loti", "M", 2, "LS"},
    {"LYD", 434, "Libyan Dinar", "\u0644.\u062F", 3, "LY"},
    {"MAD", 504, "Moroccan Dirham", "\u062F.\u0645.", 2, "MA EH"},
    {"MDL", 498, "Moldovan Leu", "L", 2, "MD"},
    {"MGA", 969, "Malagasy Ariary", "Ar", 2, "MG"},
    {"MKD", 807, "Denar", "\u0434\u0435\u043D", 2, "MK"},
    {"MMK", 104, "Kyat", "K", 2, "MM"},
    {"MNT", 496, "Tugrik", "\u20AE", 2, "MN"},
    {"MOP", 446, "Pataca", "MOP$", 2, "MO"},
    {"MRU", 929, "Ouguiya", "UM", 2, "MR"},
    {"MUR", 480, "Mauritius Rupee", "\u20A8", 2, "MU"},
    {"MVR", 462, "Rufiyaa", "Rf", 2, "MV"},
    {"MWK", 454, "Malawi Kwacha", "MK", 2, "MW"},
    {"MXN", 484, "Mexican Peso", "MX$", 2, "MX"},
    {"MXV", 979, "Mexican Unidad de Inversion (UDI)", "MXV", 2, "MX"},
    {"MYR", 458, "Malaysian Ringgit", "RM", 2, "MY"},
    {"MZN", 943, "Mozambique Metical", "MT", 2, "MZ"},
    {"NAD", 516, "Namibia Dollar", "N$", 2, "NA"},
    {"NGN", 566, "Naira", "\u20A6", 2, "NG"},
    {"NIO", 558, "Cordoba Oro", "C$", 2, "NI"},
    {"NOK", 578, "Norwegian Krone", "kr", 2, "NO BV SJ"},
    {"NPR", 524, "Nepalese Rupee", "\u20A8", 2, "NP"},
    {"NZD", 554, "New Zealand Dollar", "NZ$", 2, "NZ CK NU PN TK"},
    {"OMR", 512, "Rial Omani", "\u0631.\u0639.", 3, "OM"},
    {"PAB", 590, "Balboa", "B/.", 2, "PA"},
    {"PEN", 604, "Sol", "S/.", 2, "PE"},
    {"PGK", 598, "Kina", "K", 2, "PG"},
    {"PHP", 608, "Philippine Peso", "\u20B1", 2, "PH"},
    {"PKR", 586, "Pakistan Rupee", "\u20A8", 2, "PK"},
    {"PLN", 985, "Zloty", "z\u0142", 2, "PL"},
    {"PYG", 600, "Guarani", "\u20B2", 0, "PY"},
    {"QAR", 634, "Qatari Rial", "\u0631.\u0642", 2, "QA"},
    {"RON", 946, "Romanian Leu", "lei", 2, "RO"},
    {"RSD", 941, "Serbian Dinar", "din.", 2, "RS"},
    {"RUB", 643, "Russian Ruble", "\u20BD", 2, "RU"},
    {"RWF", 646, "Rwanda Franc", "RF", 0, "RW"},
    {"SAR", 682, "Saudi Riyal", "\u0631.\u0633", 2, "SA"},
    {"SBD", 90, "Solomon Islands Dollar", "SI$", 2, "SB"},
    {"SCR", 690, "Seychelles Rupee", "\u20A8", 2, "SC"},
    {"SDG", 938, "Sudanese Pound", "\u062C.\u0633.", 2, "SD"},
    {"SEK", 752, "Swedish Krona", "kr", 2, "SE"},
    {"SGD", 702, "Singapore Dollar", "S$", 2, "SG"},
    {"SHP", 654, "Saint Helena Pound", "\u00A3", 2, "SH"},
    {"SLE", 925, "Leone", "Le", 2, "SL"},
    {"SOS", 706, "Somali Shilling", "Sh", 2, "SO"},
    {"SRD", 968, "Surinam Dollar", "Sr$", 2, "SR"},
    {"SSP", 728, "South Sudanese Pound", "SS\u00A3", 2, "SS"},
    {"STN", 930, "Dobra", "Db", 2, "ST"},
    {"SVC", 222, "El Salvador Colon", "\u20A1", 2, "SV"},
    {"SYP", 760, "Syrian Pound", "\u00A3S", 2, "SY"},
    {"SZL", 748, "Lilangeni", "E", 2, "SZ"},
    {"THB", 764, "Baht", "\u0E3F", 2, "TH"},
    {"TJS", 972, "Somoni", "SM", 2, "TJ"},
    {"TMT", 934, "Turkmenistan New Manat", "T", 2, "TM"},
    {"TND", 788, "Tunisian Dinar", "\u062F.\u062A", 3, "TN"},
    {"TOP", 776, "Pa'anga", "T$", 2, "TO"},
    {"TRY", 949, "Turkish Lira", "\u20BA", 2, "TR"},
    {"TTD", 780, "Trinidad and Tobago Dollar", "TT$", 2, "TT"},
    {"TWD", 901, "New Taiwan Dollar", "NT$", 2, "TW"},
    {"TZS", 834, "Tanzanian Shilling", "TSh", 2, "TZ"},
    {"UAH", 980, "Hryvnia", "\u20B4", 2, "UA"},
    {"UGX", 800, "Uganda Shilling", "USh", 0, "UG"},
    {"USD", 840, "US Dollar", "$", 2, "US AS EC GU MH FM MP PW PR TL TC VG VI"},
    {"USN", 997, "US Dollar (Next day)", "$", 2, "US"},
    {"UYI", 940, "Uruguay Peso en Unidades Indexadas (UI)", "UYI", 0, "UY"},
    {"UYU", 858, "Peso Uruguayo", "$U", 2, "UY"},
    {"UYW", 927, "Unidad Previsional", "UYW", 4, "UY"},
    {"UZS", 860, "Uzbekistan Sum", "\u0441\u045E\u043C", 2, "UZ"},
    {"VED", 926, "Bolivar Soberano", "VED", 2, "VE"},
    {"VES", 928, "Bolivar Soberano", "Bs.S", 2, "VE"},
    {"VND", 704, "Dong", "\u20AB", 0, "VN"},
    {"VUV", 548, "Vatu", "VT", 0, "VU"},
    {"WST", 882, "Tala", "WS$", 2, "WS"},
    {"XAD", 396, "Arab Accounting Dinar", "XAD", 2, ""},
    {"XAF", 950, "CFA Franc BEAC", "FCFA", 0, "CM CF TD CG GQ GA"},
    {"XCD", 951, "East Caribbean Dollar", "EC$", 2, "AG DM GD KN LC VC AI MS"},
    {"XCG", 532, "Caribbean Guilder", "Cg", 2, "CW SX"},
    {"XDR", 960, "SDR (Special Drawing Right)", "SDR", 0, ""},
    {"XOF", 952, "CFA Franc BCEAO", "CFA", 0, "BJ BF CI GW ML NE SN TG"},
    {"XPF", 953, "CFP Franc", "\u20A3", 0, "PF NC WF"},
    {"XSU", 994, "Sucre", "XSU", 0, ""},
    {"XUA", 965, "ADB Unit of Account", "XUA", 0, ""},
    {"YER", 886, "Yemeni Rial", "\uFDFC", 2, "YE"},
    {"ZAR", 710, "Rand", "R", 2, "ZA LS NA SZ"},
    {"ZMW", 967, "Zambian Kwacha", "ZK", 2, "ZM"},
    {"ZWG", 924, "Zimbabwe Gold", "ZiG", 2, "ZW"},
};
static_assert(std::size(ROWS) == CURRENCY_COUNT);

// Symbols are UTF-8: the universal character names above must become UTF-8 bytes.
static_assert(std::string_view("\u20AC") == "\xE2\x82\xAC");

constexpr std::size_t CODE_LENGTH = 2;

constexpr std::size_t code_count(std::string_view list) {
    if (list.empty()) return 0;
    if (list.size() % (CODE_LENGTH + 1) != CODE_LENGTH) malformed_country_list();
    for (std::size_t i = CODE_LENGTH; i < list.size(); i += CODE_LENGTH + 1) {
        if (list[i] != ' ') malformed_country_list();
    }
    return (list.size() + 1) / (CODE_LENGTH + 1);
}

constexpr std::size_t TOTAL_CODES = [] {
    std::size_t total = 0;
    for (const Row& row : ROWS) total += code_count(row.countries);
    return total;
}();

// Every country list, one after another; each currency views its own run.
constexpr auto COUNTRY_CODES = [] {
    std::array<std::string_view, TOTAL_CODES> codes{};
    std::size_t n = 0;
    for (const Row& row : ROWS) {
        for (std::size_t i = 0; i < code_count(row.countries); ++i) {
            const std::string_view code = row.countries.substr(i * (CODE_LENGTH + 1), CODE_LENGTH);
            for (char c : code) {
                if (c < 'A' || c > 'Z') malformed_country_list();
            }
            codes[n++] = code;
        }
    }
    return codes;
}();

constexpr auto ENTRIES = [] {
    std::array<Entry<Currency>, CURRENCY_COUNT> entries{};
    std::size_t first = 0;
    for (std::size_t i = 0; i < CURRENCY_COUNT; ++i) {
        const Row& row = ROWS[i];
        const std::size_t n = code_count(row.countries);
        entries[i] = {row.code, Currency{row.code, row.numeric, row.name, row.symbol, row.decimals,
                                         std::span<const std::string_view>(COUNTRY_CODES).subspan(first, n)}};
        first += n;
    }
    return entries;
}();

}  // namespace

constexpr StaticMap<Currency, CURRENCY_COUNT> CURRENCIES{ENTRIES};

namespace {

consteval bool finds_every_row() {
    for (const Row& row : ROWS) {
        const Currency* c = CURRENCIES.find(row.code);
        if (c == nullptr || c->code != row.code || c->numeric != row.numeric || c->symbol != row.symbol) return false;
    }
    return true;
}
static_assert(finds_every_row());
static_assert(CURRENCIES.find("EUR")->countries.size() == 21 && CURRENCIES.find("EUR")->countries[20] == "SK");
static_assert(CURRENCIES.find("ALL")->numeric == 8 && CURRENCIES.find("XDR")->countries.empty());
static_assert(CURRENCIES.find("eur") == nullptr && CURRENCIES.find("EURO") == nullptr &&
              CURRENCIES.find(" EUR") == nullptr && CURRENCIES.find("") == nullptr);

}  // namespace

namespace currencies {

const Currency* get(std::string_view code) noexcept { return CURRENCIES.find(code); }

}  // namespace currencies
}  // namespace cobalis::data
