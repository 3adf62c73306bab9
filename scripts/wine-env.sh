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
