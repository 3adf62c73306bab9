#!/usr/bin/env bash
# Stops everything wine-setup.sh started, and releases what a killed test left:
# no Wine or Xvfb process, mount or loop device stays behind.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh"
release_leftovers
[ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
if [ -f "$STARTDISK_WINE_ROOT/xvfb.pid" ]; then
    kill "$(cat "$STARTDISK_WINE_ROOT/xvfb.pid")" 2>/dev/null
    rm -f "$STARTDISK_WINE_ROOT/xvfb.pid" "$STARTDISK_WINE_ROOT/display"
fi
exit 0
