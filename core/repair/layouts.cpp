#include "core/repair/layouts.hpp"

#include "core/validators/iban_checks.hpp"

namespace cobalis::repair::layouts {

void iban_places(std::string_view s, bool strict, Places& out) noexcept {
    each_place<iban>(s, strict, out);
    if (!strict || s.size() < 4 || s.size() > validators::iban::MAX_IBAN) return;
    const validators::iban::Layout* layout = validators::iban::LAYOUTS.find(s[0], s[1]);
    if (layout == nullptr) return;
    for (std::size_t p = 4; p < s.size(); ++p) {
        const validators::iban::Places bit = validators::iban::Places{1} << p;
        if ((layout->fixed & bit) != 0) out.at[p] = (layout->letters & bit) != 0 ? &LETTERS : &DIGITS;
    }
}

}  // namespace cobalis::repair::layouts
