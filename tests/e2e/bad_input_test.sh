# Bad input from the user's side: each ends with a clear message, no crash,
# no hang, and nothing lost.
. "$(dirname "$0")/lib.sh"

CANNOT_OPEN="Could not open file."
CORRUPT="Disk Image is corrupt...unable to create disk."
LICENCE="$APP_TITLE Screen 1 of 5"

install_documents
use_family nt

# A Create run that gets as far as loading its image: create_run <args...>
create_run() {
    blank_disk
    start_app "$@"
    accept_document_screens && confirm_ok
}

echo "# a 50 MB document is refused with a message instead of loading for minutes"
cp LA001.RTF licence.keep
{ printf '{\\rtf1\\ansi '; head -c $((50 * 1024 * 1024)) /dev/zero | tr '\0' 'x'; printf '}'; } > LA001.RTF
start_app
expect_ui "too large: message" msgbox "Error" "The document is too large to show." none
check "too large: error icon" error "$(ui msgbox-icon "Error")"
ui msgbox "Error" "The document is too large to show." ok >/dev/null
expect_exit "too large: the screen counts as not shown, -1" 255
check "too large: the document is untouched" $((50 * 1024 * 1024 + 13)) "$(stat -c %s LA001.RTF)"
mv licence.keep LA001.RTF

echo "# image files that cannot serve: empty, a directory, held open by another program"
: > empty.bin
create_run -f empty.bin
expect_ui "empty image: corrupt" msgbox "File Read Error" "$CORRUPT" ok
expect_exit "empty image: run ends with 0" 0
check "empty image: diskette untouched" same "$(cmp -s "$STARTDISK_DISK" <(head -c "$IMAGE_SIZE" /dev/zero) && echo same)"

mkdir folder.bin
create_run -f folder.bin
expect_ui "directory as image: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_exit "directory as image: run ends with 0" 0

sample_image held.bin
ui hold held.bin 20000 > held.out &
holder=$!
for _ in $(seq 100); do grep -q held held.out 2>/dev/null && break; sleep 0.05; done
create_run -f held.bin
expect_ui "image held open elsewhere: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_exit "image held open elsewhere: run ends with 0" 0
# A capture must not replace a file another program holds, nor report success.
cp held.bin held.before
blank_disk
start_app -r -f held.bin
confirm_ok
expect_ui "capture onto a held file: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_no_window "Utility Complete"
expect_exit "capture onto a held file: run ends with 0" 0
check "capture onto a held file: the file is unchanged" same "$(cmp -s held.bin held.before && echo same)"
check "capture onto a held file: no temporary file left" "" "$(ls sdk*.tmp 2>/dev/null || true)"
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true

echo "# a capture onto a directory leaves it as it was"
start_app -r -f folder.bin
confirm_ok
expect_ui "capture onto a directory: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_exit "capture onto a directory: run ends with 0" 0
check "capture onto a directory: still an empty directory" "" "$(ls -A folder.bin)"

echo "# a very long image path, and a command line of several kilobytes"
long="$(printf 'd%.0s' $(seq 400))\\x.bin"
create_run -f "$long"
expect_ui "400-character path: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_exit "400-character path: run ends with 0" 0
huge="$(printf 'y%.0s' $(seq 8000)).bin"
start_app -r -f "$huge"
confirm_ok
expect_ui "8 KB command line: capture cannot save" msgbox "Error" "$CANNOT_OPEN" ok
expect_no_window "Utility Complete"
expect_exit "8 KB command line: run ends with 0" 0
check "8 KB command line: nothing created" 0 "$(ls | grep -c "^yyyy" || true)"

echo "# an argument holding quotation marks reaches the program escaped by Wine (\\\"), and names no file"
sample_image "quoted.bin"
create_run -f '"quoted.bin"'
expect_ui "quoted path: cannot open" msgbox "Error" "$CANNOT_OPEN" ok
expect_exit "quoted path: run ends with 0" 0

finish
