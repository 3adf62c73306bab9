# A whole diskette through the real device layer and transfer loop, on both
# families: every byte lands where it belongs, and every track is asked for
# once, in order, while the bar follows.
. "$(dirname "$0")/lib.sh"

patterned_image image.bin

for family in nt 9x; do
    echo "# $family: a patterned image written to a blank diskette, then read back"
    use_family "$family"
    blank_disk
    start_probe write image.bin
    expect_exit "$family write: succeeds" 0
    check "$family write: family" "$family" "$(probe_value family)"
    check "$family write: result" 1 "$(probe_value result)"
    check "$family write: 160 requests" 160 "$(probe_value requests)"
    check "$family write: tracks in order, 18 sectors apart" "$ALL_TRACKS" "$(probe_value sectors)"
    check "$family write: bar at the last track" 159 "$(probe_value lastpos)"
    check "$family write: the diskette holds the image byte for byte" same "$(same_bytes image.bin "$STARTDISK_DISK")"

    rm -f back.bin
    start_probe read back.bin
    expect_exit "$family read: succeeds" 0
    check "$family read: family" "$family" "$(probe_value family)"
    check "$family read: result" 1 "$(probe_value result)"
    check "$family read: 160 requests" 160 "$(probe_value requests)"
    check "$family read: tracks in order, 18 sectors apart" "$ALL_TRACKS" "$(probe_value sectors)"
    check "$family read: bar at the last track" 159 "$(probe_value lastpos)"
    check "$family read: the image read back is the one written" same "$(same_bytes image.bin back.bin)"
    check "$family read: the diskette is left as it was" same "$(same_bytes image.bin "$STARTDISK_DISK")"

    echo "# $family: a verified write reads each track back right after writing it"
    blank_disk
    start_probe verify image.bin
    expect_exit "$family verify: succeeds" 0
    check "$family verify: 320 requests, each track twice in a row" "320 $WRITTEN_AND_READ" \
        "$(probe_value requests) $(probe_value sectors)"
    check "$family verify: bar at the last track" 159 "$(probe_value lastpos)"
    check "$family verify: the diskette holds the image" same "$(same_bytes image.bin "$STARTDISK_DISK")"
done

echo "# a block device as drive A: (a loop device, as a USB floppy drive would be), verified writes"
truncate -s "$IMAGE_SIZE" loop.img
if loop="$(losetup -f --show "$WORK/loop.img" 2>/dev/null)"; then
    trap 'losetup -d "$loop"; cleanup' EXIT
    map_disk "$loop"
    for family in nt 9x; do
        use_family "$family"
        dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none
        start_probe verify image.bin
        expect_exit "$family loop device: the verified write succeeds" 0
        blockdev --flushbufs "$loop"
        check "$family loop device: the device holds the image" same "$(same_bytes image.bin "$loop")"
        check "$family loop device: so does its backing file" same "$(same_bytes image.bin loop.img)"
    done

    echo "# the Linux route's jobs on that drive by a by-id-style name, which fails them: each one prompts"
    route_cleanup() {
        set +e
        [ -z "$APP_PID" ] || { kill "$APP_PID"; wait "$APP_PID"; } 2>/dev/null
        APP_PID="" && losetup -d "$loop" ${protected:-} ${lost:-}
        umount -l "$WORK/medium" 2>/dev/null
        ln -sfn "$STARTDISK_WINE_ROOT/drive-a" "$WINEPREFIX/dosdevices/a:"
        cleanup
    }
    trap route_cleanup EXIT
    install_documents && cp image.bin MYFILE.BIN && cp "$EXE" startdisk.exe
    drive="$WORK/usb-Test_Floppy" && ln -s "$loop" "$drive"
    # The families above left startdisk.exe on the 9x setting, as older routes did.
    prepare_route() { "$STARTDISK_SOURCE/scripts/linux-floppy.sh" "$drive" "$WORK" >/dev/null; }
    step "route: prepared" prepare_route
    FAMILY=nt
    through_screens() { accept_document_screens && confirm_ok; }
    prompts_then_ends() {
        expect_ui "route, $1: the retry prompt, Cancel" msgbox "$2" "$FAILED_TRACK_TEXT" cancel
        expect_exit "route, $1: ends" 0
    }
    rm "$drive"
    start_traced startdisk.exe -r && step "route, capture, drive unplugged: confirmed" confirm_ok
    prompts_then_ends "capture, drive unplugged" "Error writing to floppy"
    check "route, capture, drive unplugged: the image is kept" same "$(same_bytes image.bin MYFILE.BIN)"
    protected="$(losetup -r -f --show loop.img)" && ln -s "$protected" "$drive"
    start_traced startdisk.exe && step "route, write, write-protected: up to the transfer" through_screens
    prompts_then_ends "write, write-protected" "Error writing to floppy"
    # A drive that keeps nothing: writes are taken into Linux's cache of the
    # device and lost on their way to a file system that has no room.
    if mkdir medium && mount -t tmpfs -o size=4k tmpfs medium && head -c 4096 /dev/zero >medium/full &&
        truncate -s "$IMAGE_SIZE" medium/disk && lost="$(losetup -f --show medium/disk)"; then
        ln -sfn "$lost" "$drive"
        "$STARTDISK_SOURCE/scripts/linux-floppy.sh" verify 2>"$WORK/debug.log" &
        APP_PID=$! && step "route, verified write, keeps nothing: up to the transfer" through_screens
        prompts_then_ends "verified write, keeps nothing" "Floppy Disk Error"
    else
        echo "skip: route, verified write, keeps nothing: no tmpfs mount or loop device here"
    fi
    map_disk "$STARTDISK_DISK"
else
    echo "skip: loop device: losetup cannot attach one here (needs root and loop devices)"
fi

finish
