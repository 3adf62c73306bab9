# Sourced by the scripts that run programs under Wine: one quiet prefix, its
# virtual diskette and its display, all under one folder. The prefix is a
# 32-bit one, or a 64-bit one where the programs are the x86-64 build
# (scripts/wine-arch.sh).
. "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"
[ -n "${STARTDISK_WINE_ARCH:-}" ] || decide_wine_arch
use_decided_wine
export STARTDISK_WINE_ROOT="${STARTDISK_WINE_ROOT:-${TMPDIR:-/tmp}/startdisk-wine-$(id -u)}"
export WINEPREFIX="$STARTDISK_WINE_ROOT/prefix" WINEARCH="$WINE_PREFIX_ARCH"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# The virtual diskette: drive A:'s raw device reads and writes this file.
export STARTDISK_DISK="$STARTDISK_WINE_ROOT/disk.img"
if [ -z "${DISPLAY:-}" ] && [ -f "$STARTDISK_WINE_ROOT/display" ]; then
    DISPLAY="$(cat "$STARTDISK_WINE_ROOT/display")"
    export DISPLAY
fi

# What an end-to-end test killed by ctest's timeout left under the folder: a
# SIGKILL runs no trap, so its work folder stays, with whatever is mounted in
# it and the loop devices over its files. The next test and the teardown
# release them; a folder of a test still running is never met, as the tests
# of one folder run one at a time.
release_leftovers() {
    local work backing
    for work in "$STARTDISK_WINE_ROOT"/work.*; do
        [ -d "$work" ] || continue
        findmnt -rn -o TARGET | grep -F "$work/" | sort -r | while read -r target; do umount -l "$target"; done
        for backing in /sys/block/loop*/loop/backing_file; do
            [[ "$(cat "$backing" 2>/dev/null)" != "$work/"* ]] || losetup -d "/dev/$(basename "${backing%/loop/backing_file}")"
        done
        rm -rf "$work"
    done 2>/dev/null
    return 0
}
