# Two builds of the same sources give the same startdisk.exe, byte for byte,
# whenever and wherever they are made:
#   reproducible_test.sh <source folder> <startdisk.exe of this build>
set -euo pipefail
source=$1 exe=$2
other="$(mktemp -d)"
trap 'rm -rf "$other"' EXIT
# Another folder, another time: neither may reach the exe.
SOURCE_DATE_EPOCH=86400 cmake -S "$source" -B "$other/build" -DBUILD_TESTING=OFF >/dev/null
SOURCE_DATE_EPOCH=86400 cmake --build "$other/build" --target startdisk >/dev/null
if cmp "$exe" "$other/build/startdisk.exe"; then
    echo "ok: the same exe from a second build ($(stat -c %s "$exe") bytes)"
else
    echo "FAIL: a second build gave different bytes"
    exit 1
fi
