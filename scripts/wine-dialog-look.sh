# Sourced by the scripts that prepare a Wine prefix: wine_dialog_look sets
# up $WINEPREFIX to draw the program's dialogs as the Windows they were laid
# out for. Each setting is written only when the prefix lacks it, so a
# prefix set up before costs no Wine call; changed=yes tells that a registry
# value was written.

# Where Wine's own fonts are (Debian's fonts-wine).
WINE_FONTS=/usr/share/wine/fonts

# reg_has HKCU|HKLM <key> <name> <text>: whether the prefix holds that REG_SZ value.
reg_has() {
    local file=user.reg
    [ "$1" = HKLM ] && file=system.reg
    # The hive files spell a key with doubled backslashes, as "[key] stamp".
    REG_KEY="[${2//\\/\\\\}]" REG_LINE="\"$3\"=\"$4\"" awk '
        /^\[/ { here = substr($0, 1, length(ENVIRON["REG_KEY"])) == ENVIRON["REG_KEY"]; next }
        here && $0 == ENVIRON["REG_LINE"] { found = 1; exit }
        END { exit !found }' "$WINEPREFIX/$file" 2>/dev/null
}

# reg_value HKCU|HKLM <key> <name> <text>: a REG_SZ value.
reg_value() {
    reg_has "$@" && return 0
    DISPLAY= wine reg add "$1\\$2" /v "$3" /d "$4" /f >/dev/null 2>&1
    changed=yes
}

wine_dialog_look() {
    local font
    # Wine's fonts: Tahoma, and Marlett for the caption buttons. Its bitmap
    # "MS Sans Serif" (sserife.fon) is the font the dialogs are laid out for:
    # 8 points, 13 pixels high with dialog base units of 6 x 13, as on Windows.
    # Without it Wine draws "MS Sans Serif" with a wider system face, and its
    # "MS Shell Dlg" is Tahoma, also wider, so one-line texts wrap and lose
    # their ends. Wine skips its bitmap-only ms_sans_serif.ttf.
    for font in "$WINE_FONTS"/*.ttf "$WINE_FONTS/sserife.fon"; do
        cmp -s "$font" "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ||
            cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # The shell dialog font is "MS Sans Serif", as on Windows 95 and NT 4.
    reg_value HKLM 'Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' 'MS Shell Dlg' 'MS Sans Serif'
    reg_value HKLM 'Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' 'MS Shell Dlg 2' 'MS Sans Serif'
    # Classic controls, as the program's manifest asks and Windows draws them:
    # a new prefix has Wine's Light theme on, which themes buttons, scroll bars
    # and the progress bar anyway, and repaints the whole themed bar on every
    # step of it.
    reg_value HKCU 'Software\Microsoft\Windows\CurrentVersion\ThemeManager' ThemeActive 0
}
