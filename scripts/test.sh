#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the
# portable code natively under sanitizers, the Windows test programs and the
# end-to-end runs of startdisk.exe under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${STARTDISK_BUILD_DIR:-$root/build}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
# CTest's own fixture stops Wine and Xvfb; this catches an interrupted run.
trap 'STARTDISK_WINE_ROOT="$build/wine" "$root/scripts/wine-teardown.sh"' EXIT
cd "$build"
ctest --output-on-failure "$@"
