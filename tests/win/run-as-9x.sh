#!/usr/bin/env bash
# Runs a Windows test program with Wine reporting the 9x family to it.
set -euo pipefail
. "$(dirname "$0")/../../scripts/wine-env.sh"
if why_no_9x >/dev/null; then
    echo "skip: $(why_no_9x)"
    exit 77
fi
key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")"
wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1
trap 'wine reg delete "$key" /f >/dev/null 2>&1' EXIT
STARTDISK_EXPECT_FAMILY=9x wine "$@"
