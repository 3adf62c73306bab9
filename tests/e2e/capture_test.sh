# Capture runs (-r) on both families: the image file must end up holding
# exactly the diskette, whatever was there before, and a capture that fails
# must leave an existing image file as it was and no temporary file behind.
. "$(dirname "$0")/lib.sh"

CANNOT_OPEN_TEXT='Could not open file.'
DONE_TEXT='Diskette image has been created.'

# Starts a capture and answers the confirmation; no document screen may
# come first, although the documents are there.
capture_run() {
    start_app "$@"
    expect_ui "confirmation shown" wait "$APP_TITLE"
    check "no document screen" "" \
        "$(UIDRIVER_TIMEOUT_MS=0 ui exists "$APP_TITLE Screen 1 of 5" 2>/dev/null || true)"
    step "confirmation answered with OK" confirm_ok
}

# image_is_disk <what> <file>: the file is the diskette, byte for byte, and
# the diskette was only read.
image_is_disk() {
    check "$1: image size" "$IMAGE_SIZE" "$(stat -c %s "$2" 2>&1 || true)"
    check "$1: image equals the diskette" "" "$(cmp "$2" "$STARTDISK_DISK" 2>&1 || true)"
    check "$1: diskette only read" "" "$(cmp "$WORK/disk.before" "$STARTDISK_DISK" 2>&1 || true)"
}

# no_temporary_files <what> <folder...>: the save leaves no "sdk*.tmp" behind.
no_temporary_files() {
    local what=$1 folder found=""; shift
    for folder in "$@"; do found+=$(find "$WORK/$folder" -maxdepth 1 -iname 'sdk*.tmp' -print -delete); done
    check "$what: no temporary file" "" "$found"
}

# Whether the save's first call on the held image has been refused.
save_refused() {
    grep -qE 'Ret  [A-Za-z0-9]+\.(MoveFileExA|MoveFileA|DeleteFileA|CreateFileA)\(\) retval=(00000000|ffffffff)' \
        "$WORK/debug.log"
}

expect_done_box() {
    local buttons
    if ! buttons="$(ui msgbox-buttons "Utility Complete" 2>&1)"; then
        echo "FAIL: $1: no completion box"; failures=$((failures + 1)); return 0
    fi
    check "$1: completion buttons" "1" "$buttons"
    check "$1: completion icon" information "$(ui msgbox-icon "Utility Complete" 2>&1 || true)"
    expect_ui "$1: \"$DONE_TEXT\"" msgbox "Utility Complete" "$DONE_TEXT" ok
}

# A capture whose image could not be saved: the box, then no completion.
expect_cannot_save() {
    local buttons
    if buttons="$(ui msgbox-buttons "Error" 2>&1)"; then
        check "$1: error box buttons" "1" "$buttons"
        check "$1: error box icon" none "$(ui msgbox-icon "Error" 2>&1 || true)"
        expect_ui "$1: \"$CANNOT_OPEN_TEXT\"" msgbox "Error" "$CANNOT_OPEN_TEXT" ok
    else
        echo "FAIL: $1: no \"Error\" box"; failures=$((failures + 1))
    fi
    expect_no_window "Utility Complete" 1000
    expect_exit "$1: exit code 0" 0
}

# The full-folder cases mount small file systems inside the work folder.
flush_loop=""
trap 'set +e; umount "$WORK/lost" "$WORK/full" 2>/dev/null; [ -z "$flush_loop" ] || losetup -d "$flush_loop"; cleanup' EXIT

install_documents

for family in $(families nt 9x); do
    use_family "$family"

    echo "# $family: capture into a new file, over a longer one and over a shorter one"
    noisy_disk
    rm -f MYFILE.BIN
    capture_run -r
    expect_done_box "$family new file"
    expect_exit "$family new file: exit code 0" 0
    image_is_disk "$family new file" MYFILE.BIN

    # 2 MB of other bytes: the tail past the diskette's size must not survive.
    noisy_disk
    head -c 2097152 /dev/urandom > MYFILE.BIN
    capture_run -r
    expect_done_box "$family over a longer file"
    expect_exit "$family over a longer file: exit code 0" 0
    image_is_disk "$family over a longer file" MYFILE.BIN

    # In a subfolder, so the temporary file goes beside the target there.
    noisy_disk
    mkdir -p sub
    head -c 1000 /dev/urandom > sub/short.bin
    capture_run -r -f 'sub\short.bin'
    expect_done_box "$family over a shorter file"
    expect_exit "$family over a shorter file: exit code 0" 0
    image_is_disk "$family over a shorter file" sub/short.bin

    # Forward slashes, and a blank, which Wine passes in quotation marks.
    noisy_disk
    before="$(find "$WORK" | sort)"
    capture_run -r -f 'sub/floppy disk.img'
    expect_done_box "$family sub/floppy disk.img"
    expect_exit "$family sub/floppy disk.img: exit code 0" 0
    image_is_disk "$family sub/floppy disk.img" 'sub/floppy disk.img'
    check "$family sub/floppy disk.img: no other file" "$before" "$(find "$WORK" ! -name 'floppy disk.img' | sort)"
    rm -f 'sub/floppy disk.img'
    no_temporary_files "$family after success" . sub

    # Another program (a virus scanner, say) holds the image, sharing it with
    # nobody, as the capture comes to replace it, and the user closes the
    # progress window meanwhile. The holder lets go once the save has met it
    # and the window is gone, well inside the save's second of retries: the
    # replace waits, the run waits for the save, and the new image ends up in
    # place with nothing left.
    noisy_disk
    patterned_image MYFILE.BIN
    start_app -r
    expect_ui "$family held image: confirmation shown" wait "$APP_TITLE"
    wine "$UIDRIVER" hold MYFILE.BIN 60000 >"$WORK/held" 2>&1 &
    holder=$!
    poll test -s "$WORK/held" || true
    step "$family held image: confirmation answered with OK" confirm_ok
    step "$family held image: the save met the holder" poll save_refused
    expect_ui "$family held image: progress window closed" close "$APP_TITLE" ";" wait-gone "$APP_TITLE"
    { kill "$holder"; wait "$holder"; } 2>/dev/null || true
    expect_done_box "$family held image"
    expect_exit "$family held image: exit code 0" 0
    image_is_disk "$family held image" MYFILE.BIN
    no_temporary_files "$family held image" .

    echo "# $family: a folder that does not exist, or no name: the whole diskette is read, then the save fails"
    for name in 'nodir\x.bin' ''; do
        what="$family ${name:-no name}"
        noisy_disk
        before="$(find "$WORK" | sort)"
        capture_run -r -f ${name:+"$name"}
        if ui msgbox-buttons "Error" >/dev/null 2>&1; then
            # The box comes before the progress window closes; the bar
            # stands at the last track (159, or 160 counting finished ones).
            bar="$(ui progress "$APP_TITLE" 1001 2>&1 || true)"
            check "$what: every track read first" yes "$([[ "$bar" =~ ^0\ 160\ (159|160)$ ]] && echo yes || echo "$bar")"
        fi
        expect_cannot_save "$what"
        check "$what: nothing created" "$before" "$(find "$WORK" | sort)"
    done

    echo "# $family: an existing image that cannot be replaced is kept"
    noisy_disk
    patterned_image MYFILE.BIN
    cp MYFILE.BIN "$WORK/image.before"
    protect MYFILE.BIN 2>/dev/null || true
    if [[ "$(lsattr MYFILE.BIN 2>/dev/null | cut -d' ' -f1)" == *i* ]]; then
        capture_run -r
        expect_cannot_save "$family protected image"
        unprotect MYFILE.BIN
        check "$family protected image: image untouched" "" "$(cmp "$WORK/image.before" MYFILE.BIN 2>&1 || true)"
        no_temporary_files "$family protected image" .
    else
        echo "skip: $family protected image (chattr needs root)"
    fi

    # A file Windows marks read-only (no write permission under Wine) is
    # refused as an open for writing would refuse it, even where renaming
    # it aside would succeed.
    noisy_disk
    chmod 444 MYFILE.BIN
    capture_run -r
    expect_cannot_save "$family read-only image"
    chmod 644 MYFILE.BIN
    check "$family read-only image: image untouched" "" "$(cmp "$WORK/image.before" MYFILE.BIN 2>&1 || true)"
    no_temporary_files "$family read-only image" .

    # A folder by the target's name cannot be replaced by the image either.
    noisy_disk
    mkdir -p taken
    capture_run -r -f taken
    expect_cannot_save "$family folder as target"
    check "$family folder as target: still a folder" "" "$(test -d taken || echo gone)"
    no_temporary_files "$family folder as target" . taken

    # A folder too small for the image: the temporary file cannot be written
    # whole, and the small image already there stays.
    if mkdir -p full && mount -t tmpfs -o size=1m tmpfs full 2>/dev/null; then
        noisy_disk
        head -c 1000 /dev/urandom > full/img.bin
        cp full/img.bin "$WORK/image.before"
        capture_run -r -f 'full\img.bin'
        expect_cannot_save "$family full folder"
        check "$family full folder: image untouched" "" "$(cmp "$WORK/image.before" full/img.bin 2>&1 || true)"
        no_temporary_files "$family full folder" full
        # A disk that takes the write and fails it only at the flush: ext2 on
        # a loop device whose file lies in this tmpfs, which is then filled.
        if truncate -s 4m full/fs.img && mkfs.ext2 -q -F full/fs.img && mkdir -p lost &&
            flush_loop="$(losetup -f --show full/fs.img)" && mount "$flush_loop" lost; then
            head -c 1000 /dev/urandom > lost/img.bin && cp lost/img.bin "$WORK/image.before" && sync -f lost/img.bin
            head -c 1m /dev/zero > full/filler 2>/dev/null || true
            noisy_disk
            capture_run -r -f 'lost\img.bin'
            expect_cannot_save "$family flush fails"
            check "$family flush fails: image untouched" "" "$(cmp "$WORK/image.before" lost/img.bin 2>&1 || true)"
            no_temporary_files "$family flush fails" lost
            umount lost && losetup -d "$flush_loop" && flush_loop=""
        else
            echo "skip: $family flush fails (no ext2 on a loop device here)"
        fi
        umount full
    else
        echo "skip: $family full folder (no tmpfs mount here)"
    fi

    rm -rf sub taken full lost
done

if in_family 9x; then
    echo "# 9x: a scanner holds the new image from the moment it is written: the old one is never moved aside"
    # The save's two temporary names (the new image, and the old one's place
    # aside) take the first free numbers after the clock's. With all but two
    # numbers taken, 32,768 apart, they are those two, and finding the second
    # takes a scan of some 32,000 names: time for the holder to take the first.
    use_family 9x
    noisy_disk
    mkdir crowd
    perl -e 'for (1 .. 65535) { next if $_ == 0x1000 || $_ == 0x9000; open(my $f, ">", sprintf("crowd/sdk%x.tmp", $_)) }'
    patterned_image crowd/img.bin
    cp crowd/img.bin "$WORK/image.before"
    start_app -r -f 'crowd\img.bin'
    expect_ui "9x new image held: confirmation shown" wait "$APP_TITLE"
    UIDRIVER_TIMEOUT_MS=60000 wine "$UIDRIVER" hold-written 'crowd\sdk1000.tmp|crowd\sdk9000.tmp' 60000 >"$WORK/held" 2>&1 &
    holder=$!
    step "9x new image held: confirmation answered with OK" confirm_ok
    expect_cannot_save "9x new image held"
    { kill "$holder"; wait "$holder"; } 2>/dev/null || true
    check "9x new image held: the holder had it" held "$(cat "$WORK/held")"
    check "9x new image held: image untouched" "" "$(cmp "$WORK/image.before" crowd/img.bin 2>&1 || true)"
    check "9x new image held: the old image never moved" 0 "$(grep -ac 'MoveFileA([0-9a-f]* "crowd\\\\img.bin"' debug.log)"
    rm -rf crowd

    echo "# 9x: with the old image aside, a file whose name differs only in case answers to its name: both images kept, both named"
    # Names match whatever their case; MoveFileA replaces nothing, so neither
    # the new image nor the old one can take the name back.
    noisy_disk
    patterned_image MYFILE.BIN
    cp MYFILE.BIN "$WORK/image.before"
    echo other > myfile.bin
    capture_run -r
    expect_cannot_save "9x name taken"
    # kept_file <kind>: the file the debugger output names, as a Linux path.
    kept_file() { winepath -u -- "$(debug_lines | sed -n "s/^$1 kept as //p" | sed -e 's/\\r\\n$//' -e 's/\\\\/\\/g')"; }
    check "9x name taken: the new image named, holding the diskette" "" "$(cmp "$(kept_file 'New image')" "$STARTDISK_DISK" 2>&1)"
    check "9x name taken: the old image named, as it was" "" "$(cmp "$(kept_file 'Previous image')" image.before 2>&1)"
    rm -f sdk*.tmp myfile.bin
fi

if in_family nt; then
    echo "# nt: a capture abandoned at a failed track keeps the existing image"
    # A dangling raw device opens but fails every read. The 9x path fails only
    # on a missing drive, which the running wineserver would not notice.
    use_family nt
    noisy_disk
    patterned_image MYFILE.BIN
    cp MYFILE.BIN "$WORK/image.before"
    map_disk "$WORK/no-such-diskette"
    capture_run -r
    expect_ui "failed track prompt, answered Cancel" msgbox "Error writing to floppy" "$FAILED_TRACK_TEXT" cancel
    expect_no_window "Utility Complete" 1000
    expect_no_window "Error" 300
    expect_exit "abandoned capture: exit code 0" 0
    map_disk "$STARTDISK_DISK"
    check "abandoned capture: image untouched" "" "$(cmp "$WORK/image.before" MYFILE.BIN 2>&1 || true)"
    no_temporary_files "abandoned capture" .

    echo "# nt: a failed track whose prompt cannot be shown is no Cancel: the run fails with an exit code"
    map_disk "$WORK/no-such-diskette"
    wine "$UIDRIVER" refuse-prompts "$(winepath -w "$STARTDISK_PROGRAMS/tests/prompt_refuser.dll")" 60000 >"$WORK/refuser.out" 2>&1 &
    refuser=$!
    step "no prompt can be made" poll grep -qs hooked "$WORK/refuser.out"
    capture_run -r
    # Wine sets no error code when a hook refuses a window: -3.
    expect_exit "no prompt: the run fails, with -3" 253
    check "no prompt: image untouched" "" "$(cmp "$WORK/image.before" MYFILE.BIN 2>&1 || true)"
    # Wine keeps the desktop hook of a process ended by a signal until the desktop
    # goes idle; only a new wineserver frees the programs after it.
    { kill "$refuser"; wait "$refuser"; } 2>/dev/null || true
    map_disk "$STARTDISK_DISK"  # the new wineserver takes drive A: as it finds it
    restart_wineserver

    echo "# nt: after the refuser is ended with kill, a new run's failed track prompts again"
    map_disk "$WORK/no-such-diskette"
    capture_run -r
    expect_ui "refuser ended: failed track prompt, answered Cancel" msgbox "Error writing to floppy" "$FAILED_TRACK_TEXT" cancel
    expect_exit "refuser ended: exit code 0" 0
    map_disk "$STARTDISK_DISK"
fi

finish
