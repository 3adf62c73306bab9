#!/usr/bin/env bash
# Times a whole diskette written and read through the program's own transfer
# code under Wine (the transfer probe), on the direct path (NT family) and
# the VWIN32 path (9x family), beside dd moving the same 160 tracks of 9,216
# bytes on the same virtual diskette file; and a verified write (-v: each
# track read back from the diskette and compared) beside the plain write and
# read. Prints markdown tables of medians.
#   bench/transfer.sh [build folder] [runs]
# The build folder defaults to $STARTDISK_BUILD, else build/ in the source.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${STARTDISK_BUILD:-$source_dir/build}}"
# Wine wants its prefix as an absolute path.
mkdir -p "$build" && build="$(cd "$build" && pwd)"
runs="${2:-7}"
tracks=160
track_bytes=9216

[ -f "$build/CMakeCache.txt" ] || cmake -S "$source_dir" -B "$build" >/dev/null
cmake --build "$build" --target transfer_probe uidriver >/dev/null
probe="$build/tests/transfer_probe.exe"

# A Wine root of its own, so that the tests' prefixes are left alone.
export STARTDISK_WINE_ROOT="$build/bench-wine" STARTDISK_BUILD="$build" STARTDISK_SOURCE="$source_dir"
unset DISPLAY
"$source_dir/scripts/wine-teardown.sh"  # a server left by an interrupted run would fail the setup
"$source_dir/scripts/wine-setup.sh"
. "$source_dir/scripts/wine-env.sh"
work="$(mktemp -d "$STARTDISK_WINE_ROOT/bench.XXXXXX")"
finish() {
    ln -sfn "$STARTDISK_DISK" "$WINEPREFIX/dosdevices/a::"
    wine reg delete 'HKCU\Software\Wine\AppDefaults\transfer_probe.exe' /f >/dev/null 2>&1 || true
    "$source_dir/scripts/wine-teardown.sh"
    rm -rf "$work"
}
trap finish EXIT
cd "$work"
head -c $((tracks * track_bytes)) /dev/urandom >image.bin

use_family() {
    if [ "$1" = 9x ]; then
        wine reg add 'HKCU\Software\Wine\AppDefaults\transfer_probe.exe' /v Version /d win98 /f >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Wine\AppDefaults\transfer_probe.exe' /f >/dev/null 2>&1 || true
    fi
}
now_us() { echo $(($(date +%s%N) / 1000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# probe <write|read|verify> <image>: appends "<transfer us> <wall us>" to probe-<direction>.txt.
probe_run() {
    local start end out
    start=$(now_us)
    out="$(wine "$probe" "$1" "$2" | tr -d '\r')" || { echo "transfer_probe $1 failed: $out" >&2; exit 1; }
    end=$(now_us)
    printf '%s %s\n' "$(sed -n 's/.*microseconds=\([0-9]*\).*/\1/p' <<<"$out")" $((end - start)) >>"probe-$1.txt"
}
# dd_run <write|read>: appends "<dd's own us> <wall us>" to dd-<direction>.txt.
dd_run() {
    local start end log
    start=$(now_us)
    if [ "$1" = write ]; then
        log="$(dd if=image.bin of="$STARTDISK_DISK" bs=$track_bytes count=$tracks conv=notrunc 2>&1)"
    else
        log="$(dd if="$STARTDISK_DISK" of=/dev/null bs=$track_bytes count=$tracks 2>&1)"
    fi
    end=$(now_us)
    local seconds
    seconds="$(sed -n 's/.* copied, \([0-9.e+-]*\) s.*/\1/p' <<<"$log")"
    printf '%s %s\n' "$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1e6 }')" $((end - start)) >>"dd-$1.txt"
}
column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }

echo "| Path | Direction | Program transfer (µs) | Probe wall time (ms) | dd (µs) | dd wall time (ms) | Program / dd | Overhead per track (µs) | Within 1.5x of dd | Under 2 ms per track |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---|---|"
verified_rows=""
for family in nt 9x; do
    use_family "$family"
    rm -f probe-*.txt dd-*.txt
    wine "$probe" write image.bin >/dev/null  # warm-up: caches, first start of the exe
    for _ in $(seq "$runs"); do
        truncate -s 0 "$STARTDISK_DISK"; truncate -s $((tracks * track_bytes)) "$STARTDISK_DISK"
        probe_run write image.bin
        cmp -s image.bin "$STARTDISK_DISK" || { echo "the $family write did not land byte for byte" >&2; exit 1; }
        probe_run read back.bin
        cmp -s image.bin back.bin || { echo "the $family read did not come back byte for byte" >&2; exit 1; }
        truncate -s 0 "$STARTDISK_DISK"; truncate -s $((tracks * track_bytes)) "$STARTDISK_DISK"
        probe_run verify image.bin
        cmp -s image.bin "$STARTDISK_DISK" || { echo "the $family verified write did not land byte for byte" >&2; exit 1; }
        dd_run write
        dd_run read
    done
    if [ "$family" = nt ]; then path='direct `\\.\A:` (NT)'; else path='VWIN32 (9x)'; fi
    verified_rows+="$(BENCH_PATH="$path" awk -v w="$(column_median probe-write.txt 1)" -v r="$(column_median probe-read.txt 1)" \
        -v v="$(column_median probe-verify.txt 1)" -v t=$tracks 'BEGIN {
            printf "| %s | %d | %d | %d | %d | %.0f | %s |\n", ENVIRON["BENCH_PATH"], w, r, v, v - w - r, (v - w) / t,
                v <= w + r ? "yes" : "no"
        }')"$'\n'
    for direction in write read; do
        program=$(column_median "probe-$direction.txt" 1)
        wall=$(column_median "probe-$direction.txt" 2)
        dd_us=$(column_median "dd-$direction.txt" 1)
        dd_wall=$(column_median "dd-$direction.txt" 2)
        BENCH_PATH="$path" awk -v dir="$direction" -v p="$program" -v w="$wall" -v d="$dd_us" -v dw="$dd_wall" -v t=$tracks 'BEGIN {
            ratio = d > 0 ? p / d : 0
            per = (p - d) / t
            printf "| %s | %s | %d | %.0f | %d | %.1f | %.1f | %.0f | %s | %s |\n", ENVIRON["BENCH_PATH"], dir, p, w / 1000, d, dw / 1000,
                ratio, per, ratio <= 1.5 ? "yes" : "no", per < 2000 ? "yes" : "no"
        }'
    done
done
echo
echo "| Path | Write (µs) | Read (µs) | Verified write (µs) | Verified − write − read (µs) | Read-back per track (µs) | No more than write + read |"
echo "|---|---:|---:|---:|---:|---:|---|"
printf '%s' "$verified_rows"
echo
echo "Medians of $runs runs each; $(nproc) CPU(s), $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(date -u +%Y-%m-%d)."
