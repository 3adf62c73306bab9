#!/usr/bin/env bash
# Runs the fuzzer for a bounded time from the corpus kept in the repo; new
# inputs it finds go to a scratch folder, not into the repo.
#   run-fuzzer.sh <fuzzer> <corpus folder> <seconds>
set -euo pipefail
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$1" -max_total_time="$3" -max_len=8192 -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch" "$2" 2>&1 | tail -n 12
