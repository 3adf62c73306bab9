# A whole diskette through the real device layer and transfer loop, on both
# families: every byte lands where it belongs, and every track is asked for
# once, in order, while the bar follows.
. "$(dirname "$0")/lib.sh"

patterned_image image.bin

for family in $(families nt 9x); do
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
    for family in $(families nt 9x); do
        use_family "$family"
        dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none
        start_probe verify image.bin
        expect_exit "$family loop device: the verified write succeeds" 0
        blockdev --flushbufs "$loop"
        check "$family loop device: the device holds the image" same "$(same_bytes image.bin "$loop")"
        check "$family loop device: so does its backing file" same "$(same_bytes image.bin loop.img)"
    done

    map_disk "$STARTDISK_DISK"
else
    echo "skip: loop device: losetup cannot attach one here (needs root and loop devices)"
fi

finish
