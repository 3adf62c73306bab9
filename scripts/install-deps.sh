#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine:
#   install-deps.sh           everything any test uses on this machine
#   install-deps.sh demo      what scripts/demo.sh uses
#   install-deps.sh program   only what building the program and its folder needs
# Idempotent: does nothing, and says nothing, when every tool is already present.
# Both MinGW toolchains, always: the shipped program is the i686 build, and a
# machine that cannot run 32-bit programs runs the x86-64 build. The tests
# want 64-bit Wine on every machine (a run asked to take the 64-bit way, and
# the x86-64 build's own check), and 32-bit Wine with the i386 architecture
# wherever 32-bit programs run; the demo wants the Wine of the way it takes,
# as wine-arch.sh decides or STARTDISK_WINE_ARCH says.
#
# A package mirror in the middle of a sync serves some lists that do not match
# their index; apt-get update then ends 100. That list is tried again a few
# times and then done without. Without it, the two architectures may see
# different newest versions of the same library, which multiarch refuses
# ("held broken packages"); the release's own suite has one version for both,
# so an install refused on versions that cannot go together is tried again
# from there. Any other failure (a lock another package manager holds, the
# network) ends 1 with apt's reason. apt's words are read, so it runs in the
# C locale: another language's catalogue would hide them.
set -euo pipefail
. "$(dirname "$0")/wine-arch.sh"

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
{ command -v convert && command -v import; } >/dev/null || need+=(imagemagick)
command -v mkfs.fat >/dev/null || need+=(dosfstools)
command -v mcopy >/dev/null || need+=(mtools)
command -v cmake >/dev/null || need+=(cmake)
wine=()
# Each loader is asked for by its own file: Debian's wine command may be
# there with the other loader alone.
want_wine64() { { [ -x "$WINE64_LOADER" ] && command -v wineboot; } >/dev/null || wine+=(wine64); }
want_wine32() { { command -v wine && [ -x "$WINE32_LOADER" ]; } >/dev/null || wine+=(wine32:i386); }
case "${1:-}" in
    program) ;;
    demo)
        [ -n "${STARTDISK_WINE_ARCH:-}" ] || decide_wine_arch
        if [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then want_wine64; else want_wine32; fi ;;
    *)
        want_wine64
        ! runs_32bit_programs || want_wine32 ;;
esac
if [ "${1:-}" != program ]; then
    [ ${#wine[@]} -eq 0 ] || need+=(wine "${wine[@]}")
    command -v Xvfb >/dev/null || need+=(xvfb xauth)
    command -v xdotool >/dev/null || need+=(xdotool)
    [ -f /usr/share/wine/fonts/sserife.fon ] || need+=(fonts-wine)
    command -v chattr >/dev/null || need+=(e2fsprogs)
fi
if [ -z "${1:-}" ]; then
    [ -d /usr/src/googletest ] || need+=(googletest)
    command -v clang++ >/dev/null || need+=(clang)
    [ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ] || need+=(libclang-rt-14-dev)
fi

[ ${#need[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
update_tries=${STARTDISK_APT_TRIES:-3}
update_pause=${STARTDISK_APT_PAUSE:-20}   # seconds between tries of a failed list

say() { echo "install-deps.sh: $*" >&2; }

# apt's own reason, without its hash listings: the lines that start "E:" or
# name an unmet dependency.
apt_reason() { grep -E '^(E:|W:| +[^ ].*: *(Depends|PreDepends|Conflicts|Breaks):)' <<<"$1" | grep -v '^ *- ' || true; }

# The addresses of the lists apt could not fetch, one a line.
failed_lists() { sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' <<<"$1" | sort -u; }

# apt in the C locale, since its words are read.
apt_get() { $SUDO env LC_ALL=C apt-get "$@"; }

# A list that failed to download is tried again; any other failure is not.
update_lists() {
    local try out lists
    for ((try = 1; ; try++)); do
        if out=$(apt_get update 2>&1); then
            # apt-get update ends 0 on some failed lists too; its E: lines tell.
            [ -z "$(failed_lists "$out")" ] && return 0
        fi
        lists=$(failed_lists "$out")
        [ -n "$lists" ] && [ "$try" -lt "$update_tries" ] || break
        say "some package lists could not be downloaded (the mirror may be mid-sync); trying again in ${update_pause} s ($try of $update_tries)"
        sleep "$update_pause"
    done
    if [ -n "$lists" ]; then
        say "warning: going on without these package lists, which failed $update_tries times:"
        sed 's/^/    /' <<<"$lists" >&2
    elif grep -qE '^E: (Could not get lock|Unable to lock)' <<<"$out"; then
        say "could not update the package lists: apt-get said:"
        apt_reason "$out" | sed 's/^/    /' >&2
        say "Try again once that lock is free, or install these packages by hand (sudo apt-get install ${need[*]})."
        exit 1
    else
        say "warning: apt-get update failed; going on with the lists apt has:"
        apt_reason "$out" | sed 's/^/    /' >&2
    fi
}

install_packages() { apt_get install -y -qq --no-install-recommends "$@" "${need[@]}" 2>&1; }

# apt's words for versions that cannot be installed together.
versions_clash() { grep -qiE 'unmet dependencies|held broken packages' <<<"$1"; }

if [[ "${need[*]}" == *:i386* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
fi
update_lists
if out=$(install_packages); then exit 0; fi
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
if [ -n "$codename" ] && versions_clash "$out"; then
    say "the install failed; trying again from the release's own suite ($codename), which holds one version of each library for both architectures"
    if out=$(install_packages -t "$codename"); then exit 0; fi
fi
say "could not install: ${need[*]}"
say "apt-get said:"
apt_reason "$out" | sed 's/^/    /' >&2
if versions_clash "$out"; then
    say "The package mirror may be mid-sync: try again later, or install these packages by hand (sudo apt-get install ${need[*]})."
else
    say "Try again once the reason apt-get gave is gone, or install these packages by hand (sudo apt-get install ${need[*]})."
fi
exit 1
