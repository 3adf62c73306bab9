# The demo run one way and then the other in one checkout: each ends 0
# whatever the run before left (its prefix, its settings), and each family's
# pictures stand beside the other's.
#   demo_test.sh <source folder> <build folder>
set -euo pipefail
root="$1" build="$2"
. "$root/scripts/wine-arch.sh"
failures=0
check() { if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected $2, got $3"; failures=$((failures + 1)); fi; }
# demo <what>: the demo without a display, as a user runs it; every wait in it has a bound.
demo() {
    local rc=0
    env -u DISPLAY STARTDISK_BUILD_DIR="$build" timeout 900 "$root/scripts/demo.sh" >"$build/demo.out" 2>&1 || rc=$?
    check "demo, $1: ends 0" 0 "$rc"
    [ "$rc" = 0 ] || sed 's/^/  | /' "$build/demo.out"
}
pictures() { ls "$build/pictures/$1" 2>/dev/null | paste -sd ' '; }

rm -rf "$build/pictures"
demo "the way the machine takes${STARTDISK_ARCH:+ (STARTDISK_ARCH=$STARTDISK_ARCH)}"
check "demo: the NT run's pictures" "1-licence.png 2-instructions.png 3-instructions.png 4-instructions.png 5-instructions.png 6-confirmation.png 7-progress.png 8-retry-prompt.png" "$(pictures nt)"
decide_wine_arch
if [ "$STARTDISK_WINE_ARCH" = i686 ]; then
    check "demo: the 9x run's pictures, beside the NT run's" "1-licence.png 2-instructions.png 3-instructions.png 4-instructions.png 5-instructions.png 6-confirmation.png 7-progress.png 9-closing.png" "$(pictures 9x)"
fi
if runs_32bit_programs; then
    [ "$STARTDISK_WINE_ARCH" = i686 ] && export STARTDISK_ARCH=x86-64 || unset STARTDISK_ARCH
    demo "then the other way${STARTDISK_ARCH:+ (STARTDISK_ARCH=$STARTDISK_ARCH)}"
else
    # One way only here: the prefix is marked as the other way's, as a
    # checkout brought from a machine of the other sort holds it.
    (export STARTDISK_WINE_ROOT="$build/demo-wine" && . "$root/scripts/wine-env.sh" && wineserver -w)
    sed -i 's/^#arch=win64$/#arch=win32/' "$build/demo-wine/prefix/system.reg"
    demo "then over a prefix of the other way"
fi
[ "$failures" -eq 0 ]
