# Sourced by every end-to-end test: runs startdisk.exe in the project's Wine
# prefix and acts as its user through uidriver.exe.
set -euo pipefail
: "${STARTDISK_BUILD:?the build folder}" "${STARTDISK_SOURCE:?the source folder}"
. "$STARTDISK_SOURCE/scripts/wine-env.sh"

# The family this run covers, when the script runs once a family
# (STARTDISK_TEST_FAMILY); the 9x family's VWIN32 services exist only for
# 32-bit programs, so its half is skipped where the programs are x86-64.
if [ "${STARTDISK_TEST_FAMILY:-}" = 9x ] && why="$(why_no_9x)"; then echo "skip: $why"; exit 77; fi
# families <family...>: those of the families named that this run covers.
families() {
    local family
    for family in "$@"; do
        [ -z "${STARTDISK_TEST_FAMILY:-}" ] || [ "$family" = "$STARTDISK_TEST_FAMILY" ] && echo "$family"
    done
    return 0
}
in_family() { [ -n "$(families "$1")" ]; }

# The programs under test: this build's, or its x86-64 twin's.
STARTDISK_PROGRAMS="${STARTDISK_PROGRAMS:-$STARTDISK_BUILD}"
EXE="$STARTDISK_PROGRAMS/startdisk.exe"
UIDRIVER="$STARTDISK_PROGRAMS/tests/uidriver.exe"
PROBE="$STARTDISK_PROGRAMS/tests/transfer_probe.exe"
SAMPLES="$STARTDISK_SOURCE/samples"
APP_TITLE="Partition Deletion Application"
IMAGE_SIZE=1474560
FAILED_TRACK_TEXT=$'Disk is either write protected, bad or not in floppy drive.\r\nPlease correct and hit OK to continue or Cancel to abort.'

# Every run of the program is traced and its platform calls checked against
# the documented rules of the Windows it claims (tests/platform).
RULES="$STARTDISK_BUILD/native/platform_rules"
APP_DEBUG=-all,+debugstr,+relay,+loaddll,+pid,+int21
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$("$RULES" functions)" /f >/dev/null 2>&1
read -r image_base image_size < <(objdump -p "$EXE" |
    awk '$1 == "ImageBase" {base = $2} $1 == "SizeOfImage" {size = $2} END {print base, size}')
IMAGE_RANGE=("$image_base" "$(printf '%x' $((0x$image_base + 0x$image_size)))")
FAMILY=nt

release_leftovers
WORK="$(mktemp -d "$STARTDISK_WINE_ROOT/work.XXXXXX")"
cd "$WORK"
APP_PID=""
failures=0
IMMUTABLE_FILES=()

cleanup() {
    set +e  # every step below must run, even after a failed one
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    for f in "${IMMUTABLE_FILES[@]}"; do chattr -i "$f" 2>/dev/null; done
    ln -sfn "$STARTDISK_DISK" "$WINEPREFIX/dosdevices/a::"
    use_family nt
    cd / && rm -rf "$WORK"
}
trap cleanup EXIT

ui() { wine "$UIDRIVER" "$@"; }

# check <what> <expected> <actual>
check() {
    if [ "$2" == "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        printf '  expected: %q\n  actual:   %q\n' "$2" "$3"
        failures=$((failures + 1))
    fi
}


# Passes when the window does not appear within a short time.
expect_no_window() {
    if UIDRIVER_TIMEOUT_MS=${2:-300} ui wait "$1" >/dev/null 2>&1; then
        echo "FAIL: window \"$1\" must not appear"; failures=$((failures + 1))
    else
        echo "ok: no window \"$1\""
    fi
}

# Runs a step that must succeed: step <what> <command...>.
step() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# Runs a uidriver command that must succeed: expect_ui <what> <command...>.
quiet_ui() { ui "$@" >/dev/null; }
expect_ui() { local what=$1; shift; step "$what" quiet_ui "$@"; }

finish() {
    if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
    echo "all checks passed"
}

# use_family nt|9x: the Windows version Wine reports to the programs under test.
use_family() {
    local exe
    FAMILY=$1
    for exe in startdisk.exe transfer_probe.exe; do
        if [ "$1" = 9x ]; then
            wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d win98 /f >/dev/null 2>&1
        else
            wine reg delete "HKCU\\Software\\Wine\\AppDefaults\\$exe" /f >/dev/null 2>&1 || true
        fi
    done
}

# Fills the diskette with noise and keeps a copy in disk.before: a track left
# unwritten, or written when nothing may be, then shows up.
noisy_disk() {
    head -c "$IMAGE_SIZE" /dev/urandom > "$STARTDISK_DISK"
    cp "$STARTDISK_DISK" "$WORK/disk.before"
}
blank_disk() { rm -f "$STARTDISK_DISK"; truncate -s "$IMAGE_SIZE" "$STARTDISK_DISK"; }
# Points drive A:'s raw device somewhere else: another diskette, /dev/full, nothing.
map_disk() { ln -sfn "$1" "$WINEPREFIX/dosdevices/a::"; }
protect() { chattr +i "$1"; IMMUTABLE_FILES+=("$1"); }
unprotect() { chattr -i "$1"; }

# The sample FAT12 diskette, built once per prefix.
sample_image() {
    local cached="$STARTDISK_WINE_ROOT/sample.img"
    [ -f "$cached" ] || "$STARTDISK_SOURCE/scripts/make-sample-image.sh" "$cached" >/dev/null
    cp "$cached" "${1:-MYFILE.BIN}"
}

# DLLs named as system DLLs beside a copy of the program and in the current
# folder, with Windows' load order (the program's folder before the system)
# forced on Wine, which by default prefers its own DLLs. Nothing may load
# them: planted_marks lists the ones that were. The system's window code asks
# for uxtheme and dwmapi by name (Wine's only for uxtheme; the platform rules
# cover dwmapi).
PLANTED_NAMES="comctl32 riched32 riched20 uxtheme dwmapi"
plant_dlls() {
    local name
    mkdir -p "$WORK/planted"
    cp "$EXE" "$WORK/planted/"
    for name in $PLANTED_NAMES; do
        cp "$STARTDISK_PROGRAMS/tests/planted.dll" "$WORK/planted/$name.dll"
        cp "$STARTDISK_PROGRAMS/tests/planted.dll" "$WORK/$name.dll"
    done
    EXE="$WORK/planted/startdisk.exe"
    APP_DLLOVERRIDES="$WINEDLLOVERRIDES;${PLANTED_NAMES// /,}=n,b"
}
unplant_dlls() {
    rm -rf "$WORK/planted" "$WORK"/*.dll*
    EXE="$STARTDISK_PROGRAMS/startdisk.exe"
    APP_DLLOVERRIDES=""
}
planted_marks() { (cd "$WORK" && ls planted/*.loaded *.loaded 2>/dev/null || true) | tr '\n' ' '; }

install_documents() { cp "$SAMPLES"/*.rtf "$SAMPLES"/*.RTF "$WORK/"; }

# A diskette's worth of bytes that differ from track to track.
patterned_image() { head -c "$IMAGE_SIZE" /dev/urandom > "$1"; }

# Starts a Windows command that runs the program, traced; its debugger
# output and trace go to debug.log.
start_traced() {
    # The program finds its options where words begin, and so do the rules.
    case " ${*:2}" in *" -v"* | *" /v"*) APP_MODE=+v ;; *) APP_MODE="" ;; esac
    WINEDEBUG=$APP_DEBUG WINEDLLOVERRIDES="${APP_DLLOVERRIDES:-$WINEDLLOVERRIDES}" wine "$@" 2>"$WORK/debug.log" &
    APP_PID=$!
    APP_TRACED=1
}

# Starts the program in the work folder.
start_app() { start_traced "$EXE" "$@"; }

# The calls the run made, against the platform's rules for this family.
check_platform_rules() {
    local broken
    if broken="$("$RULES" check "$FAMILY${APP_MODE:-}" "$(basename "$EXE")" "${IMAGE_RANGE[@]}" "$WORK/debug.log")"; then
        echo "ok: $1: platform calls keep the rules of the $FAMILY family"
    else
        echo "FAIL: $1: platform calls"; echo "$broken" | head -20; failures=$((failures + 1))
    fi
}

# Waits for the program to end and checks its exit code as the shell sees
# it (the low byte: -1 is 255, -2 is 254): expect_exit <what> <code>.
expect_exit() {
    local rc=0 i
    for i in $(seq 300); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID"; rc=timeout
    fi
    if [ "$rc" = timeout ]; then wait "$APP_PID" || true; else wait "$APP_PID" || rc=$?; fi
    APP_PID=""
    check "$1" "$2" "$rc"
    if [ -n "${APP_TRACED:-}" ]; then check_platform_rules "$1"; fi
    APP_TRACED=""
}

# Runs a command until it succeeds, for 30 s at most: poll <command...>.
poll() {
    local _
    for _ in $(seq 600); do "$@" && return 0; sleep 0.05; done
    return 1
}

# Waits until a control shows the given text: wait_text <win> <id> <text>.
wait_text() {
    local i
    for i in $(seq 200); do
        [ "$(ui text "$1" "$2" 2>/dev/null)" == "$3" ] && return 0
        sleep 0.05
    done
    return 1
}

# The program's debugger output lines, unescaped as written.
debug_lines() {
    sed -n 's/^.*OutputDebugStringA "\(.*\)"$/\1/p' "$WORK/debug.log"
}

# Saves a picture of the screen when pictures are asked for.
shot() {
    [ -n "${STARTDISK_SHOTS:-}" ] || return 0
    mkdir -p "$STARTDISK_SHOTS"
    import -display "$DISPLAY" -window root "$STARTDISK_SHOTS/$1.png" 2>/dev/null || true
}

# A drive whose reads wait until the test feeds them: feed_tracks <n>.
# The pipe is made large enough that one write of n tracks lands whole, so
# the program never reads half a track.
slow_drive() {
    rm -f "$WORK/drive.fifo"
    mkfifo "$WORK/drive.fifo"
    map_disk "$WORK/drive.fifo"
    exec 7<>"$WORK/drive.fifo"
    perl -e 'fcntl(STDOUT, 1031, 1048576) or die "F_SETPIPE_SZ: $!"' >&7  # F_SETPIPE_SZ
}
feed_tracks() { dd if=/dev/zero bs=$((9216 * $1)) count=1 status=none >&7; }

# --- image workers ---
# Accepts the five document screens as a user would: the licence is scrolled
# to its end first, since its Yes stays disabled until then.
accept_document_screens() {
    local licence="$APP_TITLE Screen 1 of 5" n
    ui scroll "$licence" 9000 bottom >/dev/null &&
        ui wait-enabled "$licence" 1 >/dev/null &&
        ui click "$licence" 1 >/dev/null || { echo "licence screen not accepted" >&2; return 1; }
    for n in 2 3 4 5; do
        ui click "$APP_TITLE Screen $n of 5" 1 >/dev/null || { echo "screen $n not accepted" >&2; return 1; }
    done
}

# Answers the diskette confirmation with OK. It shares its caption with the
# progress window, so it is told apart by its first label.
confirm_ok() {
    local label='Label a blank floppy disk ""D:"  Drive Partition Deletion Program Disk", and insert it into Drive A.'
    wait_text "$APP_TITLE" 1000 "$label" && ui click "$APP_TITLE" 1 >/dev/null ||
        { echo "confirmation not answered" >&2; return 1; }
}

# --- transfer ---
# The first sectors of the 160 tracks in order, and the same with each track
# asked for twice in a row, as a verified write writes and reads it back.
ALL_TRACKS="$(seq -s' ' 0 18 2862)"
WRITTEN_AND_READ="$(for sector in $ALL_TRACKS; do printf '%s %s ' "$sector" "$sector"; done)"
WRITTEN_AND_READ="${WRITTEN_AND_READ% }"
# The transfer probe runs the real device layer and transfer loop behind the
# real progress window. It is held in APP_PID like the program, so that
# expect_exit and the cleanup work for it too; its report goes to probe.out,
# its debugger output to debug.log.
start_probe() {
    APP_TRACED=""
    WINEDEBUG=-all,+debugstr wine "$PROBE" "$@" >"$WORK/probe.out" 2>"$WORK/debug.log" &
    APP_PID=$!
}
# probe_value family|result|requests|lastpos|microseconds|sectors
# (its console output ends lines with CR LF).
probe_value() {
    if [ "$1" = sectors ]; then
        tr -d '\r' <"$WORK/probe.out" | sed -n 's/^sectors=//p'
    else
        tr -d '\r' <"$WORK/probe.out" | grep -o "\b$1=[^ ]*" | head -n 1 | cut -d= -f2
    fi
}
# Prints "same", or where two files first differ.
same_bytes() {
    local out
    if out="$(cmp "$1" "$2" 2>&1)"; then echo same; else echo "${out#*: }"; fi
}
# Waits until the probe has ended or a message box with that caption is up;
# prints "ended" or "prompt".
probe_ended_or_prompt() {
    local i
    for i in $(seq 300); do
        kill -0 "$APP_PID" 2>/dev/null || { echo ended; return; }
        UIDRIVER_TIMEOUT_MS=0 ui msgbox-buttons "$1" >/dev/null 2>&1 && { echo prompt; return; }
        sleep 0.05
    done
    echo neither
}
# Feeds tracks of an image file into the slow_drive pipe, one write per
# track: feed_image_tracks <file> <first track> <count>.
feed_image_tracks() {
    timeout 30 dd if="$1" bs=9216 skip="$2" count="$3" iflag=fullblock status=none >&7 ||
        echo "feed_image_tracks: the drive did not take the tracks within 30 s" >&2
}
# Restarts this prefix's wineserver, ending every program in the prefix; a
# running server does not notice that the drive root (a:) has gone. The first
# program after it starts Wine's services, which must not hold our output.
restart_wineserver() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true  # the old server gone, not one still ending
    wineserver -p >/dev/null 2>&1 </dev/null || true
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}
# Drive A: gone altogether (no raw device a::, no drive root a:), and back.
remove_drive() {
    rm -f "$WINEPREFIX/dosdevices/a::" "$WINEPREFIX/dosdevices/a:"
    restart_wineserver
}
restore_drive() {
    map_disk "$STARTDISK_DISK"
    ln -sfn "$STARTDISK_WINE_ROOT/drive-a" "$WINEPREFIX/dosdevices/a:"
}
