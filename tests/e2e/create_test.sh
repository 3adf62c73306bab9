# Create runs on both families: the diskette must end up holding exactly the
# image file's first 1,474,560 bytes, and an image that cannot be read whole
# must leave the diskette as it was.
. "$(dirname "$0")/lib.sh"

CORRUPT_TEXT='Disk Image is corrupt...unable to create disk.'
CANNOT_OPEN_TEXT='Could not open file.'

# disk_holds <what> <image file>: the diskette is the image's first bytes.
disk_holds() {
    check "$1: diskette size unchanged" "$IMAGE_SIZE" "$(stat -c %s "$STARTDISK_DISK")"
    check "$1: diskette holds the image's first $IMAGE_SIZE bytes" "" \
        "$(head -c "$IMAGE_SIZE" "$2" | cmp - "$STARTDISK_DISK" 2>&1 || true)"
}

disk_untouched() {
    check "$1: diskette untouched" "" "$(cmp "$WORK/disk.before" "$STARTDISK_DISK" 2>&1 || true)"
}

# Starts a Create run and takes it through the screens and the confirmation.
create_run() {
    start_app "$@"
    step "documents accepted" accept_document_screens
    step "confirmation answered with OK" confirm_ok
}

# The same, with the command line typed into a batch file: Wine would quote
# or escape arguments given to it, cmd passes the line on as it stands.
create_run_typed() {
    printf '@%s %s\r\n' "$(winepath -w "$EXE")" "$1" > "$WORK/run.bat"
    start_traced cmd /c run.bat
    step "documents accepted" accept_document_screens
    step "confirmation answered with OK" confirm_ok
}

# A finished write on the 9x family ends with the closing screen; Reboot
# Later there deletes nothing and restarts nothing.
end_successful_run() {
    local what=$1 family=$2
    if [ "$family" = 9x ]; then
        if wait_text "$APP_TITLE" 2 "Reboot &Later"; then
            echo "ok: $what: closing screen"
            check "$what: closing screen's other button" "Reboot &Now" "$(ui text "$APP_TITLE" 1)"
            ui click "$APP_TITLE" 2 >/dev/null
        else
            echo "FAIL: $what: no closing screen"; failures=$((failures + 1))
        fi
    else
        expect_no_closing_screen "$what"
    fi
    expect_exit "$what: exit code 0" 0
    check "$what: documents kept" "$DOCUMENTS" "$(ls "$WORK"/*.rtf "$WORK"/*.RTF)"
}

# Watches the run to its end; a closing screen that shows up is a fault,
# and is answered so that the run can end.
expect_no_closing_screen() {
    local _
    for _ in $(seq 100); do
        kill -0 "$APP_PID" 2>/dev/null || { echo "ok: $1: no closing screen"; return 0; }
        if [ "$(UIDRIVER_TIMEOUT_MS=0 ui text "$APP_TITLE" 2 2>/dev/null || true)" == "Reboot &Later" ]; then
            echo "FAIL: $1: closing screen shown"; failures=$((failures + 1))
            ui click "$APP_TITLE" 2 >/dev/null || true
            return 0
        fi
        sleep 0.1
    done
    echo "ok: $1: no closing screen"
}

# Answers a message box after checking its buttons and icon:
# expect_box <what> <caption> <text> <icon>.
# A missing box costs one wait, not one per check.
expect_box() {
    local buttons
    if ! buttons="$(ui msgbox-buttons "$2" 2>&1)"; then
        echo "FAIL: $1: no \"$2\" box"; failures=$((failures + 1)); return 0
    fi
    check "$1: only an OK button" "1" "$buttons"
    check "$1: icon" "$4" "$(ui msgbox-icon "$2" 2>&1 || true)"
    expect_ui "$1: \"$3\"" msgbox "$2" "$3" ok
}

# Ends a run whose image could not be used: nothing written, no closing
# screen, and the progress window closes by itself.
end_failed_run() {
    local what=$1
    expect_ui "$what: progress window closed" wait-gone "$APP_TITLE"
    expect_no_closing_screen "$what"
    expect_exit "$what: exit code 0" 0
    disk_untouched "$what"
}

install_documents
DOCUMENTS="$(ls "$WORK"/*.rtf "$WORK"/*.RTF)"

for family in $(families nt 9x); do
    use_family "$family"

    echo "# $family: the sample image, with DLLs planted beside the program; patterned images of the exact size and longer"
    noisy_disk
    sample_image MYFILE.BIN
    plant_dlls
    create_run
    end_successful_run "$family sample" "$family"
    disk_holds "$family sample" MYFILE.BIN
    check "$family sample: no planted DLL loaded" "" "$(planted_marks)"
    unplant_dlls

    # Images of the exact size, one byte longer, and 2 MB: only the first
    # 1,474,560 bytes count.
    for size in "$IMAGE_SIZE" $((IMAGE_SIZE + 1)) 2097152; do
        noisy_disk
        head -c "$size" /dev/urandom > MYFILE.BIN
        create_run
        end_successful_run "$family $size bytes" "$family"
        disk_holds "$family $size bytes" MYFILE.BIN
    done

    echo "# $family: -v reads every track back; the diskette ends up the same"
    noisy_disk
    patterned_image MYFILE.BIN
    create_run -v
    end_successful_run "$family -v" "$family"
    disk_holds "$family -v" MYFILE.BIN

    if [ "$family" = 9x ]; then
        echo "# 9x: -v over a drive that keeps nothing, ended from outside at the prompt, or put right there; -v with no drive, whose lock Wine refuses"
        noisy_disk
        map_disk /dev/zero
        create_run -v
        step "9x -v ended at the prompt: prompt up" quiet_ui msgbox-buttons "Floppy Disk Error"
        expect_ui "9x -v ended at the prompt: End Task" end-task "$APP_TITLE"
        expect_exit "9x -v ended at the prompt: the run ends by itself" 0
        check "9x -v ended at the prompt: drive A: locked, then unlocked" "084a 086a" \
            "$(grep -av returning debug.log | grep -ao 'AX=440d BX=0001 CX=08[46]a' | cut -d= -f4 | paste -sd' ')"
        create_run -v
        expect_ui "9x -v put right: prompt" msgbox "Floppy Disk Error" "$FAILED_TRACK_TEXT" none
        check "9x -v put right: track 0 named" 'Track 0 did not read back as written\r\nError writing to floppy\r\n' \
            "$(debug_lines | tr -d '\n')"
        map_disk "$STARTDISK_DISK"
        expect_ui "9x -v put right: OK" msgbox "Floppy Disk Error" "$FAILED_TRACK_TEXT" ok
        end_successful_run "9x -v put right" 9x
        disk_holds "9x -v put right" MYFILE.BIN
        noisy_disk
        remove_drive
        create_run -v
        expect_ui "9x -v, no drive: prompt, Cancel" msgbox "Floppy Disk Error" "$FAILED_TRACK_TEXT" cancel
        end_failed_run "9x -v, no drive"
        restore_drive
        # A server started without the drive treats it otherwise even once it
        # is back (a handle opened on an empty drive then reaches a diskette
        # put in later), so the runs after this one get a fresh server.
        restart_wineserver
    fi

    echo "# $family: an image one byte short, or empty, is corrupt"
    for size in $((IMAGE_SIZE - 1)) 0; do
        noisy_disk
        head -c "$size" /dev/urandom > MYFILE.BIN
        create_run
        expect_box "$family $size bytes" "File Read Error" "$CORRUPT_TEXT" error
        end_failed_run "$family $size bytes"
    done

    echo "# $family: a missing image file, and -f with no name after it"
    patterned_image MYFILE.BIN
    noisy_disk
    create_run -f
    expect_box "$family empty name" "Error" "$CANNOT_OPEN_TEXT" none
    end_failed_run "$family empty name"

    noisy_disk
    rm -f MYFILE.BIN
    create_run
    expect_box "$family missing image" "Error" "$CANNOT_OPEN_TEXT" none
    end_failed_run "$family missing image"

    echo "# $family: -f with a relative path, an absolute one, and one with blanks"
    # A different image as MYFILE.BIN shows that the named one was used.
    patterned_image MYFILE.BIN
    mkdir -p sub abs "my dir"
    patterned_image sub/img.bin
    patterned_image abs/img.bin
    patterned_image "my dir/img.bin"

    noisy_disk
    create_run -f 'sub\img.bin'
    end_successful_run "$family -f relative" "$family"
    disk_holds "$family -f relative" sub/img.bin

    noisy_disk
    create_run -f "$(winepath -w "$WORK/abs/img.bin")"
    end_successful_run "$family -f absolute" "$family"
    disk_holds "$family -f absolute" abs/img.bin

    # The name runs to the end of the command line, blanks and all.
    noisy_disk
    create_run_typed '/f my dir\img.bin'
    end_successful_run "$family /f with blanks" "$family"
    disk_holds "$family /f with blanks" "my dir/img.bin"

    echo "# $family: a -f path in quotation marks, as typed at a command prompt, is the path between them; with more after them, no file"
    noisy_disk
    create_run_typed '-f "my dir\img.bin"'
    end_successful_run "$family -f quoted" "$family"
    disk_holds "$family -f quoted" "my dir/img.bin"
    noisy_disk
    create_run_typed '-f "my dir\img.bin" -r'
    expect_box "$family -f quoted, then -r" "Error" "$CANNOT_OPEN_TEXT" none
    end_failed_run "$family -f quoted, then -r"
    if [ "$family" = nt ]; then
        # Both the name's first 259 and its first 260 characters name images.
        dots="$(printf '.\\%.0s' $(seq 127))"
        patterned_image x.bin && patterned_image x.binZ
        noisy_disk
        create_run_typed "-f \"${dots}x.binZ\""
        expect_box "nt quoted name of 260 characters" "Error" "$CANNOT_OPEN_TEXT" none
        end_failed_run "nt quoted name of 260 characters"
        rm x.bin x.binZ
    fi

    echo "# $family: a full path as the whole command line, as Windows passes a dropped image: written, nothing in it an option"
    cp MYFILE.BIN image.before
    patterned_image "my dir/win98-rescue -f.img"
    noisy_disk
    create_run "$(winepath -w "$WORK/my dir/win98-rescue -f.img")"
    end_successful_run "$family dropped image" "$family"
    disk_holds "$family dropped image" "my dir/win98-rescue -f.img"
    check "$family dropped image: MYFILE.BIN as it was" same "$(same_bytes MYFILE.BIN image.before)"
    if [ "$family" = nt ]; then
        # A shortcut that carries an option passes a dropped file after it.
        # The platform rules check that the write was a verified one.
        patterned_image "my dir/win98-rescue.img"
        noisy_disk
        create_run -v "$(winepath -w "$WORK/my dir/win98-rescue.img")"
        end_successful_run "nt -v, then a dropped image" nt
        disk_holds "nt -v, then a dropped image" "my dir/win98-rescue.img"
        check "nt -v, then a dropped image: MYFILE.BIN as it was" same "$(same_bytes MYFILE.BIN image.before)"
    fi

    echo "# $family: an image file another program holds open"
    # cmd keeps the file it appends output to open for writing while the
    # command runs; that command writes nothing.
    printf '@%s sleep 4000 >> MYFILE.BIN\r\n' "$(winepath -w "$UIDRIVER")" > "$WORK/hold.bat"
    cp MYFILE.BIN "$WORK/image.before"
    noisy_disk
    start_app
    step "documents accepted" accept_document_screens
    wine cmd /c hold.bat >/dev/null 2>&1 &
    holder=$!
    # The file is open once the command it was redirected to runs.
    for _ in $(seq 100); do
        pgrep -f 'uidriver\.exe sleep 4000' >/dev/null && break
        sleep 0.05
    done
    step "confirmation answered with OK" confirm_ok
    expect_box "$family held open" "Error" "$CANNOT_OPEN_TEXT" none
    end_failed_run "$family held open"
    wait "$holder" || true
    check "$family held open: image untouched" "" "$(cmp "$WORK/image.before" MYFILE.BIN 2>&1 || true)"

    rm -rf sub abs "my dir" img.bin
done

finish
