#!/usr/bin/env bash
# Runs a Windows test program with Wine reporting the 9x family to it.
set -euo pipefail
. "$(dirname "$0")/../../scripts/wine-env.sh"
! why="$(why_no_9x)" || { echo "skip: $why"; exit 77; }
key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")"
wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1
trap 'wine reg delete "$key" /f >/dev/null 2>&1' EXIT
STARTDISK_EXPECT_FAMILY=9x wine "$@"
