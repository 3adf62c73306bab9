# The choice of Wine in wine-arch.sh, with stand-ins for the i386 program:
#   wine_arch_test.sh <wine-arch.sh>
set -euo pipefail
work="$(mktemp -d)"
trap 'umount "$work/noexec" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/noexec"
runs='#!/bin/sh\nexit 0\n'
# The start of a 32-bit ARM program, which this machine cannot run.
refused='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00\x01\x00\x00\x00'
# name;TMPDIR;probe;STARTDISK_ARCH;exit;what it says
rows=(
    "32-bit programs run;tmp;$runs;;0;i686 ()"
    "32-bit programs refused;tmp;$refused;;0;x86-64 (this machine cannot run 32-bit programs)"
    "64-bit way asked for;tmp;$runs;x86-64;0;x86-64 (STARTDISK_ARCH=x86-64 asks for the 64-bit way)"
    "STARTDISK_ARCH unknown;tmp;$runs;x86_64;1;STARTDISK_ARCH=x86_64: the one value it takes is x86-64 (unset, the machine decides)"
)
if mount -t tmpfs -o noexec tmpfs "$work/noexec" 2>/dev/null; then
    rows+=("nothing runs from TMPDIR;noexec;$refused;;0;i686 ()")
else echo "skip: nothing runs from TMPDIR: no noexec folder could be mounted"; fi
failures=0
for row in "${rows[@]}"; do
    IFS=';' read -r -a f <<<"$row"
    status=0 problems=""
    out="$(TMPDIR="$work/${f[1]}" STARTDISK_ARCH="${f[3]}" bash -c '. "$1" && I386_PROBE="$2" && decide_wine_arch &&
        echo "$STARTDISK_WINE_ARCH ($STARTDISK_ARCH_WHY)"' - "$1" "${f[2]}" 2>&1)" || status=$?
    [ "$status" = "${f[4]}" ] || problems+=" ended $status;"
    [ "$out" = "${f[5]}" ] || problems+=" said \"$out\";"
    [ -z "$(ls -A "$work/${f[1]}")" ] || problems+=" left $(ls -A "$work/${f[1]}");"
    if [ -z "$problems" ]; then echo "ok: ${f[0]}"; else echo "FAIL: ${f[0]}:$problems" && failures=$((failures + 1)); fi
done
[ "$failures" -eq 0 ]
