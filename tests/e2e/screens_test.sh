# The five document screens before the transfer: their texts, the documents
# they show, and every way a run can end on one of them.
. "$(dirname "$0")/lib.sh"

screen() { echo "$APP_TITLE Screen $1 of 5"; }
# The window that would follow screen n-1: screen n, or after the fifth the confirmation.
window_after() { if [ "$1" -lt 5 ]; then screen $(($1 + 1)); else echo "$APP_TITLE"; fi; }

SEEN_PROMPT='If you have read and understand these instructions, press continue.'
HEADINGS=(
    ''
    'Software License Agreement'
    'Purpose of Program'
    'Restoration Software and Calbrin Disks'
    'Retaining Personal Files on "D:" drive'
    'Risk of Deleting Partition'
)
PROMPTS=(
    ''
    'Do you accept all the terms of the preceding License Agreement?  To enable the Yes button, you must read the entire agreement.  If you choose No, Setup will close.  To install, you must accept this agreement.'
    "$SEEN_PROMPT"
    "$SEEN_PROMPT"
    'Do You Wish To Continue?'
    'If you have read and understand these instructions, insert a diskette into the A: drive and press continue.'
)
ACCEPT_LABELS=('' '&Yes' 'Continue' 'Continue' '&Yes' 'Continue')
DECLINE_LABELS=('' '&No' 'Cancel' 'Cancel' '&No' 'Cancel')
# A phrase from the body of each sample document.
PHRASES=(
    ''
    'This Licence Agreement ("Agreement") is between you'
    'This program makes a start-up diskette.'
    'your computer will need its restoration software'
    'Everything on the D: drive will be lost.'
    'Deleting the D: partition cannot be undone.'
)

# Accepts screens 1 to n; the licence is scrolled to its end first.
accept_through() {
    local n
    ui scroll "$(screen 1)" 9000 bottom >/dev/null && ui wait-enabled "$(screen 1)" 1 >/dev/null &&
        ui click "$(screen 1)" 1 >/dev/null || { echo "FAIL: licence not accepted"; failures=$((failures + 1)); return 1; }
    for n in $(seq 2 "$1"); do
        ui click "$(screen "$n")" 1 >/dev/null || { echo "FAIL: screen $n not accepted"; failures=$((failures + 1)); return 1; }
    done
}

# The "Win error = N\r\n" lines written for screens that were not accepted.
not_accepted_lines() { debug_lines | grep -cE '^Win error = -?[0-9]+\\r\\n$' || true; }
other_debug_lines() { debug_lines | grep -vE '^Win error = -?[0-9]+\\r\\n$' || true; }
# The document screens visible now, by number.
shown_screens() {
    local n
    for n in 1 2 3 4 5; do UIDRIVER_TIMEOUT_MS=0 ui exists "$(screen "$n")" >/dev/null 2>&1 && printf '%s ' "$n"; done
    return 0
}

echo "# the five screens in order: texts byte for byte, each document shown, then the confirmation"
install_documents
start_app
for n in 1 2 3 4 5; do
    expect_ui "screen $n appears with its exact title" wait "$(screen "$n")"
    check "screen $n is the only screen shown" "$n " "$(shown_screens)"
    check "screen $n heading" "${HEADINGS[n]}" "$(ui text "$(screen "$n")" 9002)"
    check "screen $n prompt" "${PROMPTS[n]}" "$(ui text "$(screen "$n")" 9001)"
    check "screen $n accept label" "${ACCEPT_LABELS[n]}" "$(ui text "$(screen "$n")" 1)"
    check "screen $n decline label" "${DECLINE_LABELS[n]}" "$(ui text "$(screen "$n")" 2)"
    check "screen $n editor class" "RICHEDIT" "$(ui class "$(screen "$n")" 9000)"
    editor="$(ui text "$(screen "$n")" 9000)"
    case "$editor" in
    *"${PHRASES[n]}"*) echo "ok: screen $n shows its document" ;;
    *) check "screen $n shows its document" "...${PHRASES[n]}..." "$(head -c 200 <<<"$editor")" ;;
    esac
    check "screen $n decline enabled" "enabled visible" "$(ui state "$(screen "$n")" 2)"
    if [ "$n" -eq 1 ]; then
        check "licence accept disabled until read" "disabled visible" "$(ui state "$(screen 1)" 1)"
        ui scroll "$(screen 1)" 9000 bottom >/dev/null
        expect_ui "licence accept enabled at its end" wait-enabled "$(screen 1)" 1
    else
        check "screen $n accept enabled at once" "enabled visible" "$(ui state "$(screen "$n")" 1)"
    fi
    shot "screen-$n"
    ui click "$(screen "$n")" 1
done
expect_ui "the confirmation follows screen 5" wait "$APP_TITLE"
check "it is the confirmation" "OK" "$(ui text "$APP_TITLE" 1)"
ui click "$APP_TITLE" 2
expect_exit "cancelled confirmation after five accepted screens ends with -2" 254
check "accepted screens write no debugger line" "" "$(debug_lines)"

echo "# declining any screen ends the run with -1 at once"
# screen:how, covering the decline button, Escape and the close box
for way in 1:click 2:close 3:escape 4:click 5:close; do
    n=${way%%:*} how=${way#*:}
    start_app
    [ "$n" -eq 1 ] || accept_through $((n - 1)) || true
    ui wait "$(screen "$n")" >/dev/null
    case $how in
    click) ui click "$(screen "$n")" 2 ;;
    escape) ui key "$(screen "$n")" escape ;;
    close) ui close "$(screen "$n")" ;;
    esac
    expect_no_window "$(window_after "$n")" 500
    expect_exit "screen $n, $how: the run ends with -1" 255
    check "screen $n, $how: one \"Win error = N\\r\\n\" line" 1 "$(not_accepted_lines)"
    check "screen $n, $how: no other debugger line" "" "$(other_debug_lines)"
done

echo "# a document that cannot be opened: \"Invalid filename.\", then -1"
# file:screens accepted before it
for missing in INST002.rtf:2 LA001.RTF:0 INST004.rtf:4; do
    file=${missing%%:*} before=${missing#*:}
    install_documents
    rm -f "$file"
    [ "$file" = INST004.rtf ] && mkdir "$file"  # a folder of that name cannot be opened either
    start_app
    [ "$before" -eq 0 ] || accept_through "$before" || true
    expect_ui "$file: error box appears" wait Error
    check "$file: error icon" error "$(ui msgbox-icon Error)"
    check "$file: OK only" 1 "$(ui msgbox-buttons Error)"
    check "$file: no document screen behind the box" "" "$(shown_screens)"
    expect_ui "$file: \"Invalid filename.\"" msgbox Error 'Invalid filename.' ok
    expect_no_window "$(window_after $((before + 1)))" 300
    expect_exit "$file: the run ends with -1" 255
    check "$file: no \"Win error\" line" 0 "$(not_accepted_lines)"
    rm -rf "$file"
done

echo "# an empty document: an empty editor that can be accepted"
install_documents
: > INST001.rtf
start_app
accept_through 1
expect_ui "screen 2 appears" wait "$(screen 2)"
check "empty editor" "" "$(ui text "$(screen 2)" 9000)"
check "its heading still shown" "${HEADINGS[2]}" "$(ui text "$(screen 2)" 9002)"
check "accept enabled" "enabled visible" "$(ui state "$(screen 2)" 1)"
ui click "$(screen 2)" 1
expect_ui "accepting it leads to screen 3" wait "$(screen 3)"
ui click "$(screen 3)" 2
expect_exit "the run ends with -1 on screen 3" 255

echo "# documents that are not rich text: shown without a crash, and accepted"
failures_before=$failures
install_documents
head -c 4000 /dev/urandom > INST002.rtf
{ printf '{\\rtf1\\ansi '; head -c 4000 /dev/urandom; } > INST003.rtf
printf 'Plain words, not rich text.\r\nA second line.\r\n' > INST004.rtf
# Random bytes: kept beside the prefix until the case passes, so that a
# failure (or a crash that stops the script) can be replayed.
replay="$STARTDISK_WINE_ROOT/screens-garbage"
mkdir -p "$replay" && cp INST002.rtf INST003.rtf "$replay/"
start_app
accept_through 2
for n in 3 4 5; do
    expect_ui "screen $n appears" wait "$(screen "$n")"
    check "screen $n heading" "${HEADINGS[n]}" "$(ui text "$(screen "$n")" 9002)"
    ui text "$(screen "$n")" 9000 >/dev/null 2>&1 || { echo "FAIL: screen $n editor unreadable"; failures=$((failures + 1)); }
    check "screen $n accept enabled" "enabled visible" "$(ui state "$(screen "$n")" 1)"
    ui click "$(screen "$n")" 1
done
expect_ui "the confirmation follows" wait "$APP_TITLE"
ui click "$APP_TITLE" 2
expect_exit "the run goes on to the confirmation (-2 when cancelled), no crash" 254
if [ "$failures" -eq "$failures_before" ]; then rm -rf "$replay"; else echo "garbage documents kept in $replay"; fi

finish
