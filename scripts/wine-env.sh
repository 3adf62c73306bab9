# Sourced by the scripts that run programs under Wine: one quiet 32-bit
# prefix, its virtual diskette and its display, all under one folder.
export STARTDISK_WINE_ROOT="${STARTDISK_WINE_ROOT:-${TMPDIR:-/tmp}/startdisk-wine-$(id -u)}"
export WINEPREFIX="$STARTDISK_WINE_ROOT/prefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# The virtual diskette: drive A:'s raw device reads and writes this file.
export STARTDISK_DISK="$STARTDISK_WINE_ROOT/disk.img"
if [ -z "${DISPLAY:-}" ] && [ -f "$STARTDISK_WINE_ROOT/display" ]; then
    DISPLAY="$(cat "$STARTDISK_WINE_ROOT/display")"
    export DISPLAY
fi
