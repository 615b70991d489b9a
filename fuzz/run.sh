#!/usr/bin/env bash
# Builds every libFuzzer target in fuzz/ (fuzz_*.cpp) with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each one for SECONDS, one after another.
# Fails (non-zero) on the first crash, sanitizer report, broken invariant or
# slow input; the offending input is kept under build/fuzz/artifacts/.
#
#   bash fuzz/run.sh SECONDS            build and run every target
#   bash fuzz/run.sh SECONDS TARGET...  only the named targets (e.g. fuzz_validators)
#
# The seeds in fuzz/corpus/<target>/ are read, never written; what a run
# learns goes to build/fuzz/corpus/<target>/ and is reused by the next run.
set -euo pipefail

if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ ]]; then
    echo "usage: bash fuzz/run.sh SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift
cd "$(dirname "$0")/.."

# clang with the fuzzer and sanitizer runtimes, from Debian's packages.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    echo "fuzz: installing clang and its fuzzer runtime" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2
    apt-get install -y -qq clang libclang-rt-14-dev >&2
fi

build=build/fuzz
mkdir -p "$build/obj" "$build/corpus" "$build/artifacts"

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I.
       -fsanitize=address,undefined -fno-sanitize-recover=all
       -D_GLIBCXX_ASSERTIONS
       -fconstexpr-steps=200000000)  # the static maps are built at compile time

# The core once, instrumented for coverage and the sanitizers, one compiler
# per core.
objects=()
stale=()
newest_header=$(find core -name '*.hpp' -printf '%T@\n' | sort -n | tail -1)
while IFS= read -r source; do
    object="$build/obj/${source//\//_}.o"
    objects+=("$object")
    if [[ ! -f $object || $source -nt $object ]] ||
        (( $(printf '%.0f' "$newest_header") > $(stat -c %Y "$object") )); then
        stale+=("$source")
    fi
done < <(find core -name '*.cpp' | sort)
if [[ ${#stale[@]} -gt 0 ]]; then
    printf '%s\n' "${stale[@]}" | FLAGS="${flags[*]}" xargs -P "$(nproc)" -I{} bash -c \
        'clang++ $FLAGS -fsanitize=fuzzer-no-link -c "$1" -o "$0/obj/${1//\//_}.o"' "$build" {}
fi

if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

# The longest input worth trying: past the 254-byte buffers for the
# validators, past the 64-digit Luhn buffer for the check digits.
max_len_of() {
    case $1 in
        fuzz_validators) echo 700 ;;
        fuzz_checkdigits) echo 300 ;;
        fuzz_lookups) echo 16 ;;
        fuzz_kernels) echo 300 ;;
        *) echo 128 ;;
    esac
}

ran=0
for target in "${targets[@]}"; do
    # A target names the headers it needs ("// needs: a.hpp b.hpp"); it waits
    # until they are in the tree.
    missing=""
    for header in $(sed -n 's|^// needs: ||p' "fuzz/$target.cpp"); do
        [[ -f $header ]] || missing+=" $header"
    done
    if [[ -n $missing ]]; then
        echo "==== $target: skipped, not in this tree:$missing" >&2
        continue
    fi
    echo "==== $target: building" >&2
    clang++ "${flags[@]}" -fsanitize=fuzzer "fuzz/$target.cpp" "${objects[@]}" -o "$build/$target"
    mkdir -p "$build/corpus/$target"
    seeds=()
    [[ -d fuzz/corpus/$target ]] && seeds=("fuzz/corpus/$target")
    dict=()
    [[ -f fuzz/$target.dict ]] && dict=("-dict=fuzz/$target.dict")
    echo "==== $target: fuzzing for ${seconds}s" >&2
    if ! "$build/$target" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" -timeout=10 \
            -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
            "${dict[@]}" "$build/corpus/$target" "${seeds[@]}" 2>"$build/$target.log"; then
        tail -n 60 "$build/$target.log" >&2
        echo "==== $target: FAILED (input kept under $build/artifacts/)" >&2
        exit 1
    fi
    grep -E '^(#[0-9]+ +DONE|stat::)' "$build/$target.log" | sed "s/^/$target: /" >&2 || true
    ran=$((ran + 1))
done
echo "fuzz: $ran targets ran ${seconds}s each without a fault"
