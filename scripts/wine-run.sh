#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix (see scripts/wine-env.sh).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
exec wine "$@"
