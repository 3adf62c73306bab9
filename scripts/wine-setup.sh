#!/usr/bin/env bash
# Makes the Wine prefix (once, for the programs' architecture), maps drive A:
# to a blank 1,474,560-byte virtual diskette, starts a virtual X display when
# there is none, and keeps one wineserver running so that later wine calls
# start fast.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh"
mkdir -p "$STARTDISK_WINE_ROOT"

changed=""
# A prefix made for the other architecture (a build folder moved between
# machines of both sorts) cannot run these programs: it is made anew.
if ! grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg" 2>/dev/null; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    # A prefix that cannot be made says why in Wine's own words.
    if ! out="$(DISPLAY= wineboot -i 2>&1 </dev/null)"; then
        echo "wine-setup.sh: could not make the Wine prefix $WINEPREFIX: WINEARCH=$WINEARCH $(command -v wine) wineboot -i failed:" >&2
        echo "$out" | tail -n 20 >&2
        exit 1
    fi
    # Wine draws captions itself (no window manager here) and closes windows
    # without a 2 s wait; a crash ends the program instead of opening a dialog.
    DISPLAY= wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    DISPLAY= wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    changed=yes
fi

# What follows also reaches a prefix made by an earlier run. Each setting is
# read from the prefix itself, so a prefix made anew (for the other way) gets
# every one of them.
. "$here/wine-dialog-look.sh"
wine_dialog_look
# A virtual desktop draws every window with its caption and frame, for
# pictures; STARTDISK_DESKTOP=800x600 asks for one.
explorer='Software\Wine\Explorer'
if [ -n "${STARTDISK_DESKTOP:-}" ]; then
    reg_value HKCU "$explorer" Desktop Default
    reg_value HKCU "$explorer\Desktops" Default "$STARTDISK_DESKTOP"
elif reg_has HKCU "$explorer" Desktop Default; then
    DISPLAY= wine reg delete "HKCU\\$explorer" /v Desktop /f >/dev/null 2>&1 || true
    changed=yes
fi
[ -z "$changed" ] || wineserver -w

# Drive A: : "a::" is the raw device, "a:" the drive root that VWIN32 needs.
# Both must be in place before the wineserver starts.
if [ ! -f "$STARTDISK_DISK" ] || [ "$(stat -c %s "$STARTDISK_DISK")" != 1474560 ]; then
    rm -f "$STARTDISK_DISK"
    truncate -s 1474560 "$STARTDISK_DISK"
fi
mkdir -p "$STARTDISK_WINE_ROOT/drive-a"
ln -sfn "$STARTDISK_DISK" "$WINEPREFIX/dosdevices/a::"
ln -sfn "$STARTDISK_WINE_ROOT/drive-a" "$WINEPREFIX/dosdevices/a:"

if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 60 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        echo $! > "$STARTDISK_WINE_ROOT/xvfb.pid"
        echo ":$n" > "$STARTDISK_WINE_ROOT/display"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
    export DISPLAY="$(cat "$STARTDISK_WINE_ROOT/display")"
fi

# Nothing started here may hold on to the caller's output: CTest waits for
# every process that has its pipes.
wineserver -p >/dev/null 2>&1 </dev/null || true  # already running from an earlier setup
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
