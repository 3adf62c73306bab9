# The confirmation dialog and the progress window, in capture runs (which
# show no document screen), and a verified write ended on a hung drive.
. "$(dirname "$0")/lib.sh"

CONFIRM_LABEL='Label a blank floppy disk ""D:"  Drive Partition Deletion Program Disk", and insert it into Drive A.'
CONFIRM_CAUTION='CAUTION: THE FLOPPY DISK WILL BE FORMATTED DURING THIS OPERATION. ANY EXISTING FILES ON THE FLOPPY DISK WILL BE ERASED.'
CONFIRM_CLICK='Click OK to continue.  If you do not wish to create a ""D:" Drive Partition Deletion Program Disk", click Cancel.'
PROGRESS_TEXT='Creating Start Up Disk...This Should Take Approximately Two Minutes.'

install_documents

if in_family nt; then
    echo "# -r: straight to the confirmation, texts byte for byte; Escape ends with -2"
    start_app -r
    expect_ui "confirmation shown" wait "$APP_TITLE"
    check "no document screen in a capture run" "" "$(UIDRIVER_TIMEOUT_MS=0 ui exists "$APP_TITLE Screen 1 of 5" 2>/dev/null || true)"
    check "label text" "$CONFIRM_LABEL" "$(ui text "$APP_TITLE" 1000)"
    check "caution text" "$CONFIRM_CAUTION" "$(ui text "$APP_TITLE" 1001)"
    check "click text" "$CONFIRM_CLICK" "$(ui text "$APP_TITLE" 1002)"
    check "OK button" "OK" "$(ui text "$APP_TITLE" 1)"
    check "Cancel button" "Cancel" "$(ui text "$APP_TITLE" 2)"
    check "OK is enabled" "enabled visible" "$(ui state "$APP_TITLE" 1)"
    shot confirmation
    ui key "$APP_TITLE" escape
    expect_exit "Escape ends the run with -2" 254

    echo "# Cancel and the close box end the run with -2"
    start_app -r
    ui click "$APP_TITLE" 2
    expect_exit "Cancel ends the run with -2" 254
    start_app -r
    ui close "$APP_TITLE"
    expect_exit "the close box ends the run with -2" 254

    echo "# OK opens the progress window; its close box ends the run at once with 0"
    slow_drive
    start_app -r
    ui click "$APP_TITLE" 1
    if wait_text "$APP_TITLE" 1000 "$PROGRESS_TEXT"; then echo "ok: progress window and its text"; else check "progress text" "$PROGRESS_TEXT" "$(ui text "$APP_TITLE" 1000)"; fi
    check "progress bar class" "msctls_progress32" "$(ui class "$APP_TITLE" 1001)"
    check "bar range 0 to 160, at 0" "0 160 0" "$(ui progress "$APP_TITLE" 1001)"
    feed_tracks 3
    expect_ui "bar follows the tracks" wait-progress "$APP_TITLE" 1001 2
    shot progress
    ui close "$APP_TITLE"
    expect_exit "the close box ends the run with 0 while the worker still waits" 0
    check "no image saved" "" "$(ls MYFILE.BIN 2>/dev/null || true)"

    echo "# Escape and Enter on the progress window hide it and stop the transfer after the current track"
    for key in escape enter; do
        slow_drive
        start_app -r
        ui click "$APP_TITLE" 1
        wait_text "$APP_TITLE" 1000 "$PROGRESS_TEXT"
        feed_tracks 10
        ui wait-progress "$APP_TITLE" 1001 9 >/dev/null
        ui key "$APP_TITLE" "$key"
        ui wait-gone "$APP_TITLE" >/dev/null
        check "$key: the progress window is hidden, not destroyed" hidden "$(ui exists "$APP_TITLE")"
        feed_tracks 1
        expect_no_window "Utility Complete" 1000
        expect_exit "$key: the cancelled run ends with 0" 0
        check "$key: no image saved" "" "$(ls MYFILE.BIN 2>/dev/null || true)"
    done
fi

if in_family 9x; then
    echo "# 9x: a verified write whose drive never answers; the close box still ends the run, within its bound"
    # The pipe is full from the start, so the write of track 0 waits, with drive
    # A: locked, for room that never comes: the worker neither ends nor prompts.
    use_family 9x
    patterned_image MYFILE.BIN
    slow_drive
    head -c 1048576 /dev/zero >&7
    start_app -v
    step "9x hung drive: documents accepted" accept_document_screens
    step "9x hung drive: confirmation answered with OK" confirm_ok
    step "9x hung drive: track 0's write under way" \
        poll grep -aqE 'Call [A-Za-z0-9]+\.DeviceIoControl\([0-9a-f]{8},00000003,' debug.log
    ui close "$APP_TITLE"
    expect_exit "9x hung drive: the close box ends the run" 0
    exec 7>&-
    use_family nt
fi

finish
