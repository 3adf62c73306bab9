# Failed tracks through the real device layer and transfer loop: the prompt,
# Cancel, and OK once the fault is gone, on the direct path (NT family) and
# the VWIN32 path (9x family); and Escape in the middle of a transfer.
. "$(dirname "$0")/lib.sh"

DIRECT_CAPTION="Error writing to floppy"
VWIN32_CAPTION="Floppy Disk Error"
VWIN32_DEBUG_LINE='Error writing to floppy\r\n'

# A removed drive needs the wineserver restarted once it is back.
DRIVE_REMOVED=""
trap '[ -z "$DRIVE_REMOVED" ] || { restore_drive; restart_wineserver; }; cleanup' EXIT

patterned_image image.bin
map_good_disk() { map_disk "$STARTDISK_DISK"; }

# The prompt for a failed track as the user sees it: expect_prompt <what> <caption> <bar position>.
# Returns 1 when no prompt came.
expect_prompt() {
    local what=$1 caption=$2 pos=$3
    if ! ui msgbox "$caption" "$FAILED_TRACK_TEXT" none >/dev/null; then
        echo "FAIL: $what: prompt \"$caption\" with its text"; failures=$((failures + 1))
        return 1
    fi
    echo "ok: $what: prompt \"$caption\" with its text"
    check "$what: error icon" error "$(ui msgbox-icon "$caption")"
    check "$what: OK and Cancel" "1 2" "$(ui msgbox-buttons "$caption")"
    check "$what: owned by the progress window, which it disables" "disabled visible" "$(ui state "$APP_TITLE" 0)"
    check "$what: bar range 0 to 160, at $pos" "0 160 $pos" "$(ui progress "$APP_TITLE" 1001)"
}

# A write (or, with "verify", a verified write: each track asked for twice)
# whose first track fails, answered with Cancel:
# cancel_case <what> <caption> <debugger output by the time the prompt is up> [verify].
cancel_case() {
    local what="$1, Cancel" caption=$2 debug=$3 mode=${4:-write} requests="1: 0"
    [ "$mode" = verify ] && requests="2: 0 0"
    start_probe "$mode" image.bin
    if expect_prompt "$what" "$caption" 0; then
        check "$what: debugger output before the prompt" "$debug" "$(debug_lines)"
        expect_ui "$what: pressed" msgbox "$caption" "$FAILED_TRACK_TEXT" cancel
    fi
    expect_exit "$what: the transfer ends as failed" 1
    check "$what: result" 0 "$(probe_value result)"
    check "$what: track 0 only, none after it" "$requests" "$(probe_value requests): $(probe_value sectors)"
    check "$what: bar still at 0" 0 "$(probe_value lastpos)"
}

# A write whose first track fails, answered with OK once the fault has been
# removed: the same track again, then the rest.
# retry_case <what> <caption> <command that removes the fault> <diskette file> [verify]
retry_case() {
    local what="$1, OK" caption=$2 fix=$3 disk=$4 mode=${5:-write} requests="161: 0 $ALL_TRACKS"
    [ "$mode" = verify ] && requests="322: 0 0 $WRITTEN_AND_READ"
    start_probe "$mode" image.bin
    if ui msgbox "$caption" "$FAILED_TRACK_TEXT" none >/dev/null; then
        $fix
        expect_ui "$what: pressed once the fault is gone" msgbox "$caption" "$FAILED_TRACK_TEXT" ok
        if [ "$(probe_ended_or_prompt "$caption")" = prompt ]; then
            echo "FAIL: $what: the retried track failed again although the fault is gone"
            failures=$((failures + 1))
            ui msgbox "$caption" "$FAILED_TRACK_TEXT" cancel >/dev/null || true
            expect_exit "$what: Cancel on the repeated prompt still ends it" 1
            return
        fi
    else
        echo "FAIL: $what: no prompt"; failures=$((failures + 1))
        $fix
    fi
    expect_exit "$what: the transfer completes" 0
    check "$what: the failed track again, then the rest" "$requests" "$(probe_value requests): $(probe_value sectors)"
    check "$what: bar at the last track" 159 "$(probe_value lastpos)"
    check "$what: the diskette holds the image byte for byte" same "$(same_bytes image.bin "$disk")"
}

if in_family nt; then
    use_family nt

    echo "# direct path, write-protected diskette (the device cannot be opened for writing)"
    touch chattr.check
    if chattr +i chattr.check 2>/dev/null && chattr -i chattr.check; then
        truncate -s "$IMAGE_SIZE" protected.img
        map_disk "$WORK/protected.img"
        protect "$WORK/protected.img"
        cancel_case "write-protected" "$DIRECT_CAPTION" ""
        unprotect_copy() { unprotect "$WORK/protected.img"; }
        retry_case "write-protected" "$DIRECT_CAPTION" unprotect_copy "$WORK/protected.img"
        map_disk "$STARTDISK_DISK"
    else
        echo "skip: write-protected diskette: chattr +i does not work here (needs root and a filesystem with the immutable flag)"
    fi

    echo "# direct path, failing drive (every write fails)"
    blank_disk
    map_disk /dev/full
    cancel_case "failing drive" "$DIRECT_CAPTION" ""
    map_disk /dev/full
    retry_case "failing drive" "$DIRECT_CAPTION" map_good_disk "$STARTDISK_DISK"

    echo "# direct path, no diskette in the drive (the device opens, every request fails)"
    blank_disk
    map_disk "$WORK/no-diskette"
    cancel_case "no diskette" "$DIRECT_CAPTION" ""
    map_disk "$WORK/no-diskette"
    retry_case "no diskette" "$DIRECT_CAPTION" map_good_disk "$STARTDISK_DISK"

    echo "# direct path, no drive at all (the device cannot be opened; reopened for the retry)"
    blank_disk
    DRIVE_REMOVED=1
    remove_drive
    cancel_case "no drive" "$DIRECT_CAPTION" ""
    retry_case "no drive" "$DIRECT_CAPTION" restore_drive "$STARTDISK_DISK"
fi

if in_family 9x; then
    # Under Wine the VWIN32 services report a failure only for a missing drive.
    echo "# VWIN32 path, no drive at all"
    use_family 9x
    blank_disk
    remove_drive
    cancel_case "9x no drive" "$VWIN32_CAPTION" "$VWIN32_DEBUG_LINE"
    retry_case "9x no drive" "$VWIN32_CAPTION" restore_drive "$STARTDISK_DISK"
    check "9x no drive, OK: one debugger line, for the one failure" "$VWIN32_DEBUG_LINE" "$(debug_lines)"
    restart_wineserver
    DRIVE_REMOVED=""
fi

if in_family nt; then
    echo "# direct path, a track that comes back short in the middle of a read; another diskette goes in; OK"
    use_family nt
    slow_drive
    rm -f back.bin
    patterned_image other.bin
    start_probe read back.bin
    feed_image_tracks image.bin 0 10
    printf '%100s' '' >&7
    if expect_prompt "short track 10" "$DIRECT_CAPTION" 9; then
        # The pipe serves reads in order: the check of track 0 after the OK gets
        # its own copy, then the whole other diskette follows.
        feed_image_tracks other.bin 0 1
        feed_image_tracks other.bin 0 100
        expect_ui "short track 10: OK" msgbox "$DIRECT_CAPTION" "$FAILED_TRACK_TEXT" ok
        feed_image_tracks other.bin 100 60
    fi
    expect_exit "short track 10: the read completes" 0
    check "short track 10: track 0 checked, differs, and the other diskette read from its start" \
        "$(seq -s' ' 0 18 180) 0 $ALL_TRACKS" "$(probe_value sectors)"
    check "short track 10: the image read is the other diskette's, not a mix" same "$(same_bytes other.bin back.bin)"
    exec 7>&-
fi

# A write whose track 10 goes out short: a file-size limit on the probe alone
# cuts it, and Wine's WriteFile then reports success with fewer bytes. It is
# lifted before OK, after <change> has run:
# short_write_case <what> <change> <requests>
short_write_case() {
    local what=$1
    map_disk "$STARTDISK_DISK"
    blank_disk
    trap '' XFSZ
    ulimit -S -f $(((10 * 9216 + 4096) / 1024))
    start_probe write image.bin
    ulimit -S -f unlimited
    trap - XFSZ
    if expect_prompt "$what" "$DIRECT_CAPTION" 9; then
        prlimit --pid "$APP_PID" --fsize=unlimited:unlimited
        $2
        expect_ui "$what: OK" msgbox "$DIRECT_CAPTION" "$FAILED_TRACK_TEXT" ok
    fi
    expect_exit "$what: the write completes" 0
    check "$what: requests" "$3" "$(probe_value sectors)"
    check "$what: the diskette holds the image" same "$(same_bytes image.bin "$STARTDISK_DISK")"
}
# Another diskette in the drive: other bytes where tracks 0 to 9 were written.
other_diskette() { head -c $((10 * 9216)) /dev/urandom | dd of="$STARTDISK_DISK" conv=notrunc status=none; }
if in_family nt; then
    echo "# direct path, a track that goes out short in the middle of a write; OK writes it again, or all again on another diskette"
    use_family nt
    short_write_case "short write 10, same diskette" : \
        "$(seq -s' ' 0 18 180) $(seq -s' ' 0 18 162) $(seq -s' ' 180 18 2862)"
    short_write_case "short write 10, another diskette" other_diskette "$(seq -s' ' 0 18 180) 0 $ALL_TRACKS"
fi

for family in $(families nt 9x); do
    echo "# $family: a drive that keeps nothing (/dev/zero: writes succeed, reads give zeros); only -v notices"
    use_family "$family"
    caption=$DIRECT_CAPTION prompt_line=""
    [ "$family" = 9x ] && caption=$VWIN32_CAPTION prompt_line=$'\n'$VWIN32_DEBUG_LINE
    map_disk /dev/zero
    start_probe write image.bin
    expect_exit "$family keeps nothing, without -v: the write passes for a success, as it always did" 0
    cancel_case "$family keeps nothing, -v" "$caption" 'Track 0 did not read back as written\r\n'"$prompt_line" verify
    # Zeros read back as written: the first three tracks pass.
    { head -c $((3 * 9216)) /dev/zero; tail -c +$((3 * 9216 + 1)) image.bin; } > zero-start.bin
    start_probe verify zero-start.bin
    expect_prompt "$family keeps nothing, -v, three zero tracks first" "$caption" 2 &&
        ui msgbox "$caption" "$FAILED_TRACK_TEXT" cancel >/dev/null
    expect_exit "$family keeps nothing, -v, three zero tracks first: failed at track 3" 1
    check "$family keeps nothing, -v, three zero tracks first: requests" "0 0 18 18 36 36 54 54" "$(probe_value sectors)"
    map_disk "$STARTDISK_DISK"
done

if in_family 9x; then
    # Wine's INT 26h reports no failed write, so on the 9x path only -v fails part way.
    echo "# 9x: track 3 fails its read-back; another diskette goes in; OK writes it whole"
    map_disk /dev/zero
    noisy_disk
    start_probe verify zero-start.bin
    if expect_prompt "9x -v, another diskette at track 3" "$VWIN32_CAPTION" 2; then
        map_good_disk
        expect_ui "9x -v, another diskette at track 3: OK" msgbox "$VWIN32_CAPTION" "$FAILED_TRACK_TEXT" ok
    fi
    expect_exit "9x -v, another diskette at track 3: the write completes" 0
    check "9x -v, another diskette at track 3: track 0 checked, differs, all written again" \
        "0 0 18 18 36 36 54 54 0 $WRITTEN_AND_READ" "$(probe_value sectors)"
    check "9x -v, another diskette at track 3: it holds the image" same "$(same_bytes zero-start.bin "$STARTDISK_DISK")"

    echo "# 9x: drive A: put right while the read-back prompt is up; OK writes and reads the track again"
    blank_disk
    map_disk /dev/zero
    retry_case "9x put right, -v" "$VWIN32_CAPTION" map_good_disk "$STARTDISK_DISK" verify
fi

for family in $(families nt 9x); do
    echo "# $family: Escape on the progress window stops the transfer after the current track, as failed"
    use_family "$family"
    slow_drive
    start_probe read back.bin
    feed_tracks 10
    ui wait-progress "$APP_TITLE" 1001 9 >/dev/null
    ui key "$APP_TITLE" escape
    expect_ui "$family Escape: the progress window is hidden" wait-gone "$APP_TITLE"
    # More tracks than needed: a loop that went on would ask for them.
    feed_tracks 5
    expect_exit "$family Escape: the transfer ends as failed" 1
    check "$family Escape: result" 0 "$(probe_value result)"
    check "$family Escape: the current track finished, no other begun" "$(seq -s' ' 0 18 180)" "$(probe_value sectors)"
    check "$family Escape: bar at the last track moved" 10 "$(probe_value lastpos)"
    exec 7>&-
done

finish
