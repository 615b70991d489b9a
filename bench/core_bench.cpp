// The core alone, without Python: validations per second and time per input
// byte of every kind's fast path and full validate, and of the check-digit
// algorithms, on the typical inputs of bench/corpus/<kind>.txt.
//
//   cmake -S . -B build/bench -G Ninja -DCOBALIS_BUILD_BENCHMARKS=ON -DCOBALIS_BUILD_PYTHON=OFF
//   cmake --build build/bench && build/bench/core_bench [corpus-dir] [--benchmark_* flags]
#include <benchmark/benchmark.h>

#include <cstddef>
#include <deque>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/algorithms/damm.hpp"
#include "core/algorithms/luhn.hpp"
#include "core/algorithms/verhoeff.hpp"
#include "core/kinds.hpp"

namespace {

using cobalis::kinds::Kind;

struct Corpus {
    std::vector<std::string> inputs;
    std::size_t bytes = 0;
};

Corpus load(const std::string& path) {
    Corpus corpus;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        corpus.bytes += line.size();
        corpus.inputs.push_back(std::move(line));
    }
    return corpus;
}

void count(benchmark::State& state, const Corpus& corpus) {
    const auto walks = static_cast<double>(state.iterations());
    state.counters["validations/s"] =
        benchmark::Counter(walks * static_cast<double>(corpus.inputs.size()), benchmark::Counter::kIsRate);
    state.counters["per_byte"] = benchmark::Counter(walks * static_cast<double>(corpus.bytes),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["per_call"] = benchmark::Counter(walks * static_cast<double>(corpus.inputs.size()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class F>
void walk(benchmark::State& state, const Corpus& corpus, F f) {
    for (auto _ : state) {
        for (const std::string& s : corpus.inputs) benchmark::DoNotOptimize(f(std::string_view(s)));
    }
    count(state, corpus);
}

// Keeps the corpora alive and in place for the whole run: the benchmarks
// hold references to them.
std::deque<Corpus>& corpora() {
    static std::deque<Corpus> all;
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = COBALIS_CORPUS_DIR;
    if (argc > 1 && argv[1][0] != '-') {
        dir = argv[1];
        --argc;
        ++argv;
    }
    for (const Kind& kind : cobalis::kinds::KINDS) {
        const Corpus& corpus = corpora().emplace_back(load(dir + "/" + std::string(kind.name) + ".txt"));
        if (corpus.inputs.empty()) continue;
        const std::string name(kind.name);
        benchmark::RegisterBenchmark((name + "/is_valid").c_str(), [&kind, &corpus](benchmark::State& state) {
            walk(state, corpus, kind.is_valid);
        });
        benchmark::RegisterBenchmark((name + "/validate").c_str(), [&kind, &corpus](benchmark::State& state) {
            walk(state, corpus, [&kind](std::string_view s) { return kind.validate(s).is_valid; });
        });
        if (kind.has_strict) {
            benchmark::RegisterBenchmark((name + "/is_valid_strict").c_str(), [&kind, &corpus](benchmark::State& state) {
                walk(state, corpus, kind.is_valid_strict);
            });
        }
    }

    // The card numbers without separators serve as digit strings.
    Corpus& digits = corpora().emplace_back();
    for (const std::string& line : load(dir + "/credit_card.txt").inputs) {
        std::string d;
        for (char c : line) {
            if (c >= '0' && c <= '9') d.push_back(c);
        }
        if (d.empty()) continue;
        digits.bytes += d.size();
        digits.inputs.push_back(std::move(d));
    }
    using namespace cobalis::algorithms;
    benchmark::RegisterBenchmark("luhn/validate_str", [&digits](benchmark::State& state) {
        walk(state, digits, luhn::validate_str);
    });
    benchmark::RegisterBenchmark("luhn/generate_str", [&digits](benchmark::State& state) {
        walk(state, digits, luhn::generate_str);
    });
    benchmark::RegisterBenchmark("verhoeff/validate_str", [&digits](benchmark::State& state) {
        walk(state, digits, verhoeff::validate_str);
    });
    benchmark::RegisterBenchmark("damm/validate_str", [&digits](benchmark::State& state) {
        walk(state, digits, damm::validate_str);
    });

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
