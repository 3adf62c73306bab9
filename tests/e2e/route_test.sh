# The Linux route, scripts/linux-floppy.sh: each job on a loop device as a
# USB floppy drive would be, then the script's own read of the diskette past
# Linux's cache; its refusals, names, interrupts and a user's first run.
. "$(dirname "$0")/lib.sh"

patterned_image image.bin
truncate -s "$IMAGE_SIZE" loop.img
if loop="$(losetup -f --show "$WORK/loop.img" 2>/dev/null)"; then
    echo "# the Linux route's jobs on that drive by a by-id-style name"
    map_disk "$loop"
    route_cleanup() {
        set +e
        [ -z "$APP_PID" ] || { kill "$APP_PID"; wait "$APP_PID"; } 2>/dev/null
        [ -z "${holder:-}" ] || kill "$holder"
        [ ! -f "$WORK/reader.pid" ] || kill "$(cat "$WORK/reader.pid")" 2>/dev/null
        umount "$WORK/ext" 2>/dev/null; umount -l "$WORK/tmp" 2>/dev/null
        chattr -a MYFILE.BIN 2>/dev/null
        APP_PID="" && losetup -d "$loop" ${protected:-} ${lost:-}
        umount -l "$WORK/medium" 2>/dev/null
        ln -sfn "$STARTDISK_WINE_ROOT/drive-a" "$WINEPREFIX/dosdevices/a:"
        cleanup
    }
    trap route_cleanup EXIT
    # The tests run Wine as root on purpose, even under sudo; names beyond
    # ASCII need a UTF-8 locale.
    unset SUDO_USER && export LC_ALL=C.UTF-8
    # The route runs the x86-64 build only on the 64-bit way; elsewhere it
    # stands in for it, in the refusals that come before any program runs.
    x64=startdisk-x86-64-for-linux-floppy.exe
    install_documents && cp image.bin MYFILE.BIN && cp "$EXE" startdisk.exe && cp "$EXE" "$x64"
    drive="$WORK/usb-Test_Floppy" && ln -s "$loop" "$drive"
    # startdisk.exe on the 9x setting, as older routes left it.
    use_family 9x
    prepare_route() { "$STARTDISK_SOURCE/scripts/linux-floppy.sh" "$drive" "$WORK" >/dev/null; }
    step "route: prepared" prepare_route
    FAMILY=nt
    through_screens() { accept_document_screens && confirm_ok; }
    # A job through the script; what it said ends up in route.out.
    route() { "$STARTDISK_SOURCE/scripts/linux-floppy.sh" "$@" >route.out 2>&1 & APP_PID=$!; }
    said() { tail -n 1 route.out; }
    said_first() { grep -m 1 -e "$1" route.out; }
    # A job as a terminal starts it: a process group of its own, Ctrl+C not ignored.
    route_in_group() { setsid env --default-signal=INT "$STARTDISK_SOURCE/scripts/linux-floppy.sh" "$@" >route.out 2>&1 & APP_PID=$!; }
    created_then() { ui msgbox-buttons "Utility Complete" >/dev/null && "$@"; }
    # Another process holds the drive by its link, and with it Linux's cache.
    hold_drive() { sleep 600 <"$drive" & holder=$!; poll grep -qx sleep "/proc/$holder/comm"; }
    # A command of the same name that the script finds first: stand_in <name> <shell text>.
    stand_in() { mkdir -p "$WORK/$1.in" && printf '#!/bin/bash\n%s\n' "$2" >"$WORK/$1.in/$1" && chmod +x "$WORK/$1.in/$1"; }
    prompts_then_ends() {
        expect_ui "route, $1: the retry prompt, Cancel" msgbox "$2" "$FAILED_TRACK_TEXT" cancel
        expect_exit "route, $1: ends" "${3:-0}"
    }
    # A drive that keeps nothing: writes are taken into Linux's cache of the
    # device and lost on their way to a file system that has no room, after
    # the program has ended.
    keeps_nothing() {
        [ -n "${lost:-}" ] || { mkdir medium && mount -t tmpfs -o size=4k tmpfs medium && head -c 4096 /dev/zero >medium/full &&
            truncate -s "$IMAGE_SIZE" medium/disk && lost="$(losetup -f --show medium/disk)"; } && ln -sfn "$lost" "$drive"
    }
    patterned_image "othér image.bin" && dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none

    # The verified write on the 9x setting, which only a 32-bit program has.
    if in_family 9x; then
        route verify -f "othér image.bin" && step "route, verify -f: up to the transfer" through_screens
        step "route, verify -f: Reboot Later" eval 'wait_text "$APP_TITLE" 2 "Reboot &Later" && ui click "$APP_TITLE" 2 >/dev/null'
        expect_exit "route, verify -f, a good drive: ends 0" 0
        check "route, verify -f: says the diskette holds the image" "The diskette holds the image: 160 of 160 tracks." "$(said)"
        check "route, verify -f: the named image is written whole, not MYFILE.BIN" same "$(same_bytes "othér image.bin" loop.img)"
        if keeps_nothing; then
            route verify && step "route, verified write, keeps nothing: up to the transfer" through_screens
            prompts_then_ends "verified write, keeps nothing" "Floppy Disk Error" 2
        else
            echo "skip: route, keeps nothing: no tmpfs mount or loop device here"
        fi
        ln -sfn "$loop" "$drive"
    fi
    in_family nt || finish

    echo "# the documents: a folder that lacks one is not prepared, and a write there is refused"
    mkdir lacking && cp MYFILE.BIN startdisk.exe ./*.rtf ./*.RTF lacking/ && rm lacking/INST003.rtf
    route "$drive" lacking && expect_exit "route, prepared in a folder without INST003.rtf: refused" 1
    check "route, prepared without INST003.rtf: names it" "linux-floppy.sh: $WORK/lacking lacks INST003.rtf: name the folder that holds the six documents and the image (scripts/portable.sh makes one)" "$(said)"
    mv INST002.rtf INST002.away && route write && expect_exit "route, write without INST002.rtf: refused" 1
    check "route, write without INST002.rtf: names it" "linux-floppy.sh: $WORK lacks INST002.rtf, which the program shows before it writes: put them back (scripts/portable.sh makes a folder that holds all six)" "$(said)"
    mv INST002.away INST002.rtf

    echo "# the 64-bit way, this machine's or asked for: refused before Wine without the x86-64 build, or in a 32-bit prefix"
    forced=x86-64 why="STARTDISK_ARCH=x86-64 asks for the 64-bit way"
    [ "$STARTDISK_WINE_ARCH" != x86-64 ] || forced="" why="this machine cannot run 32-bit programs"
    mv "$x64" x64.away && STARTDISK_ARCH=$forced route capture && expect_exit "route, 64-bit way, no x86-64 build: refused" 1
    check "route, 64-bit way, no x86-64 build: says why, and what makes it" "linux-floppy.sh: there is no $x64 in $WORK: $why, so the route runs the program's x86-64 build, which scripts/portable.sh makes beside startdisk.exe" "$(said)"
    mv x64.away "$x64"
    # Only a machine that runs 32-bit programs can make a 32-bit prefix: this
    # one is faked by the mark Wine leaves in system.reg, with drive A: set up.
    mkdir -p p32/dosdevices && echo '#arch=win32' >p32/system.reg && ln -s "$drive" p32/dosdevices/a::
    STARTDISK_ARCH=$forced WINEPREFIX="$WORK/p32" route capture && expect_exit "route, 64-bit way, a 32-bit prefix: refused" 1
    check "route, 64-bit way, a 32-bit prefix: names it and the ways out, and leaves it as it was" \
        "linux-floppy.sh: $WORK/p32 is a 32-bit Wine prefix, and 64-bit Wine, which runs the program here since $why, cannot use it: name another prefix (WINEPREFIX=<new folder> $STARTDISK_SOURCE/scripts/linux-floppy.sh <device> [folder]), or remove that folder (rm -rf $WORK/p32) and run WINEPREFIX=$WORK/p32 $STARTDISK_SOURCE/scripts/linux-floppy.sh <device> [folder] again | p32 p32/dosdevices p32/dosdevices/a:: p32/system.reg #arch=win32" \
        "$(said) | $(find p32 | sort | paste -sd ' ') $(cat p32/system.reg)"

    # On the 64-bit way the verified write runs on the NT setting; where
    # 32-bit programs run, the 9x half has it, and this half writes plainly.
    job=write && [ "$STARTDISK_WINE_ARCH" != x86-64 ] || job=verify
    route $job -f "othér image.bin" && step "route, $job -f: up to the transfer" through_screens
    expect_exit "route, $job -f, a good drive: ends 0" 0
    check "route, $job -f: says the diskette holds the image" "The diskette holds the image: 160 of 160 tracks." "$(said)"
    check "route, $job -f: the named image is written whole, not MYFILE.BIN" same "$(same_bytes "othér image.bin" loop.img)"

    echo "# the check alone: equal, cut short, of a drive of another size, differing, ended while it reads"
    route check -f "othér image.bin" && expect_exit "route, check, equal: ends 0" 0
    check "route, check, equal: says so" "The diskette holds the image: 160 of 160 tracks." "$(said)"
    # The drive shrinks to 100 tracks once the script has looked at its size.
    stand_in sync "truncate -s $((100 * 9216)) $WORK/loop.img && losetup -c $loop"
    PATH="$WORK/sync.in:$PATH" route check -f "othér image.bin" && expect_exit "route, check cut short at track 100: ends 3" 3
    check "route, check cut short: says where" "The diskette could not be checked from track 100 on, which cannot be read; tracks 0 to 99 hold the image." "$(said)"
    route check -f "othér image.bin" && expect_exit "route, check of a 100-track drive: refused" 1
    check "route, check of a 100-track drive: says so" "linux-floppy.sh: $loop holds 921600 bytes, not 1474560: not a 1.44 MB diskette" "$(said)"
    cp "othér image.bin" loop.img && losetup -c "$loop" && for t in 28 29 90; do
        dd if=/dev/urandom of=loop.img bs=9216 seek=$t count=1 conv=notrunc status=none; done
    route check -f "othér image.bin" && expect_exit "route, check, tracks 28, 29 and 90 changed: ends 2" 2
    check "route, check, three tracks changed: names them" "The diskette does not hold the image: 3 tracks differ (tracks 28-29, 90)." "$(said)"
    stand_in dd 'echo $$ >"$PWD/reader.pid"; for a; do [[ $a != if=* ]] || exec sleep 600 <"${a#if=}"; done'
    PATH="$WORK/dd.in:$PATH" route check -f "othér image.bin" &&
        step "route, check, a read the drive keeps waiting: reading" poll eval '[ -n "$(find /proc/[0-9]*/fd -lname "$loop" 2>/dev/null)" ]'
    kill -TERM "$APP_PID" && expect_exit "route, check, SIGTERM while it reads: ends 130" 130
    route check -f "othér image.bin" && expect_exit "route, check right after: the reader is gone, not refused" 2

    echo "# the route's names: empty, beyond the code page, beginning with -, a link; a temporary folder that is full"
    route capture -f "" && expect_exit "route, capture -f \"\": refused" 1
    cp image.bin Adisk.img && route capture -f Ādisk.img && expect_exit "route, capture -f Ādisk.img: refused" 1
    check "route, capture -f Ādisk.img: names the character" "linux-floppy.sh: the program cannot be given the name $WORK/Ādisk.img: Wine would pass \"Ā\" as another character (code page 1252), and the program would open another file; rename it" "$(said)"
    check "route, capture -f Ādisk.img: Adisk.img untouched" same "$(same_bytes image.bin Adisk.img)"
    # Names Wine would take for another file: another case, a trailing blank, a backslash.
    mkdir old && cp image.bin old/b.img && cp image.bin backup.img && cp image.bin disk.img && patterned_image 'old\b.img'
    for row in "capture|Backup.img|backup.img" "capture|disk.img |disk.img" "write|old\b.img|old/b.img"; do
        IFS='|' read -r job name other <<<"$row"
        route $job -f "$name" && expect_exit "route, $job -f '$name' beside $other: refused" 1
        check "route, $job -f '$name': names $other, which stays as it was" "linux-floppy.sh: the program cannot be given the name $WORK/$name: Wine would open another file, $WORK/$other, instead; rename it | same" "$(said) | $(same_bytes image.bin "$other")"
    done
    route capture -f New.img && step "route, capture -f New.img, a name no file has in any case: confirmed" confirm_ok
    expect_ui "route, capture -f New.img: created" msgbox "Utility Complete" "Diskette image has been created." ok
    expect_exit "route, capture -f New.img: ends 0" 0
    check "route, capture -f New.img: saved under that name" same "$(same_bytes loop.img New.img)"
    mkdir locked tmp && protect locked && mount -t tmpfs -o size=4k tmpfs tmp
    # Wine finds the prefix's server in a folder under $TMPDIR: that one stays reachable.
    server="$(dirname "${TMPDIR:-/tmp}"/wine-*/"$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))")"
    mkdir "tmp/${server##*/}" && mount --bind -o ro "$server" "tmp/${server##*/}"
    head -c 4096 /dev/zero >tmp/full
    route capture -f locked/new.bin && expect_exit "route, capture into a folder that refuses writes: refused" 1
    check "route, capture into a folder that refuses writes: says so" "linux-floppy.sh: cannot write in $WORK/locked/: the capture could not be saved there" "$(said)"
    dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none
    ln -s -- "othér image.bin" -link.bin && route write -f -link.bin && step "route, write -f -link.bin: up to the transfer" through_screens
    expect_exit "route, write -f -link.bin: ends 0" 0
    dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none
    TMPDIR="$WORK/tmp" route capture -f -link.bin && step "route, capture -f -link.bin, TMPDIR full: confirmed" confirm_ok
    expect_ui "route, capture -f -link.bin, TMPDIR full: created" msgbox "Utility Complete" "Diskette image has been created." ok
    expect_exit "route, capture -f -link.bin, TMPDIR full: ends 0" 0
    check "route, capture -f -link.bin: into the file the link names, the link stays" "same othér image.bin" \
        "$(same_bytes "othér image.bin" loop.img) $(readlink -- -link.bin)"
    umount -l tmp

    # Interrupted with the capture saved and its window still up.
    route_in_group capture && step "route, capture, Ctrl+C: confirmed" confirm_ok
    step "route, capture, Ctrl+C at \"created\"" created_then kill -INT -- -"$APP_PID"
    expect_exit "route, capture, Ctrl+C: ends 130" 130
    check "route, capture, Ctrl+C: says so, checks nothing" "Interrupted: the diskette was not checked." "$(said_first "^Interrupted\|^Reading")"
    check "route, capture, Ctrl+C: says where the old image went" "$WORK/MYFILE.BIN is as it was before the capture." "$(said)"
    check "route, capture, Ctrl+C: the image from before keeps its name" same "$(same_bytes image.bin MYFILE.BIN)"
    check "route, capture, Ctrl+C: the new one is kept, byte for byte the diskette" same "$(same_bytes loop.img MYFILE.BIN.unchecked.*)"
    # The output goes to a pipe that Ctrl+C ends too, or to a terminal that is gone.
    rm -f MYFILE.BIN.unchecked.*
    setsid env --default-signal=INT bash -c '"$0" capture 2>&1 | tee route.out >/dev/null; exit ${PIPESTATUS[0]}' \
        "$STARTDISK_SOURCE/scripts/linux-floppy.sh" & APP_PID=$!
    step "route, capture through tee, Ctrl+C at \"created\"" eval 'confirm_ok && created_then kill -INT -- -"$APP_PID"'
    expect_exit "route, capture through tee, Ctrl+C: ends 130" 130
    check "route, capture through tee, Ctrl+C: the name holds the image from before" "same 1" "$(same_bytes image.bin MYFILE.BIN) $(ls MYFILE.BIN.unchecked.* | wc -l)"
    rm -f MYFILE.BIN.unchecked.*
    setsid "$STARTDISK_SOURCE/scripts/linux-floppy.sh" capture &>/dev/full & APP_PID=$!
    step "route, capture, terminal closed at \"created\"" eval 'confirm_ok && created_then kill -HUP -- -"$APP_PID"'
    expect_exit "route, capture, terminal closed: ends 130" 130
    check "route, capture, terminal closed: the name holds the image from before" "same 1" "$(same_bytes image.bin MYFILE.BIN) $(ls MYFILE.BIN.unchecked.* | wc -l)"
    # Unplugged once the program is done: the check looks for the drive again.
    rm -f MYFILE.BIN.unchecked.* && route capture && step "route, capture, unplugged at \"created\"" eval 'confirm_ok && created_then rm "$drive" && quiet_ui msgbox "Utility Complete" "Diskette image has been created." ok'
    expect_exit "route, capture, unplugged at \"created\": ends 3" 3
    check "route, capture, unplugged at \"created\": says so" "Drive A: is $drive, which leads to no drive now: the diskette was not checked." "$(said_first "^Drive")"
    ln -s "$loop" "$drive"
    # A keep that the hard link cannot make is a copy.
    rm MYFILE.BIN.unchecked.* && chattr +a MYFILE.BIN && route capture && expect_ui "route, capture, keep as a copy: shown" wait "$APP_TITLE"
    expect_ui "route, capture, keep as a copy: cancelled" click "$APP_TITLE" 2
    expect_exit "route, capture, keep as a copy: cancelled, ends 254" 254
    chattr -a MYFILE.BIN && check "route, capture, keep as a copy, cancelled: nothing left beside the image" "MYFILE.BIN" "$(ls MYFILE.BIN*)"
    stand_in cp ': >"$PWD/copying" && exec sleep 600'
    chattr +a MYFILE.BIN && PATH="$WORK/cp.in:$PATH" route_in_group capture && step "route, capture, keeping a copy: copying" poll test -e copying
    kill -INT -- -"$APP_PID" && expect_exit "route, capture, Ctrl+C while the copy is made: ends 130" 130
    chattr -a MYFILE.BIN && check "route, capture, Ctrl+C while the copy is made: the image alone, as it was" "same MYFILE.BIN" "$(same_bytes image.bin MYFILE.BIN) $(ls MYFILE.BIN*)"

    # Ctrl+C once the check has passed, while the script looks for what holds the drive.
    stand_in find 'grep -q "^Reading" "$PWD/route.out" || exec /usr/bin/find "$@"; : >"$PWD/looking" && exec sleep 600'
    PATH="$WORK/find.in:$PATH" route_in_group capture && step "route, capture, Ctrl+C after the check: confirmed" confirm_ok
    step "route, capture, Ctrl+C after the check: looking for holders" \
        eval 'created_then quiet_ui msgbox "Utility Complete" "Diskette image has been created." ok && poll test -e looking'
    kill -INT -- -"$APP_PID" && expect_exit "route, capture, Ctrl+C after the check: ends 130" 130
    check "route, capture, Ctrl+C after the check: says it passed, and where the image from before is" \
        "Interrupted after the check had passed: the diskette holds the image, 160 of 160 tracks; whether it is mounted or held open was not looked at. | The image from before the capture is kept as $(echo "$WORK"/MYFILE.BIN.??????)." \
        "$(said_first "^Interrupted") | $(said)"
    check "route, capture, Ctrl+C after the check: the capture stands, the image from before beside" "same same" "$(same_bytes loop.img MYFILE.BIN) $(same_bytes image.bin MYFILE.BIN.??????)"
    mv MYFILE.BIN.?????? MYFILE.BIN

    # Held open once the program is done: the capture, found equal, stands.
    route capture && step "route, capture, held at \"created\"" eval 'confirm_ok && created_then hold_drive && quiet_ui msgbox "Utility Complete" "Diskette image has been created." ok'
    expect_exit "route, capture, held at \"created\": ends 3" 3
    check "route, capture, held at \"created\": names the holder" "The diskette held the image, but $loop is held open by pid $holder (sleep), which may change it: close that and run the job again." "$(said_first held)"
    kill "$holder" && holder=""
    check "route, capture, held at \"created\": the capture stands, the image from before beside" "same same" "$(same_bytes loop.img MYFILE.BIN) $(same_bytes image.bin MYFILE.BIN.??????)"
    mv MYFILE.BIN.?????? MYFILE.BIN

    hold_drive
    route verify && expect_exit "route, verify, drive held open: refused" 1
    check "route, verify, drive held open: names the holder" "linux-floppy.sh: $loop is held open by pid $holder (sleep): close that first" "$(said)"
    kill "$holder" && holder=""
    # Mounted after the prepare step, as a desktop mounts a diskette put in.
    if mkfs.ext2 -q -F "$loop" && mkdir ext && mount -o ro "$loop" ext; then
        route capture && expect_exit "route, capture, drive mounted: refused" 1
        check "route, capture, drive mounted: says so" "linux-floppy.sh: $loop is mounted on $WORK/ext: unmount it first (udisksctl unmount -b $loop, or umount $loop)" "$(said)"
        check "route, capture, drive mounted: the image is kept" same "$(same_bytes image.bin MYFILE.BIN)"
        umount ext
        # Mounted during the job, after the program's own dismount.
        route capture && step "route, capture, mounted at \"created\": confirmed" confirm_ok
        step "route, capture, mounted at \"created\": OK" created_then eval 'mount -o ro "$loop" ext && quiet_ui msgbox "Utility Complete" "Diskette image has been created." ok'
        expect_exit "route, capture, mounted at \"created\": ends 3" 3
        check "route, capture, mounted at \"created\": says so" "The diskette held the image, but $loop is mounted on $WORK/ext, where it may change: unmount it and run the job again." "$(said_first mounted)"
        umount ext && mv MYFILE.BIN.?????? MYFILE.BIN
    else
        echo "skip: route, drive mounted: no ext2 here"
    fi

    # A capture that the diskette, read past the cache, does not match: a
    # process holding the drive from the confirmation on keeps Linux's copy
    # of it while the medium changes. Into a new name: the name stays free,
    # and the new image, which failed its check, is kept beside it.
    route capture -f fresh.bin && expect_ui "route, capture, stale cache: confirmation" wait "$APP_TITLE"
    hold_drive && dd if="$drive" of=/dev/null bs=9216 status=none &&
        dd if=/dev/urandom of=loop.img bs=9216 count=160 conv=notrunc status=none
    step "route, capture, stale cache: confirmed" confirm_ok
    expect_ui "route, capture, stale cache: created" msgbox "Utility Complete" "Diskette image has been created." ok
    expect_exit "route, capture, stale cache: ends 2" 2
    kill "$holder" && holder=""
    check "route, capture into a new name, stale cache: the name stays free, the new image beside" "0 1" "$(ls fresh.bin 2>/dev/null | wc -l) $(ls fresh.bin.unchecked.* | wc -l)"

    echo "# that drive unplugged and write-protected, through the script and by hand: each job prompts"
    route capture && expect_ui "route, capture, unplugged at the confirmation: shown" wait "$APP_TITLE"
    rm "$drive" && step "route, capture, unplugged at the confirmation: confirmed" confirm_ok
    prompts_then_ends "capture, unplugged, cancelled" "Error writing to floppy" 2
    check "route, capture, unplugged, cancelled: says so" "The capture did not complete: no image was saved." "$(said)"
    start_traced startdisk.exe -r && step "route, capture, drive unplugged: confirmed" confirm_ok
    prompts_then_ends "capture, drive unplugged" "Error writing to floppy"
    check "route, capture, drive unplugged: the image is kept" same "$(same_bytes image.bin MYFILE.BIN)"
    protected="$(losetup -r -f --show loop.img)" && ln -s "$protected" "$drive"
    start_traced startdisk.exe && step "route, write, write-protected: up to the transfer" through_screens
    prompts_then_ends "write, write-protected" "Error writing to floppy"
    if keeps_nothing; then
        # Held open from the first screen on, past the script's own look:
        # Linux's cache of the device then outlives the program.
        route write && expect_ui "route, write, keeps nothing: the first screen" wait "$APP_TITLE Screen 1 of 5"
        hold_drive && step "route, write, keeps nothing: up to the transfer" through_screens
        expect_exit "route, write, keeps nothing: ends 2" 2
        kill "$holder" && holder=""
        check "route, write, keeps nothing: says where the diskette differs" \
            "The diskette does not hold the image: 160 tracks differ (tracks 0-159)." "$(said)"
        # On the NT setting the program's read-back meets Linux's cache: the check finds the loss.
        if [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then
            route verify && step "route, verified write on the NT setting, keeps nothing: up to the transfer" through_screens
            expect_exit "route, verified write on the NT setting, keeps nothing: ends 2" 2
            check "route, verified write on the NT setting, keeps nothing: says so" \
                "The diskette does not hold the image: 160 tracks differ (tracks 0-159)." "$(said)"
        fi
    else
        echo "skip: route, keeps nothing: no tmpfs mount or loop device here"
    fi

    echo "# a user's first run: the script makes a new prefix, a job runs right after; --nt undoes the 9x setting"
    fresh="$WORK/new-prefix" version_key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
    trap 'WINEPREFIX="$fresh" wineserver -k 2>/dev/null; route_cleanup' EXIT
    in_fresh() { WINEPREFIX="$fresh" "$@"; }
    # A write started right after the prefix's own step ends: write_after <what>.
    write_after() {
        dd if=/dev/urandom of="$loop" bs=9216 count=160 status=none
        in_fresh route write && in_fresh step "route, new prefix, write after $1: up to the transfer" through_screens
        expect_exit "route, new prefix, write after $1: ends 0" 0
        check "route, new prefix, write after $1: the drive holds the image" same "$(same_bytes MYFILE.BIN loop.img)"
    }
    mkdir bare && cp "$SAMPLES"/* MYFILE.BIN bare/
    prepare_fresh() { in_fresh "$STARTDISK_SOURCE/scripts/linux-floppy.sh" "$loop" bare >route.out 2>&1; }
    step "route, new prefix, a folder without the program: prepared" prepare_fresh
    no_program="There is no startdisk.exe in $WORK/bare: put it there, or use the folder scripts/portable.sh makes."
    [ "$STARTDISK_WINE_ARCH" != x86-64 ] || no_program="There is no $x64 in $WORK/bare: this machine cannot run 32-bit programs, so the route runs the program's x86-64 build; use the folder scripts/portable.sh makes."
    check "route, new prefix, a folder without the program: says so" "$no_program" "$(said)"
    # The 9x services want drive A:'s root; a dangling link passes for one only while Wine lets it.
    check "route, new prefix: drive A:'s root is a folder" yes "$([ -d "$fresh/dosdevices/a:/" ] && echo yes || echo no)"
    write_after "the prepare step"
    # As older routes left it, and with its server gone, so that the write meets --nt's own.
    in_fresh wine reg add "$version_key" /v Version /d win98 /f >/dev/null 2>&1 && in_fresh wineserver -w
    in_fresh route --nt && expect_exit "route, --nt: ends 0" 0
    write_after "--nt"
    check "route, --nt: startdisk.exe is on the NT setting again" none \
        "$(in_fresh wine reg query "$version_key" /v Version >/dev/null 2>&1 && echo win98 || echo none)"
    in_fresh wineserver -k 2>/dev/null || true
    rm -rf "$fresh" bare && trap route_cleanup EXIT
    map_disk "$STARTDISK_DISK"
else
    echo "skip: loop device: losetup cannot attach one here (needs root and loop devices)"
fi

finish
