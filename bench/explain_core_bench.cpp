// explain and suggest in the core, beside validate and is_valid of the same
// inputs, all measured in one run without Python:
//
//   g++ -std=c++20 -O2 -I. bench/explain_core_bench.cpp build/h/libcobalis-core.a -o build/explain_core_bench
//   build/explain_core_bench
//
// Inputs: each kind's example, valid, and with its last character changed
// (a check-character failure for the kinds that have one; for the Belgian VAT
// number, a failure of the form that holds its check digits).
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/kinds.hpp"
#include "core/repair/repair.hpp"

namespace {

using namespace cobalis;

template <class F>
double ns_per_call(F&& f, int rounds) {
    double best = 1e30;
    for (int r = 0; r < 5; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) f();
        const auto stop = std::chrono::steady_clock::now();
        const double ns = std::chrono::duration<double, std::nano>(stop - start).count() / rounds;
        if (ns < best) best = ns;
    }
    return best;
}

template <class T>
void keep(const T& value) {
    asm volatile("" : : "g"(&value) : "memory");
}

}  // namespace

int main() {
    const std::vector<std::pair<std::string_view, std::string>> examples{
        {"iban", "GB82 WEST 1234 5698 7654 32"}, {"bic", "DEUTDEFF500"},
        {"credit_card", "4111 1111 1111 1111"},  {"isbn", "978-0-306-40615-7"},
        {"issn", "0378-5955"},                   {"isin", "US0378331005"},
        {"lei", "5493001KJTIIGC8Y1R12"},         {"ean", "4006381333931"},
        {"vat", "BE0403019261"},                  {"email", "info@example.com"},
    };
    std::printf("| kind | input | is_valid | validate | explain | explain / validate | suggest |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (std::size_t k = 0; k < kinds::KIND_COUNT; ++k) {
        const kinds::Kind& kind = kinds::KINDS[k];
        std::string valid;
        for (const auto& [name, text] : examples) {
            if (name == kind.name) valid = text;
        }
        std::string mistyped = valid;
        mistyped.back() = mistyped.back() == '1' ? '2' : '1';
        if (kind.name == "bic") mistyped[4] = '1';
        for (const auto& [label, text] : {std::pair{"valid", valid}, std::pair{"mistyped", mistyped}}) {
            const std::string_view input = text;
            const int rounds = 200000;
            const double is_valid = ns_per_call([&] { keep(kind.is_valid(input)); }, rounds);
            const double validate = ns_per_call([&] { keep(kind.validate(input)); }, rounds);
            const double explain = ns_per_call([&] { keep(repair::explain(k, input, false)); }, rounds);
            repair::Suggestions found;
            const double suggest = ns_per_call(
                [&] {
                    repair::suggest(k, input, false, 5, found);
                    keep(found);
                },
                rounds / 10);
            std::printf("| %s | %s | %.0f | %.0f | %.0f | %.2f | %.0f |\n", std::string(kind.name).c_str(), label,
                        is_valid, validate, explain, explain / validate, suggest);
        }
    }
}
