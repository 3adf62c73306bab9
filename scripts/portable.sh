#!/usr/bin/env bash
# Builds startdisk.exe and leaves the portable folder, unzipped, where the
# package zip would unpack it: build/startdisk-<version>-win32/ with
# startdisk.exe, the six sample documents, the sample image MYFILE.BIN and
# USERGUIDE.TXT. The program runs in that folder, on Windows or under Wine.
# The folder also holds the program's x86-64 build,
# startdisk-x86-64-for-linux-floppy.exe, which scripts/linux-floppy.sh runs on
# a machine that cannot run 32-bit programs; the zip leaves it out.
#   scripts/portable.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${STARTDISK_BUILD_DIR:-$root/build}"

"$root/scripts/install-deps.sh" program
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target startdisk package_files -j"$(nproc)" >/dev/null
"$root/scripts/build-x86-64.sh" "$build" startdisk
# The zip's own name and files: its top folder is named as the zip, and
# CPack fills it from the same install rules, with the same file times.
name="$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
[ -n "$name" ] || { echo "portable.sh: no package name in $build/CPackConfig.cmake" >&2; exit 1; }
folder="$build/$name"
rm -rf "$folder"
cmake --install "$build" --prefix "$folder" >/dev/null
cp "$build/x86-64/startdisk.exe" "$folder/startdisk-x86-64-for-linux-floppy.exe"
cmake -DCPACK_TEMPORARY_DIRECTORY="$folder" -P "$root/cmake/stamp-package-files.cmake"

echo "The program is in $folder:"
(cd "$folder" && ls -1 | sed 's/^/  /')
echo "Run startdisk.exe in that folder: copy it to a Windows machine, or on Linux"
echo "give it to scripts/linux-floppy.sh (see \"A real floppy drive on Linux\" in README.md)."
