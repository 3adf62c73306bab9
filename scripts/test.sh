#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the
# portable code natively under sanitizers, the Windows test programs and the
# end-to-end runs of startdisk.exe under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${STARTDISK_BUILD_DIR:-$root/build}"

# Asked anew at every run: a checkout may have moved to a machine of the
# other sort since its build folder was made.
. "$root/scripts/wine-arch.sh"
decide_wine_arch
[ -z "$STARTDISK_ARCH_WHY" ] ||
    echo "test.sh: the tests run the programs' x86-64 build under 64-bit Wine ($STARTDISK_ARCH_WHY); those of the 9x family are skipped"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DSTARTDISK_WINE_ARCH="$STARTDISK_WINE_ARCH" >/dev/null
cmake --build "$build" -j"$(nproc)"
# CTest's own fixture stops Wine and Xvfb; this catches an interrupted run.
trap 'STARTDISK_WINE_ROOT="$build/wine" "$root/scripts/wine-teardown.sh"' EXIT
cd "$build"
ctest --output-on-failure "$@"
