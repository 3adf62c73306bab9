# A whole diskette through the real device layer and transfer loop, on both
# families: every byte lands where it belongs, and every track is asked for
# once, in order, while the bar follows.
. "$(dirname "$0")/lib.sh"

ALL_TRACKS="$(seq -s' ' 0 18 2862)"
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
done

finish
