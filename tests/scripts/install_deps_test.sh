# The set-up script against a stand-in apt-get, with no root and no network:
#   install_deps_test.sh <install-deps.sh>
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tools" "$work/wine"
# PATH holds the stand-ins and these tools alone, so every build tool is missing.
for tool in bash dirname grep sed sort id sleep; do ln -s "$(command -v "$tool")" "$work/bin/"; done
for tool in {i686,x86_64}-w64-mingw32-g++-posix convert import mkfs.fat mcopy cmake; do ln -s "$(type -P true)" "$work/tools/$tool"; done
ln -s "$(type -P true)" "$work/wine/wine"
ln -s "$(command -v env)" "$work/bin/sudo"
# A machine with no i386 architecture yet.
printf '#!/bin/sh\n[ "$1" != --add-architecture ] || echo -n "dpkg $* " >>"$CALLS"\n' >"$work/bin/dpkg"
# Beside the script, a wine-arch.sh with no Wine 64-bit loader and no decision:
# each row says which Wine.
ln -s "$(realpath "$1")" "$work/install-deps.sh"
echo "WINE64_LOADER=$work/wine64" >"$work/wine-arch.sh"
# A mirror mid-sync: $UPDATE and $INSTALL say how each call ends.
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/bash
echo -n "$1 " >>"$CALLS"
case "$1:$UPDATE:$INSTALL:$*" in
    update:fail:*) echo "E: Failed to fetch $LIST  File has unexpected size (2 != 1). Mirror sync in progress?"; exit 100 ;;
    update:*|install:*:works:*|install:*:release:*" -t $CODENAME "*) exit 0 ;;
    install:*:locked:*) echo "$LOCKED"; exit 100 ;;
    *) printf '%s\n' "$REASON" "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac
STUB
chmod +x "$work/bin/dpkg" "$work/bin/apt-get"
export CALLS="$work/calls" CODENAME="$(. /etc/os-release && echo "$VERSION_CODENAME")"
export LIST=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
export REASON=" libselinux1:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not going to be installed"
export LOCKED="E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1234 (apt-get)"
packages="g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 imagemagick dosfstools mtools cmake"
failures=0
# name;program, or the Wine of the full set-up;stand-ins on PATH besides bin;update;install;exit;
# apt-get and dpkg calls;what the output holds (!: does not; none: it is empty)
rows=(
    "list mid-sync;program;none;fail;works;0;update update update install ;warning: going on without these package lists;    $LIST"
    "install only from the release;program;none;ok;release;0;update install install ;trying again from the release's own suite ($CODENAME)"
    "install never works;program;none;ok;never;1;update install install ;could not install: $packages;    $REASON;try again later"
    "package manager holds the lock;program;none;ok;locked;1;update install ;    $LOCKED;!mid-sync"
    "nothing missing;program;tools;fail;never;0;;"
    "32-bit Wine;i686;none;ok;never;1;dpkg --add-architecture i386 update install install ;install: $packages wine wine32:i386 xvfb"
    "64-bit Wine, wine there without its loader;x86-64;wine;ok;never;1;update install install ;install: $packages wine wine64 xvfb;!wine32"
)
for row in "${rows[@]}"; do
    IFS=';' read -r -a f <<<"$row"
    path="$work/bin" status=0 problems="" mode="" arch="${f[1]}"
    [ "${f[2]}" = none ] || path+=":$work/${f[2]}"
    [ "$arch" != program ] || mode=program arch=""
    : >"$CALLS"
    out="$(PATH="$path" UPDATE="${f[3]}" INSTALL="${f[4]}" STARTDISK_WINE_ARCH="$arch" STARTDISK_APT_PAUSE=0 \
        bash "$work/install-deps.sh" $mode 2>&1)" || status=$?
    [ "$status" = "${f[5]}" ] || problems+=" ended $status;"
    [ "$(<"$CALLS")" = "${f[6]}" ] || problems+=" called: $(<"$CALLS");"
    [ ${#f[@]} -gt 7 ] || [ -z "$out" ] || problems+=" said something;"
    for text in "${f[@]:7}"; do
        if grep -qF -- "${text#!}" <<<"$out"; then [ "$text" = "${text#!}" ] || problems+=" said \"${text#!}\";"
        else [ "$text" != "${text#!}" ] || problems+=" did not say \"$text\";"; fi
    done
    if [ -z "$problems" ]; then echo "ok: ${f[0]}"; else
        echo "FAIL: ${f[0]}:$problems" && sed 's/^/  | /' <<<"$out" && failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ]
