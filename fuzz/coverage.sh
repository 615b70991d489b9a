#!/usr/bin/env bash
# Line and branch coverage of the core reached by the fuzz corpora: every
# target is rebuilt with clang's source-based coverage, replays its seeds and
# what earlier runs of fuzz/run.sh learned (build/fuzz/corpus/), and
# llvm-cov reports per file of core/.
#
#   bash fuzz/coverage.sh            summary table
#   bash fuzz/coverage.sh --lines    also the lines never reached
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz-coverage
rm -rf "$build"
mkdir -p "$build/profiles"
flags=(-std=c++20 -O1 -g -I. -fprofile-instr-generate -fcoverage-mapping -fconstexpr-steps=200000000)
sources=$(find core -name '*.cpp' | sort)
reported=$(find core -name '*.cpp' -o -name '*.hpp' | sort)
mkdir -p "$build/obj"
objects_core=()
for source in $sources; do
    object="$build/obj/${source//\//_}.o"
    clang++ "${flags[@]}" -c "$source" -o "$object"
    objects_core+=("$object")
done

binaries=()
for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    missing=""
    for header in $(sed -n 's|^// needs: ||p' "$source"); do
        [[ -f $header ]] || missing+=" $header"
    done
    [[ -z $missing ]] || continue
    clang++ "${flags[@]}" -fsanitize=fuzzer "$source" "${objects_core[@]}" -o "$build/$target"
    corpora=()
    for dir in "build/fuzz/corpus/$target" "fuzz/corpus/$target"; do
        [[ -d $dir ]] && corpora+=("$dir")
    done
    LLVM_PROFILE_FILE="$build/profiles/$target.profraw" "$build/$target" -runs=0 "${corpora[@]}" \
        >"$build/$target.log" 2>&1
    binaries+=("$build/$target")
done

llvm-profdata merge -sparse "$build"/profiles/*.profraw -o "$build/all.profdata"
objects=("${binaries[0]}")
for binary in "${binaries[@]:1}"; do
    objects+=(-object "$binary")
done
# shellcheck disable=SC2086
llvm-cov report "${objects[@]}" -instr-profile="$build/all.profdata" $reported
if [[ ${1:-} == --lines ]]; then
    llvm-cov show "${objects[@]}" -instr-profile="$build/all.profdata" -show-line-counts-or-regions \
        -format=text $reported | grep -E '^\S.*:$|^ +[0-9]+\| +0\|' || true
fi
