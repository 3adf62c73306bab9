# The licence screen: its Yes stays disabled until the text has been
# scrolled to its end. The program polls the scroll position every 100 ms,
# so each "still disabled" check waits several polls first.
. "$(dirname "$0")/lib.sh"

LICENCE="$APP_TITLE Screen 1 of 5"
NEXT="$APP_TITLE Screen 2 of 5"

# A licence of n numbered one-line paragraphs, the last one reading END.
numbered_licence() {
    local i
    {
        printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20\n'
        for i in $(seq $(($1 - 1))); do printf 'Line %d\\par\n' "$i"; done
        printf 'END}'
    } > LA001.RTF
}

# The screen's DPI as Wine reports it to programs started from now on.
set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
trap 'set_dpi 96; cleanup' EXIT

# No line of the licence may run past the editor's right edge, where it
# could not be read: lines_fit <what>.
lines_fit() {
    local rightmost width
    read -r rightmost width <<<"$(ui line-ends "$LICENCE" 9000)"
    check "$1: every line ends inside the editor (x of the last character $rightmost, client width $width)" yes \
        "$([ "$rightmost" -ge 0 ] && [ "$rightmost" -lt "$width" ] && echo yes || echo no)"
}

# Ends the run on screen 2 so that each case leaves nothing running.
decline_next() {
    ui click "$NEXT" 2 >/dev/null
    expect_exit "$1" 255
}

echo "# the sample licence: disabled until its end, then enabled for good"
install_documents
start_app
expect_ui "licence screen shown" wait "$LICENCE"
check "Yes label" "&Yes" "$(ui text "$LICENCE" 1)"
check "starts at the top" 0 "$(ui firstline "$LICENCE" 9000)"
check "Yes disabled at first" "disabled visible" "$(ui state "$LICENCE" 1)"
check "No enabled" "enabled visible" "$(ui state "$LICENCE" 2)"
lines_fit "96 DPI"
ui key "$LICENCE" enter
expect_no_window "$NEXT" 400
check "Enter does not accept an unread licence" "disabled visible" "$(ui state "$LICENCE" 1)"
ui scroll "$LICENCE" 9000 pagedown
page="$(ui firstline "$LICENCE" 9000)"
if [ "$page" -gt 0 ]; then echo "ok: one page down moved the text ($page lines)"; else check "one page down moved the text" ">0" "$page"; fi
ui sleep 400
check "one page down is not the end" "disabled visible" "$(ui state "$LICENCE" 1)"
ui scroll "$LICENCE" 9000 bottom
expect_ui "Yes enabled at the end" wait-enabled "$LICENCE" 1
ui scroll "$LICENCE" 9000 top
ui sleep 300
check "back at the top" 0 "$(ui firstline "$LICENCE" 9000)"
check "Yes stays enabled after scrolling back" "enabled visible" "$(ui state "$LICENCE" 1)"
shot licence-read
ui click "$LICENCE" 1
expect_ui "Yes leads to screen 2" wait "$NEXT"
decline_next "run ended on screen 2"
check "only the declined screen 2 writes a \"Win error\" line" 1 "$(debug_lines | grep -c 'Win error' || true)"

echo "# without a mouse: from the focused No the wheel and the paging keys scroll the licence, Tab reaches Yes"
# Real input from the X server, so keys go to the control with the focus:
# No, since the editor has no tab stop and Yes starts disabled.
# first_line_is <test> <n>: whether the first visible line passes the test.
first_line_is() { [ "$(ui firstline "$LICENCE" 9000)" "$1" "$2" ]; }
start_app
ui wait "$LICENCE" >/dev/null
eval "$(xdotool search --name "^$LICENCE\$" getwindowgeometry --shell)"
xdotool mousemove --window "$WINDOW" $((WIDTH - 60)) $((HEIGHT - 30)) click 5  # over No
step "the wheel over No scrolls the licence" poll first_line_is -gt 0
# Where three line requests from the top lead, in the editor's own steps.
notch="$(ui firstline "$LICENCE" 9000)"
check "a notch of the wheel scrolls three lines" "$(ui scroll "$LICENCE" 9000 top ";" scroll "$LICENCE" 9000 linedown \
    ";" scroll "$LICENCE" 9000 linedown ";" scroll "$LICENCE" 9000 linedown ";" firstline "$LICENCE" 9000)" "$notch"
# A paging key moves the text exactly as far as one of the editor's own page requests.
scrolled() { ui scroll "$LICENCE" 9000 top ";" scroll "$LICENCE" 9000 "$@" ";" firstline "$LICENCE" 9000; }
one="$(scrolled pagedown)"
two="$(scrolled pagedown ";" scroll "$LICENCE" 9000 pagedown)"
back="$(scrolled pagedown ";" scroll "$LICENCE" 9000 pagedown ";" scroll "$LICENCE" 9000 pageup)"
ui scroll "$LICENCE" 9000 top
xdotool key Next
step "Page Down moves one page" poll first_line_is -eq "$one"
xdotool key Next
step "Page Down again, one page more" poll first_line_is -eq "$two"
xdotool key Prior
step "Page Up moves one page back" poll first_line_is -eq "$back"
for press in $(seq 50); do
    [ "$(ui state "$LICENCE" 1)" = "enabled visible" ] && break
    xdotool key Next
done
expect_ui "Page Down until the end enables Yes" wait-enabled "$LICENCE" 1
bottom="$(ui firstline "$LICENCE" 9000)"
xdotool key ctrl+Home
step "Ctrl+Home goes to the top" poll first_line_is -eq 0
xdotool key ctrl+End
step "Ctrl+End goes back to the end" poll first_line_is -eq "$bottom"
xdotool key Tab Return
expect_ui "Tab reaches Yes, Enter accepts" wait "$NEXT"
decline_next "keys: run ended on screen 2"

echo "# declining an unread licence: No, Escape and the close box end the run with -1"
for how in click escape close; do
    start_app
    ui wait "$LICENCE" >/dev/null
    case $how in
    click) ui click "$LICENCE" 2 ;;
    escape) ui key "$LICENCE" escape ;;
    close) ui close "$LICENCE" ;;
    esac
    expect_no_window "$NEXT" 400
    expect_exit "$how before scrolling ends the run with -1" 255
    check "$how: \"Win error\" line written" 1 "$(debug_lines | grep -cE '^Win error = -?[0-9]+\\r\\n$' || true)"
done

echo "# a licence that fits in the editor, or is empty, has nothing to scroll: Yes enabled at once"
printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 Short terms: none.\\par}' > LA001.RTF
start_app
ui wait "$LICENCE" >/dev/null
UIDRIVER_TIMEOUT_MS=2000 expect_ui "short licence: Yes enabled without scrolling" wait-enabled "$LICENCE" 1
check "short licence: still at the top" 0 "$(ui firstline "$LICENCE" 9000)"
check "short licence: its text shown" "Short terms: none." "$(ui text "$LICENCE" 9000 | tr -d '\r\n')"
ui click "$LICENCE" 1
expect_ui "short licence: Yes leads to screen 2" wait "$NEXT"
decline_next "run ended on screen 2"
: > LA001.RTF
start_app
ui wait "$LICENCE" >/dev/null
UIDRIVER_TIMEOUT_MS=2000 expect_ui "empty licence: Yes enabled without scrolling" wait-enabled "$LICENCE" 1
ui click "$LICENCE" 1
expect_ui "empty licence: Yes leads to screen 2" wait "$NEXT"
decline_next "run ended on screen 2"

echo "# a licence just longer than the editor: its last lines still have to be scrolled to"
# How many lines fit depends on the fonts, so it is measured first: at the
# bottom of a 60-line licence the first visible line tells the page size.
numbered_licence 60
start_app
ui scroll "$LICENCE" 9000 bottom
first="$(ui firstline "$LICENCE" 9000)"
ui close "$LICENCE"
expect_exit "measuring run ended" 255
lines=$((60 - first + 1))  # a line more than a page, whatever the partial line at the top
numbered_licence "$lines"
start_app
ui wait "$LICENCE" >/dev/null
ui sleep 400
check "$lines lines: Yes disabled before scrolling" "disabled visible" "$(ui state "$LICENCE" 1)"
ui scroll "$LICENCE" 9000 bottom
expect_ui "$lines lines: Yes enabled at the end" wait-enabled "$LICENCE" 1
ui click "$LICENCE" 1
decline_next "run ended on screen 2"

echo "# a long licence (64 KB of text) reaches the editor whole"
{
    printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20\n'
    for i in $(seq 1000); do printf 'Clause %04d of a long licence, written out to about sixty characters.\\par\n' "$i"; done
    printf 'LAST CLAUSE OF THE LICENCE}'
} > LA001.RTF
start_app
ui wait "$LICENCE" >/dev/null
text="$(ui text "$LICENCE" 9000)"
check "first clause shown" "Clause 0001" "$(head -c 11 <<<"$text")"
case "$text" in
*"Clause 1000 of a long licence"*"LAST CLAUSE OF THE LICENCE") echo "ok: the last clause reaches the editor" ;;
*) check "the last clause reaches the editor" "...LAST CLAUSE OF THE LICENCE" "...$(tail -c 80 <<<"$text")" ;;
esac
ui scroll "$LICENCE" 9000 pagedown
ui sleep 400
check "long licence: a page down is not the end" "disabled visible" "$(ui state "$LICENCE" 1)"
ui scroll "$LICENCE" 9000 bottom
expect_ui "long licence: Yes enabled at the end" wait-enabled "$LICENCE" 1
ui click "$LICENCE" 1
decline_next "run ended on screen 2"

echo "# at 120 DPI the licence's lines still fit the editor, and Yes still waits for the end"
set_dpi 120
install_documents
start_app
ui wait "$LICENCE" >/dev/null
lines_fit "120 DPI"
ui scroll "$LICENCE" 9000 pagedown
ui sleep 400
check "120 DPI: a page down is not the end" "disabled visible" "$(ui state "$LICENCE" 1)"
ui scroll "$LICENCE" 9000 bottom
expect_ui "120 DPI: Yes enabled at the end" wait-enabled "$LICENCE" 1
ui click "$LICENCE" 1
decline_next "120 DPI: run ended on screen 2"
set_dpi 96

echo "# the licence is wrapped at the line width set for the screen's DPI: a long line of narrow words breaks just before it"
{
    printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20\n'
    printf 'i %.0s' $(seq 300)
    printf '\\par END}'
} > LA001.RTF
margin=350  # twips the program keeps clear of the editor's right edge
for dpi in 96 120 144; do
    set_dpi "$dpi"
    start_app
    read -r rightmost width <<<"$(ui line-ends "$LICENCE" 9000)"
    limit=$(( (width * 1440 / dpi - margin) * dpi / 1440 ))
    check "$dpi DPI: full lines end within 1/6 inch before $limit px, the set width" yes \
        "$([ "$rightmost" -le "$limit" ] && [ "$rightmost" -gt $((limit - dpi / 6)) ] && echo yes || echo "no: at $rightmost")"
    ui close "$LICENCE"
    expect_exit "$dpi DPI: run ended" 255
done
set_dpi 96

finish
