#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine:
#   install-deps.sh           everything
#   install-deps.sh program   only what building the program and its folder needs
# Idempotent: does nothing, and says nothing, when every tool is already present.
# Both MinGW toolchains, always: the shipped program is the i686 build, and a
# machine that cannot run 32-bit programs runs the x86-64 build. Wine as
# wine-arch.sh decides, or as STARTDISK_WINE_ARCH says when the caller has
# decided: 32-bit Wine and the i386 architecture, or 64-bit Wine alone.
#
# A package mirror in the middle of a sync serves some lists that do not match
# their index; apt-get update then ends 100. That list is tried again a few
# times and then done without. Without it, the two architectures may see
# different newest versions of the same library, which multiarch refuses
# ("held broken packages"); the release's own suite has one version for both,
# so an install refused on versions that cannot go together is tried again
# from there. Any other failed install (a lock another package manager holds,
# the network) ends 1 with apt's reason.
set -euo pipefail
. "$(dirname "$0")/wine-arch.sh"

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
{ command -v convert && command -v import; } >/dev/null || need+=(imagemagick)
command -v mkfs.fat >/dev/null || need+=(dosfstools)
command -v mcopy >/dev/null || need+=(mtools)
command -v cmake >/dev/null || need+=(cmake)
if [ "${1:-}" != program ]; then
    [ -n "${STARTDISK_WINE_ARCH:-}" ] || decide_wine_arch
    if [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then
        # The wine command may be there with the 32-bit loader alone.
        { [ -x "$WINE64_LOADER" ] && command -v wineboot; } >/dev/null || need+=(wine wine64)
    else
        { command -v wine && [ -x /usr/lib/wine/wine ]; } >/dev/null || need+=(wine wine32:i386)
    fi
    command -v Xvfb >/dev/null || need+=(xvfb xauth)
    command -v xdotool >/dev/null || need+=(xdotool)
    [ -f /usr/share/wine/fonts/sserife.fon ] || need+=(fonts-wine)
    [ -d /usr/src/googletest ] || need+=(googletest)
    command -v clang++ >/dev/null || need+=(clang)
    [ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ] || need+=(libclang-rt-14-dev)
    command -v chattr >/dev/null || need+=(e2fsprogs)
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

update_lists() {
    local try out
    for ((try = 1; ; try++)); do
        if out=$($SUDO apt-get update 2>&1); then
            # apt-get update ends 0 on some failed lists too; its E: lines tell.
            [ -z "$(failed_lists "$out")" ] && return 0
        fi
        [ "$try" -ge "$update_tries" ] && break
        say "some package lists could not be downloaded (the mirror may be mid-sync); trying again in ${update_pause} s ($try of $update_tries)"
        sleep "$update_pause"
    done
    local lists
    lists=$(failed_lists "$out")
    if [ -n "$lists" ]; then
        say "warning: going on without these package lists, which failed $update_tries times:"
        sed 's/^/    /' <<<"$lists" >&2
    else
        say "warning: apt-get update failed $update_tries times; going on with the lists apt has:"
        apt_reason "$out" | sed 's/^/    /' >&2
    fi
}

install_packages() { $SUDO apt-get install -y -qq --no-install-recommends "$@" "${need[@]}" 2>&1; }

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
