# The program's x86-64 build under 64-bit Wine, where the rest of the suite
# runs the 32-bit one: a write and a capture of the virtual diskette, byte
# for byte, each run's platform calls against the NT family's rules.
# (Not named *_test.sh: it runs in a 64-bit prefix of its own, not the suite's.)
. "$(dirname "$0")/lib.sh"

install_documents
patterned_image MYFILE.BIN
noisy_disk
start_app
step "x86-64 write: up to the transfer" eval 'accept_document_screens && confirm_ok'
expect_exit "x86-64 write: ends 0" 0
check "x86-64 write: the diskette holds the image byte for byte" same "$(same_bytes MYFILE.BIN "$STARTDISK_DISK")"

noisy_disk
start_app -r -f captured.img
step "x86-64 capture: confirmed" confirm_ok
expect_ui "x86-64 capture: created" msgbox "Utility Complete" "Diskette image has been created." ok
expect_exit "x86-64 capture: ends 0" 0
check "x86-64 capture: the image holds the diskette byte for byte" same "$(same_bytes "$STARTDISK_DISK" captured.img)"

finish
