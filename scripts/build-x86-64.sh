#!/usr/bin/env bash
# Builds Windows programs of the project for x86-64, in <build>/x86-64: the
# build that machines which cannot run 32-bit programs run under 64-bit Wine.
# The same folder and settings as the test build's own x86-64 programs.
#   scripts/build-x86-64.sh <build folder> <target...>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"; shift
cmake -S "$root" -B "$build/x86-64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DSTARTDISK_PROGRAMS_ONLY=ON >/dev/null
cmake --build "$build/x86-64" --target "$@" -j"$(nproc)" >/dev/null
