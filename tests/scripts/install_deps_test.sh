# The set-up script against a stand-in apt-get, with no root and no network:
#   install_deps_test.sh <install-deps.sh>
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tools" "$work/wine"
# PATH holds the stand-ins and these tools alone, so every build tool is missing.
for tool in bash dirname grep sed sort id sleep env; do ln -s "$(command -v "$tool")" "$work/bin/"; done
for tool in {i686,x86_64}-w64-mingw32-g++-posix convert import mkfs.fat mcopy cmake; do ln -s "$(type -P true)" "$work/tools/$tool"; done
ln -s "$(type -P true)" "$work/wine/wine"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
# A machine with no i386 architecture yet.
printf '#!/bin/sh\n[ "$1" != --add-architecture ] || echo -n "dpkg $* " >>"$CALLS"\n' >"$work/bin/dpkg"
# Beside the script, a wine-arch.sh whose loaders are those a row puts in
# $work/loaders, on a machine of the row's sort.
ln -s "$(realpath "$1")" "$work/install-deps.sh"
printf '%s\n' "WINE32_LOADER=$work/loaders/wine32 WINE64_LOADER=$work/loaders/wine64" \
    'runs_32bit_programs() { [ "$MACHINE" = 32 ]; }' >"$work/wine-arch.sh"
# A mirror mid-sync: $UPDATE and $INSTALL say how each call ends. Its words
# follow the locale, as apt's catalogues do.
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/bash
echo -n "$1 " >>"$CALLS"
case "$1:$UPDATE:$INSTALL:$*" in
    update:locked:*) echo "$LOCKED_LISTS"; exit 100 ;;
    update:fail:*) echo "E: Failed to fetch $LIST  File has unexpected size (2 != 1). Mirror sync in progress?"; exit 100 ;;
    update:*|install:*:works:*|install:*:release:*" -t $CODENAME "*) exit 0 ;;
    install:*:locked:*) echo "$LOCKED"; exit 100 ;;
    *) held="E: Unable to correct problems, you have held broken packages."
       [ "$LC_ALL" = C ] || REASON="Die folgenden Pakete haben unerfüllte Abhängigkeiten:" \
           held="E: Probleme können nicht korrigiert werden, Sie haben zurückgehaltene defekte Pakete."
       printf '%s\n' "$REASON" "$held"; exit 100 ;;
esac
STUB
chmod +x "$work/bin/dpkg" "$work/bin/apt-get" "$work/bin/sudo"
export CALLS="$work/calls" CODENAME="$(. /etc/os-release && echo "$VERSION_CODENAME")"
export LIST=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
export REASON=" libselinux1:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not going to be installed"
export LOCKED="E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1234 (apt-get)"
export LOCKED_LISTS="E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1234 (apt-get)"
packages="g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 imagemagick dosfstools mtools cmake"
failures=0
# name;what for (program, the tests on a machine that runs 32-bit programs or
# not, the demo's way);stand-ins on PATH besides bin, and Wine's loaders there;
# update;install;exit;apt-get and dpkg calls;what the output holds (!: does
# not; none: it is empty)
rows=(
    "list mid-sync;program;none;fail;works;0;update update update install ;warning: going on without these package lists;    $LIST"
    "install only from the release, apt read in English;program;none;ok;release;0;update install install ;trying again from the release's own suite ($CODENAME)"
    "install never works;program;none;ok;never;1;update install install ;could not install: $packages;    $REASON;try again later"
    "package manager holds the lock;program;none;ok;locked;1;update install ;    $LOCKED;!mid-sync"
    "the lock held during the update: said at once;program;none;locked;works;1;update ;    $LOCKED_LISTS;!mid-sync"
    "nothing missing;program;tools;fail;never;0;;"
    "tests where 32-bit programs run: both Wines;tests32;none;ok;never;1;dpkg --add-architecture i386 update install install ;install: $packages wine wine64 wine32:i386 xvfb"
    "tests where 32-bit programs run, no 64-bit loader;tests32;wine+wine32;ok;never;1;update install install ;install: $packages wine wine64 xvfb;!wine32"
    "tests where they do not, wine there without its loader;tests64;wine;ok;never;1;update install install ;install: $packages wine wine64 xvfb;!wine32"
    "the demo's 32-bit way: its own Wine alone;demo-i686;wine+wine32;ok;never;1;update install install ;install: $packages xvfb;!wine64;!googletest"
)
for row in "${rows[@]}"; do
    IFS=';' read -r -a f <<<"$row"
    path="$work/bin" status=0 problems="" what="${f[1]}" mode="" machine="" arch=""
    case "$what" in program) mode=program ;; tests*) machine="${what#tests}" ;; demo-*) mode=demo arch="${what#demo-}" ;; esac
    rm -rf "$work/loaders" && mkdir "$work/loaders"
    for standin in ${f[2]//+/ }; do
        case "$standin" in none) ;; wine32) ln -s "$(type -P true)" "$work/loaders/wine32" ;; *) path+=":$work/$standin" ;; esac
    done
    : >"$CALLS"
    out="$(PATH="$path" UPDATE="${f[3]}" INSTALL="${f[4]}" MACHINE="$machine" STARTDISK_WINE_ARCH="$arch" \
        STARTDISK_APT_PAUSE=0 LC_ALL= LANGUAGE=de bash "$work/install-deps.sh" $mode 2>&1)" || status=$?
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
