#!/usr/bin/env bash
# Measures whole startdisk.exe runs under Wine, acted through by the UI driver
# as in scripts/demo.sh: wall time and peak memory of a Create run and of a
# Capture run, the peak memory of a minimal message-box program beside them,
# the CPU use while the licence screen waits unread, and the exe size.
# Prints a markdown table of medians.
#   bench/runs.sh [build folder] [runs]
# The build folder defaults to build-bench/ in the source.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$source_dir/build-bench}"
# Wine wants its prefix as an absolute path.
mkdir -p "$build" && build="$(cd "$build" && pwd)"
runs="${2:-5}"
idle_seconds=10
memory_bar_kb=4096
exe_bar_bytes=$((300 * 1024))
cpu_bar_percent=1

cmake -S "$source_dir" -B "$build" >/dev/null
cmake --build "$build" --target startdisk uidriver >/dev/null
i686-w64-mingw32-g++ -Os -mwindows -static -o "$build/minimal_msgbox.exe" "$source_dir/bench/minimal_msgbox.cpp"
exe="$build/startdisk.exe"
minimal="$build/minimal_msgbox.exe"
uidriver="$build/tests/uidriver.exe"

# A Wine root of its own, so that the tests' prefixes are left alone; no
# virtual desktop, as in the tests.
export STARTDISK_WINE_ROOT="$build/bench-runs-wine"
unset DISPLAY STARTDISK_DESKTOP
"$source_dir/scripts/wine-teardown.sh"  # a server left by an interrupted run would fail the setup
"$source_dir/scripts/wine-setup.sh"
. "$source_dir/scripts/wine-env.sh"
work="$(mktemp -d "$STARTDISK_WINE_ROOT/runs.XXXXXX")"
TOP_PID="" POLL_PID=""
finish() {
    [ -n "$POLL_PID" ] && kill "$POLL_PID" 2>/dev/null
    [ -n "$TOP_PID" ] && kill "$TOP_PID" 2>/dev/null
    "$source_dir/scripts/wine-teardown.sh"
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "bench/runs.sh: $*" >&2; exit 1; }

app="Partition Deletion Application"
licence="$app Screen 1 of 5"
done_text="Diskette image has been created."
wine reg delete 'HKCU\Software\Wine\AppDefaults\startdisk.exe' /f >/dev/null 2>&1 || true  # NT family
mkdir -p "$work/create" "$work/capture"
cp "$source_dir"/samples/*.rtf "$source_dir"/samples/*.RTF "$work/create/"
"$source_dir/scripts/make-sample-image.sh" "$work/sample.img" >/dev/null
cp "$work/sample.img" "$work/create/MYFILE.BIN"

ui() { wine "$uidriver" "$@" >/dev/null; }
now_us() { echo $(($(date +%s%N) / 1000)); }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print lo " " hi }'; }

# Writes "<peak VmHWM kB> <utime+stime ticks>" of a process to a file every
# 50 ms until it has gone. Only builtins in the loop, so that the poll itself
# adds little load; the high-water mark never falls, so the last poll holds
# the peak up to 50 ms before the exit.
poll_peak() {
    local pid=$1 out=$2 peak=0 ticks=0 hwm key value line fd
    local -a fields
    exec {fd}<> <(:)  # a pipe nobody writes to: read -t on it is a sleep without a fork
    while :; do
        hwm=""
        while read -r key value _; do
            [ "$key" = VmHWM: ] && { hwm=$value; break; }
        done 2>/dev/null <"/proc/$pid/status" || true
        [ -n "$hwm" ] || break  # gone, or a zombie without memory
        [ "$hwm" -gt "$peak" ] && peak=$hwm
        if read -r line 2>/dev/null <"/proc/$pid/stat"; then
            read -r -a fields <<<"${line##*) }"
            ticks=$((fields[11] + fields[12]))
        fi
        printf '%s %s\n' "$peak" "$ticks" >"$out"
        read -r -t 0.05 -u "$fd" _ || true
    done
}

# launch <exe> [args]: starts a program under Wine in the current folder.
# TOP_PID is what to wait for; APP_PID is the Wine process, which is the
# Windows program itself. Under GNU time its rusage (exact max RSS and CPU
# time, to check the poll against) goes to $work/rusage.
launch() {
    rm -f "$work/rusage" "$work/peak"
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%M %U %S' -o "$work/rusage" wine "$@" >/dev/null 2>&1 &
        TOP_PID=$!
        APP_PID=""
        local i
        for i in $(seq 400); do
            read -r APP_PID _ 2>/dev/null <"/proc/$TOP_PID/task/$TOP_PID/children" || true
            [ -n "$APP_PID" ] && break
            sleep 0.005
        done
        [ -n "$APP_PID" ] || fail "the Wine process of $1 did not start"
    else
        wine "$@" >/dev/null 2>&1 &
        TOP_PID=$!
        APP_PID=$TOP_PID
    fi
    poll_peak "$APP_PID" "$work/peak" &
    POLL_PID=$!
}

# ended <what> <expected exit code>: waits for the program and checks its
# code; sets PEAK_KB and CPU_MS from its rusage when GNU time is there, else
# from the poll, and POLLED_KB, POLLED_CPU_MS from the poll.
ended() {
    local rc=0 i ticks user sys
    for i in $(seq 600); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$APP_PID" 2>/dev/null && fail "$1 did not end within 30 s"
    wait "$TOP_PID" || rc=$?
    TOP_PID=""
    wait "$POLL_PID" || true
    POLL_PID=""
    [ "$rc" = "$2" ] || fail "$1 ended with exit code $rc, not $2"
    read -r POLLED_KB ticks <"$work/peak" || fail "$1: no memory sample"
    POLLED_CPU_MS=$((ticks * 1000 / $(getconf CLK_TCK)))
    PEAK_KB=$POLLED_KB CPU_MS=$POLLED_CPU_MS
    if [ -s "$work/rusage" ]; then
        # GNU time puts "Command exited with non-zero status" first.
        read -r PEAK_KB user sys < <(tail -n 1 "$work/rusage")
        CPU_MS=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
    fi
}

# create_run steps|chain: a whole Create run on a blank diskette. "steps"
# starts the UI driver once per step, as demo.sh does; "chain" does every
# step in one driver process, so that what is left of the wall time is the
# program's, plus at most one 20 ms driver poll per step.
create_run() {
    local start confirmed end n
    cd "$work/create"
    rm -f "$STARTDISK_DISK" && truncate -s 1474560 "$STARTDISK_DISK"
    start=$(now_us)
    launch "$exe"
    if [ "$1" = steps ]; then
        ui wait "$licence" || fail "no licence screen"
        ui scroll "$licence" 9000 bottom && ui wait-enabled "$licence" 1 && ui click "$licence" 1 ||
            fail "licence not accepted"
        for n in 2 3 4 5; do
            ui wait "$app Screen $n of 5" && ui click "$app Screen $n of 5" 1 || fail "screen $n not accepted"
        done
        ui wait "$app" && ui click "$app" 1 || fail "confirmation not answered"
    else
        ui wait "$licence" ";" scroll "$licence" 9000 bottom ";" wait-enabled "$licence" 1 ";" click "$licence" 1 \
            ";" wait "$app Screen 2 of 5" ";" click "$app Screen 2 of 5" 1 \
            ";" wait "$app Screen 3 of 5" ";" click "$app Screen 3 of 5" 1 \
            ";" wait "$app Screen 4 of 5" ";" click "$app Screen 4 of 5" 1 \
            ";" wait "$app Screen 5 of 5" ";" click "$app Screen 5 of 5" 1 \
            ";" wait "$app" ";" click "$app" 1 || fail "the chained Create run stopped"
    fi
    confirmed=$(now_us)
    ended "Create run ($1)" 0
    end=$(now_us)
    cmp -s MYFILE.BIN "$STARTDISK_DISK" || fail "the Create run did not write MYFILE.BIN onto the diskette"
    WALL_MS=$(((end - start) / 1000)) AFTER_OK_MS=$(((end - confirmed) / 1000))
}

# capture_run steps|chain: a whole Capture run (-r) of the sample diskette.
capture_run() {
    local start confirmed end
    cd "$work/capture"
    cp "$work/sample.img" "$STARTDISK_DISK"
    rm -f MYFILE.BIN
    start=$(now_us)
    launch "$exe" -r
    if [ "$1" = steps ]; then
        ui wait "$app" && ui click "$app" 1 || fail "confirmation not answered"
        confirmed=$(now_us)
        ui msgbox "Utility Complete" "$done_text" ok || fail "no completion box"
    else
        ui wait "$app" ";" click "$app" 1 ";" msgbox "Utility Complete" "$done_text" ok ||
            fail "the chained Capture run stopped"
        confirmed=$start
    fi
    ended "Capture run ($1)" 0
    end=$(now_us)
    cmp -s MYFILE.BIN "$work/sample.img" || fail "the Capture run did not save the diskette"
    WALL_MS=$(((end - start) / 1000)) AFTER_OK_MS=$(((end - confirmed) / 1000))
}

minimal_run() {
    cd "$work"
    launch "$minimal"
    ui msgbox Minimal Hello ok || fail "no minimal message box"
    ended "minimal_msgbox.exe" 0
}

# Prints "<tid> <CPU ns> <voluntary context switches>" for each thread.
thread_times() {
    local task ns key value switches
    for task in /proc/"$1"/task/*; do
        read -r ns _ 2>/dev/null <"$task/schedstat" || continue
        switches=0
        while read -r key value; do
            [ "$key" = voluntary_ctxt_switches: ] && switches=$value
        done 2>/dev/null <"$task/status" || true
        echo "${task##*/} $ns $switches"
    done
}
process_ticks() {
    local line
    local -a fields
    read -r line <"/proc/$1/stat"
    read -r -a fields <<<"${line##*) }"
    echo $((fields[11] + fields[12]))
}

# The licence screen left unread: the CPU of the whole process and of each
# thread over idle_seconds. The watcher is the thread that ends once the text
# has been scrolled to its end; then the screen is declined.
watcher_run() {
    local start end ticks0 ticks1 watcher="" tid i
    cd "$work/create"
    launch "$exe"
    ui wait "$licence" || fail "no licence screen"
    thread_times "$APP_PID" >"$work/threads0"
    ticks0=$(process_ticks "$APP_PID")
    start=$(date +%s%N)
    sleep "$idle_seconds"
    thread_times "$APP_PID" >"$work/threads1"
    ticks1=$(process_ticks "$APP_PID")
    end=$(date +%s%N)
    ui scroll "$licence" 9000 bottom && ui wait-enabled "$licence" 1 || fail "the licence's Yes was not enabled"
    for i in $(seq 40); do
        for tid in $(cut -d' ' -f1 "$work/threads1"); do
            [ -d "/proc/$APP_PID/task/$tid" ] || watcher="$watcher $tid"
        done
        [ -n "$watcher" ] && break
        sleep 0.05
    done
    ui click "$licence" 2 || fail "the licence was not declined"
    ended "licence screen" 255
    # "<process % by schedstat> <process % by ticks> <watcher %> <watcher wake-ups/s> <threads> <watcher tids>"
    awk -v el=$((end - start)) -v t0="$ticks0" -v t1="$ticks1" -v hz="$(getconf CLK_TCK)" -v w="${watcher# }" '
        BEGIN { split(w, ws, " "); for (i in ws) isw[ws[i]] = 1 }
        FNR == NR { ns[$1] = $2; sw[$1] = $3; next }
        ($1 in ns) { all += $2 - ns[$1]; n++; if ($1 in isw) { wt += $2 - ns[$1]; wsw += $3 - sw[$1] } }
        END {
            printf "%.4f %.4f %s %s %d %s\n", 100 * all / el, 100 * (t1 - t0) / hz * 1e9 / el,
                w == "" ? "-" : sprintf("%.4f", 100 * wt / el), w == "" ? "-" : sprintf("%.1f", wsw * 1e9 / el),
                n, w == "" ? "-" : w
        }' "$work/threads0" "$work/threads1"
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
echo "Warm-up runs..." >&2
create_run steps; capture_run steps; minimal_run
: >"$work/results"
record() { echo "$1 $2" >>"$work/results"; }
# record_process <kind>: the peak and the CPU time of the run that just ended.
record_process() {
    record "$1_peak" "$PEAK_KB"; record "$1_polled_peak" "$POLLED_KB"
    record "$1_cpu" "$CPU_MS"; record "$1_polled_cpu" "$POLLED_CPU_MS"
}
for run in $(seq "$runs"); do
    create_run steps; record create_steps_wall "$WALL_MS"; record create_after_ok "$AFTER_OK_MS"; record_process create
    create_run chain; record create_chain_wall "$WALL_MS"; record_process create
    capture_run steps; record capture_steps_wall "$WALL_MS"; record capture_after_ok "$AFTER_OK_MS"; record_process capture
    capture_run chain; record capture_chain_wall "$WALL_MS"; record_process capture
    minimal_run; record_process minimal
    watcher_run >"$work/watcher"
    read -r proc_pct proc_tick_pct watch_pct watch_wakeups threads watch_tids <"$work/watcher"
    record idle_process "$proc_pct"; record idle_process_ticks "$proc_tick_pct"
    record idle_watcher "$watch_pct"; record idle_wakeups "$watch_wakeups"
    echo "run $run/$runs done; licence screen: $threads thread(s), the watcher thread: $watch_tids" >&2
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

values() { awk -v k="$1" '$1 == k && $2 != "-" { print $2 }' "$work/results"; }
med() { values "$1" | median; }
spread() { values "$1" | range | awk '{ print $1 "–" $2 }'; }
kb_to_mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
row() { printf '| %s | %s | %s | %s | %s |\n' "$@"; }
yes_no() { awk -v v="$1" -v bar="$2" -v op="$3" 'BEGIN { print ((op == "<" ? v < bar : v <= bar) ? "yes" : "no") }'; }

minimal_peak=$(med minimal_peak)
exe_bytes=$(stat -c %s "$exe")
if [ -x /usr/bin/time ]; then source="rusage"; else source="polled"; fi
echo
echo "| Measure | Median | Range | Bar | Met |"
echo "|---|---:|---|---|---|"
for kind in create capture; do
    if [ "$kind" = create ]; then name="Create run"; else name="Capture run (-r)"; fi
    row "$name: wall time, one UI driver process per step (as demo.sh)" "$(med ${kind}_steps_wall) ms" \
        "$(spread ${kind}_steps_wall) ms" "–" "–"
    row "$name: wall time, all steps in one UI driver process" "$(med ${kind}_chain_wall) ms" \
        "$(spread ${kind}_chain_wall) ms" "–" "–"
    row "$name: from the confirmation's OK to the exit" "$(med ${kind}_after_ok) ms" \
        "$(spread ${kind}_after_ok) ms" "–" "–"
    row "$name: CPU time of the program, $source (polled)" "$(med ${kind}_cpu) ms ($(med ${kind}_polled_cpu) ms)" \
        "$(spread ${kind}_cpu) ms" "–" "–"
    peak=$(med ${kind}_peak)
    row "$name: peak RSS, $source (VmHWM polled)" "$(kb_to_mb "$peak") ($(kb_to_mb "$(med ${kind}_polled_peak)"))" \
        "$(spread ${kind}_peak) kB" "–" "–"
    diff_kb=$(awk -v a="$peak" -v b="$minimal_peak" 'BEGIN { print a - b }')
    row "$name: peak RSS above the minimal message box" "$(kb_to_mb "$diff_kb")" "–" "≤ 4 MB" \
        "$(yes_no "$diff_kb" "$memory_bar_kb" "<=")"
done
row "Minimal message box: peak RSS, $source (VmHWM polled)" \
    "$(kb_to_mb "$minimal_peak") ($(kb_to_mb "$(med minimal_polled_peak)"))" "$(spread minimal_peak) kB" "–" "–"
watch=$(med idle_watcher)
row "Licence screen unread ${idle_seconds} s: CPU of the whole process (tick count)" \
    "$(med idle_process)% ($(med idle_process_ticks)%)" "$(spread idle_process)%" "< 1% of one core" \
    "$(yes_no "$(med idle_process)" "$cpu_bar_percent" "<")"
row "Licence screen unread ${idle_seconds} s: CPU of the watcher thread" "${watch}%" "$(spread idle_watcher)%" \
    "< 1% of one core" "$(yes_no "$watch" "$cpu_bar_percent" "<")"
row "Licence screen unread: watcher thread wake-ups per second" "$(med idle_wakeups)" "$(spread idle_wakeups)" "–" "–"
row "startdisk.exe size" "$exe_bytes bytes ($((exe_bytes / 1024)) KB)" "–" "≤ 300 KB" \
    "$(yes_no "$exe_bytes" "$exe_bar_bytes" "<=")"
echo
echo "Medians of $runs runs of each kind after one warm-up run of each; the peaks and CPU times of the Create" \
    "and of the Capture run are over both ways of driving them ($((2 * runs)) runs each). rusage: GNU time's" \
    "max RSS and user + sys time of the Wine process, exact up to its exit; the 50 ms poll of /proc misses the" \
    "last moments, where a message box program reaches its peak."
echo "NT family, Wine $(wine --version 2>/dev/null | sed 's/^wine-//'); $(nproc) CPU(s)," \
    "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(date -u +%Y-%m-%d);" \
    "load average $load_before before, $load_after after."
