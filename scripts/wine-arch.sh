# Sourced: which Windows build of the program, and which Wine, this machine
# runs. Some kernels refuse every 32-bit x86 program, Wine's 32-bit loader
# among them; there the program's x86-64 build runs under 64-bit Wine, and
# the 9x family, whose VWIN32 services Wine has for 32-bit programs only,
# cannot be shown. The answer is asked of the machine itself, at every
# start, since a checkout may move to another machine.
#   STARTDISK_ARCH=x86-64  takes the 64-bit way on a machine that runs both.

# The smallest i386 Linux program: it only exits 0. Where the kernel refuses
# 32-bit programs, running it fails with "Exec format error".
I386_PROBE='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\x31\xc0\x40\xcd\x80'
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
WINE64_COMMANDS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64"
NO_32BIT_REASON="this machine cannot run 32-bit programs"

# Runs the probe from a folder of our own; a shell script beside it tells a
# folder that refuses to run anything (noexec) from a kernel that refuses
# 32-bit programs. Ends 0 when they run, 1 when they do not.
runs_32bit_programs() {
    local dir rc=1
    dir="$(mktemp -d "${TMPDIR:-/tmp}/startdisk-arch.XXXXXX")" || return 0
    printf "$I386_PROBE" >"$dir/i386" && printf '#!/bin/sh\nexit 0\n' >"$dir/control" &&
        chmod +x "$dir/i386" "$dir/control"
    if "$dir/i386" 2>/dev/null; then
        rc=0
    elif ! "$dir/control" 2>/dev/null; then
        rc=0  # nothing runs from there: no answer, so the way that ships
    fi
    rm -rf "$dir"
    return "$rc"
}

# Sets STARTDISK_WINE_ARCH to i686 or x86-64, and STARTDISK_ARCH_WHY to why
# the 64-bit way was taken. Ends 1, saying why, when STARTDISK_ARCH is not
# a value it knows.
decide_wine_arch() {
    case "${STARTDISK_ARCH:-}" in
        x86-64) STARTDISK_WINE_ARCH=x86-64 STARTDISK_ARCH_WHY="STARTDISK_ARCH=x86-64 asks for the 64-bit way" ;;
        "")
            if runs_32bit_programs; then
                STARTDISK_WINE_ARCH=i686 STARTDISK_ARCH_WHY=""
            else
                STARTDISK_WINE_ARCH=x86-64 STARTDISK_ARCH_WHY="$NO_32BIT_REASON"
            fi
            ;;
        *)
            echo "STARTDISK_ARCH=$STARTDISK_ARCH: the one value it takes is x86-64 (unset, the machine decides)" >&2
            return 1
            ;;
    esac
    export STARTDISK_WINE_ARCH STARTDISK_ARCH_WHY
}

# Every Wine command of the decided way: on the 64-bit way Wine's 64-bit
# loader (scripts/wine64 first on PATH), since Debian's own wine takes the
# 32-bit loader whenever wine32 is installed, even where it cannot run. Sets
# WINE_PREFIX_ARCH, what a new prefix must be; WINEARCH is left to the caller,
# as Wine refuses a prefix of the other architecture when it is set.
use_decided_wine() {
    WINE_PREFIX_ARCH=win32
    [ "$STARTDISK_WINE_ARCH" = x86-64 ] || return 0
    WINE_PREFIX_ARCH=win64
    export WINELOADER="$WINE64_LOADER"
    case ":$PATH:" in *":$WINE64_COMMANDS:"*) ;; *) export PATH="$WINE64_COMMANDS:$PATH" ;; esac
}

# Where the programs are the x86-64 build, prints why the 9x family cannot be
# shown and ends 0; elsewhere ends 1.
why_no_9x() {
    [ "${STARTDISK_WINE_ARCH:-}" = x86-64 ] || return 1
    echo "the 9x family needs a 32-bit program, and ${STARTDISK_ARCH_WHY:-the programs here are the x86-64 build}"
}
