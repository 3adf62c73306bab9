#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine:
#   install-deps.sh           everything
#   install-deps.sh program   only what building the program and its folder needs
# Idempotent: does nothing when every tool is already present.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
{ command -v convert && command -v import; } >/dev/null || need+=(imagemagick)
command -v mkfs.fat >/dev/null || need+=(dosfstools)
command -v mcopy >/dev/null || need+=(mtools)
command -v cmake >/dev/null || need+=(cmake)
if [ "${1:-}" != program ]; then
    command -v wine >/dev/null || need+=(wine wine32:i386)
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
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
