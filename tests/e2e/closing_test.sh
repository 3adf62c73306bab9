# The end of a Create run: silent on the NT family; on the 9x family the
# closing screen, whose "Reboot Now" deletes the first four documents and
# asks for a restart. Every run writes the sample diskette for real.
#
# How the restart is observed: Wine's relay trace of the run (lib.sh), which
# covers DeleteFileA and ExitWindowsEx, logs each call with its arguments
# ("Call user32.ExitWindowsEx(00000002,00000004)"). Under Wine
# the request ends every windowed process of the prefix with exit code 0,
# the program and the prefix's explorer.exe included; the wineserver and the
# services have no windows and stay. A later run here shows that the prefix
# still works afterwards.
. "$(dirname "$0")/lib.sh"

DOCUMENTS="AFTR001.rtf INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF"
CLOSING_HEADING="Installation Instruction"

# The program is ended here first: a killed program makes lib.sh's cleanup
# stop at its wait, which would leave the 9x setting behind.
closing_cleanup() {
    if [ -n "$APP_PID" ]; then kill "$APP_PID" 2>/dev/null || true; wait "$APP_PID" 2>/dev/null || true; APP_PID=""; fi
    cleanup
}
trap closing_cleanup EXIT

# The traced calls in order, without addresses: DeleteFileA "name" and
# ExitWindowsEx(flags,reserved).
traced_calls() {
    sed -nE 's/^([0-9a-f]{4}:)+Call [A-Za-z0-9]+\.(DeleteFileA)\([0-9a-f]{8} ("[^"]*")\) ret=.*$/\2 \3/p
              s/^([0-9a-f]{4}:)+Call user32\.(ExitWindowsEx\([0-9a-f,]*\)) ret=.*$/\2/p' "$WORK/debug.log"
}

# The wineserver of this prefix, found by its environment.
prefix_server() {
    local p
    for p in $(pgrep -x 'wineserver|wineserver32|wineserver64'); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
    done
    return 0
}

# Fresh documents, the sample image and a blank diskette in the work folder.
prepare() {
    rm -f $DOCUMENTS MYFILE.BIN
    install_documents
    sample_image
    blank_disk
}

# Goes through the five screens and the confirmation.
create_run() {
    start_app
    accept_document_screens && confirm_ok || { echo "FAIL: run did not reach the transfer"; failures=$((failures + 1)); }
}

# Waits until the program ends or shows the closing screen; prints which.
closing_or_end() {
    local i
    for i in $(seq 300); do
        kill -0 "$APP_PID" 2>/dev/null || { echo ended; return; }
        [ "$(UIDRIVER_TIMEOUT_MS=0 ui text "$APP_TITLE" 9002 2>/dev/null)" == "$CLOSING_HEADING" ] && { echo closing; return; }
        sleep 0.1
    done
    echo neither
}

files_here() { ls | grep -v '^debug\.log$' | tr '\n' ' '; }
disk_holds_image() { cmp -s MYFILE.BIN "$STARTDISK_DISK" && echo yes || echo no; }

if in_family nt; then
    echo "# NT family: the run ends silently after the transfer"
    use_family nt
    prepare
    create_run
    check "no closing screen, the program ends" ended "$(closing_or_end)"
    [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null && { ui close "$APP_TITLE" >/dev/null 2>&1 || true; }
    expect_exit "exit code 0" 0
    check "the diskette holds the image byte for byte" yes "$(disk_holds_image)"
    check "every document kept" "AFTR001.rtf INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF MYFILE.BIN " "$(files_here)"
    check "nothing deleted, no restart asked" "" "$(traced_calls)"
fi

if in_family 9x; then
    echo "# 9x family: the closing screen; Reboot Later keeps everything"
    use_family 9x
    prepare
    create_run
    check "closing screen shown" closing "$(closing_or_end)"
    check "closing screen heading" "$CLOSING_HEADING" "$(ui text "$APP_TITLE" 9002)"
    check "closing screen title" "$APP_TITLE" "$(ui text "$APP_TITLE" 0)"
    check "closing screen prompt is empty" "" "$(ui text "$APP_TITLE" 9001)"
    check "accept label" "Reboot &Now" "$(ui text "$APP_TITLE" 1)"
    check "decline label" "Reboot &Later" "$(ui text "$APP_TITLE" 2)"
    check "Reboot Now enabled without scrolling" "enabled visible" "$(ui state "$APP_TITLE" 1)"
    check "Reboot Later enabled" "enabled visible" "$(ui state "$APP_TITLE" 2)"
    check "starts at the top" 0 "$(ui firstline "$APP_TITLE" 9000)"
    case "$(ui text "$APP_TITLE" 9000)" in
    *"The start-up diskette has been made."*) echo "ok: shows AFTR001.rtf" ;;
    *) check "shows AFTR001.rtf" "...The start-up diskette has been made...." "$(ui text "$APP_TITLE" 9000 | head -c 200)" ;;
    esac
    check "the diskette is written before the closing screen" yes "$(disk_holds_image)"
    shot closing-screen
    ui click "$APP_TITLE" 2
    expect_exit "Reboot Later: exit code 0" 0
    check "Reboot Later: every document kept" "AFTR001.rtf INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF MYFILE.BIN " "$(files_here)"
    check "Reboot Later: nothing deleted, no restart asked" "" "$(traced_calls)"

    echo "# 9x family: closing the closing screen is Reboot Later"
    prepare
    create_run
    check "closing screen shown" closing "$(closing_or_end)"
    ui close "$APP_TITLE"
    expect_exit "close box: exit code 0" 0
    check "close box: every document kept" "AFTR001.rtf INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF MYFILE.BIN " "$(files_here)"
    check "close box: nothing deleted, no restart asked" "" "$(traced_calls)"

    echo "# 9x family: Reboot Now deletes the first four documents, then asks for a restart"
    server="$(prefix_server)"
    [ -n "$server" ] && echo "ok: wineserver of the prefix found ($server)" || check "wineserver of the prefix found" "a pid" ""
    prepare
    create_run
    check "closing screen shown" closing "$(closing_or_end)"
    ui click "$APP_TITLE" 1
    expect_exit "Reboot Now: exit code 0" 0
    check "Reboot Now: only INST004.rtf and AFTR001.rtf are left, with the image" "AFTR001.rtf INST004.rtf MYFILE.BIN " "$(files_here)"
    check "Reboot Now: deletions, then one restart request (EWX_REBOOT, 4)" \
        "$(printf '%s\n' 'DeleteFileA "LA001.RTF"' 'DeleteFileA "INST001.rtf"' 'DeleteFileA "INST002.rtf"' 'DeleteFileA "INST003.rtf"' 'ExitWindowsEx(00000002,00000004)')" \
        "$(traced_calls)"
    check "Reboot Now: the diskette still holds the image" yes "$(disk_holds_image)"
    check "the wineserver outlived the end of the session" "$server" "$(prefix_server)"
    wine cmd /c exit >/dev/null 2>&1 && echo "ok: wine still runs programs" || check "wine still runs programs" 0 "$?"

    echo "# 9x family: without AFTR001.rtf, \"Invalid filename.\" and no restart"
    prepare
    rm -f AFTR001.rtf
    create_run
    expect_ui "error box after the transfer" wait Error
    check "the diskette was written" yes "$(disk_holds_image)"
    expect_ui "\"Invalid filename.\"" msgbox Error 'Invalid filename.' ok
    expect_exit "exit code 0" 0
    check "the other documents kept" "INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF MYFILE.BIN " "$(files_here)"
    check "nothing deleted, no restart asked" "" "$(traced_calls)"

    echo "# 9x family: a failed write shows no closing screen"
    prepare
    head -c 1000 MYFILE.BIN > short.bin && mv short.bin MYFILE.BIN
    create_run
    expect_ui "corrupt image reported" msgbox "File Read Error" 'Disk Image is corrupt...unable to create disk.' ok
    check "no closing screen, the program ends" ended "$(closing_or_end)"
    [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null && { ui close "$APP_TITLE" >/dev/null 2>&1 || true; }
    expect_exit "exit code 0" 0
    check "every document kept" "AFTR001.rtf INST001.rtf INST002.rtf INST003.rtf INST004.rtf LA001.RTF MYFILE.BIN " "$(files_here)"
    check "nothing deleted, no restart asked" "" "$(traced_calls)"
fi

finish
