# startdisk.exe must load and run on every 32-bit Windows from the 9x family
# and NT 4 on, on a Pentium-class CPU, with nothing but system DLLs:
#   compat_test.sh <startdisk.exe> <import allowlist> <objdump> <nm> <object files...>
set -uo pipefail
exe=$1 allow=$2 objdump=$3 nm=$4
shift 4
failures=0
check() { if [ "$2" == "$3" ]; then echo "ok: $1"; else printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"; failures=$((failures + 1)); fi; }

headers="$("$objdump" -p "$exe")"
check "i386 code" "file format pei-i386" "$("$objdump" -f "$exe" | grep -o 'file format .*')"
check "Windows GUI subsystem" "00000002" "$(sed -n 's/^Subsystem[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$headers")"
check "subsystem version 4.0" "4.0" "$(sed -n 's/^MajorSubsystemVersion[[:space:]]*//p' <<<"$headers").$(sed -n 's/^MinorSubsystemVersion[[:space:]]*//p' <<<"$headers")"
check "OS version 4.0" "4.0" "$(sed -n 's/^MajorOSystemVersion[[:space:]]*//p' <<<"$headers").$(sed -n 's/^MinorOSystemVersion[[:space:]]*//p' <<<"$headers")"

# Import table as "DLL function" lines, compared with the allowlist.
imports="$(awk '/DLL Name:/ {dll=$3; next} dll && NF==3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print dll, $3} /^$/ {if (dll && seen) dll=""} ' <<<"$headers" | sort -u)"
check "import table read" "yes" "$(grep -qx 'KERNEL32.dll CreateFileA' <<<"$imports" && echo yes)"
unlisted="$(comm -23 <(echo "$imports") <(grep -v '^#' "$allow" | sort -u) | tr '\n' ';')"
check "every import is on the allowlist" "" "$unlisted"
check "imports only from KERNEL32 and USER32" "" "$(awk '{print $1}' <<<"$imports" | sort -u | grep -vE '^(KERNEL32|USER32)\.dll$' | tr '\n' ' ')"
check "no Unicode-only function" "" "$(awk '$2 ~ /W$/ {print $2}' <<<"$imports" | tr '\n' ' ')"

# Pentium-class code: no CMOV (Pentium Pro) and no SSE anywhere in the exe.
check "no CMOV or SSE instruction" "" "$("$objdump" -d "$exe" | grep -E '\bcmov|%xmm|%mm[0-7]' | head -3)"

# The program has its own entry point, which runs no static constructors.
check "no global needs a constructor" "" "$("$nm" "$@" 2>/dev/null | grep -E '_GLOBAL__sub_I' | head -3)"

size=$(stat -c %s "$exe")
echo "size of startdisk.exe: $size bytes"
[ "$size" -le 307200 ] && echo "ok: at most 300 KB" || { echo "FAIL: larger than 300 KB"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) failed"; exit 1; }
