# The set-up script against a stand-in apt-get, with no root and no network:
#   install_deps_test.sh <install-deps.sh>
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tools"
# PATH holds the stand-ins and these tools alone, so every build tool is missing.
for tool in bash grep sed sort id sleep; do ln -s "$(command -v "$tool")" "$work/bin/"; done
for tool in i686-w64-mingw32-g++-posix convert import mkfs.fat mcopy cmake; do ln -s "$(type -P true)" "$work/tools/$tool"; done
ln -s "$(command -v env)" "$work/bin/sudo"
printf '#!/bin/sh\necho i386\n' >"$work/bin/dpkg"
# A mirror mid-sync: $UPDATE and $INSTALL say how each call ends.
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/bash
echo -n "$1 " >>"$CALLS"
case "$1:$UPDATE:$INSTALL:$*" in
    update:fail:*) echo "E: Failed to fetch $LIST  File has unexpected size (2 != 1). Mirror sync in progress?"; exit 100 ;;
    update:*|install:*:works:*|install:*:release:*" -t $CODENAME "*) exit 0 ;;
    *) printf '%s\n' "$REASON" "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac
STUB
chmod +x "$work/bin/dpkg" "$work/bin/apt-get"
export CALLS="$work/calls" CODENAME="$(. /etc/os-release && echo "$VERSION_CODENAME")"
export LIST=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
export REASON=" libselinux1:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not going to be installed"
failures=0
# name;build tools there;update;install;exit;apt-get calls;what the output holds (none: it is empty)
rows=(
    "list mid-sync;no;fail;works;0;update update update install ;warning: going on without these package lists;    $LIST"
    "install only from the release;no;ok;release;0;update install install ;trying again from the release's own suite ($CODENAME)"
    "install never works;no;ok;never;1;update install install ;could not install: g++-mingw-w64-i686 binutils-mingw-w64-i686 imagemagick dosfstools mtools cmake;    $REASON;try again later"
    "nothing missing;yes;fail;never;0;;"
)
for row in "${rows[@]}"; do
    IFS=';' read -r -a f <<<"$row"
    path="$work/bin" status=0 problems=""
    [ "${f[1]}" = no ] || path+=":$work/tools"
    : >"$CALLS"
    out="$(PATH="$path" UPDATE="${f[2]}" INSTALL="${f[3]}" STARTDISK_APT_PAUSE=0 bash "$1" program 2>&1)" || status=$?
    [ "$status" = "${f[4]}" ] || problems+=" ended $status;"
    [ "$(<"$CALLS")" = "${f[5]}" ] || problems+=" called apt-get: $(<"$CALLS");"
    [ ${#f[@]} -gt 6 ] || [ -z "$out" ] || problems+=" said something;"
    for text in "${f[@]:6}"; do grep -qF -- "$text" <<<"$out" || problems+=" did not say \"$text\";"; done
    if [ -z "$problems" ]; then echo "ok: ${f[0]}"; else
        echo "FAIL: ${f[0]}:$problems" && sed 's/^/  | /' <<<"$out" && failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ]
