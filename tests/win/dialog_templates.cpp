// The dialog templates are read out of the built exe, not the resource script:
// the resource compiler can drop what the script says (windres writes an ICON
// statement's width and height as 0 x 0), and only the exe shows what users get.
#include "tests/win/dialog_templates.h"

#include <windows.h>
#include <commctrl.h>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/win/wintest.h"

namespace {

struct ExpectedControl {
    int id;
    const char* windowClass;
    const char* text;  // nullptr: the control shows the icon resource below
    WORD icon;
    int x, y, cx, cy;
    DWORD style;
};

struct ExpectedDialog {
    WORD id;
    int cx, cy;
    DWORD style, exStyle;
    const char* caption;
    WORD pointSize, weight;
    BYTE italic, charset;
    const char* face;
    ExpectedControl controls[6];  // in tab order; unused rows have no class
};

constexpr DWORD kDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kText = kChild | WS_GROUP | SS_LEFT;  // WS_GROUP: windres's default for LTEXT
constexpr DWORD kDefault = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kPush = kChild | WS_TABSTOP | BS_PUSHBUTTON;

const ExpectedDialog kDialogs[] = {
    {102, 208, 114, kDialog | DS_SHELLFONT, 0, "Partition Deletion Application",
     8, FW_NORMAL, FALSE, DEFAULT_CHARSET, "MS Shell Dlg", {
        {IDOK, "button", "OK", 0, 47, 93, 50, 14, kDefault},
        {IDCANCEL, "button", "Cancel", 0, 103, 93, 50, 14, kPush},
        {-1, "static", nullptr, 108, 3, 6, 20, 20, kChild | SS_ICON},
        {1000, "static", "Label a blank floppy disk \"\"D:\"  Drive Partition Deletion Program Disk\", and insert it into Drive A.",
         0, 36, 6, 161, 17, kText},
        {1001, "static", "CAUTION: THE FLOPPY DISK WILL BE FORMATTED DURING THIS OPERATION. ANY EXISTING FILES ON THE FLOPPY DISK WILL BE ERASED.",
         0, 37, 25, 151, 33, kText},
        {1002, "static", "Click OK to continue.  If you do not wish to create a \"\"D:\" Drive Partition Deletion Program Disk\", click Cancel.",
         0, 36, 62, 159, 25, kText}}},
    {101, 237, 50, kDialog | WS_VISIBLE | DS_SETFONT, 0, "Partition Deletion Application",
     8, FW_DONTCARE, FALSE, ANSI_CHARSET, "MS Sans Serif", {
        {1000, "static", "Creating Start Up Disk...This Should Take Approximately Two Minutes.", 0, 7, 7, 223, 11, kText},
        {1001, "msctls_progress32", "", 0, 7, 23, 223, 14, kChild | WS_BORDER | PBS_SMOOTH}}},
    {902, 278, 243, kDialog | WS_VISIBLE | DS_SETFONT, WS_EX_APPWINDOW, "WINDOW_TITLE",
     10, FW_NORMAL, FALSE, ANSI_CHARSET, "MS Sans Serif", {
        {IDOK, "button", "IDOK", 0, 126, 222, 56, 14, kDefault},
        {IDCANCEL, "button", "IDCANCEL", 0, 215, 222, 56, 14, kPush},
        {9000, "RICHEDIT", "", 0, 7, 31, 264, 155, kChild | WS_BORDER | WS_VSCROLL | ES_READONLY | ES_MULTILINE},
        {9001, "static", "EULA_ASK", 0, 7, 190, 264, 25, kText},
        {-1, "static", nullptr, 209, 7, 6, 16, 16, kChild | SS_ICON | SS_REALSIZEIMAGE},
        {9002, "static", "TOP_MESSAGE", 0, 34, 6, 237, 20, kText}}},
};

std::string Format(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// Each read moves on; one past the end yields zeros and marks the template truncated.
struct TemplateReader {
    const BYTE* begin;
    const BYTE* at;
    const BYTE* end;
    bool truncated = false;

    const BYTE* Take(size_t bytes)
    {
        const BYTE* from = at;
        truncated = truncated || static_cast<size_t>(end - at) < bytes;
        at = truncated ? end : at + bytes;
        return truncated ? nullptr : from;
    }
    DWORD Read(size_t bytes)  // up to 4
    {
        DWORD value = 0;
        if (const BYTE* from = Take(bytes))
            std::memcpy(&value, from, bytes);
        return value;
    }
    int Short() { return static_cast<short>(Read(2)); }
    // A string, shown quoted (anything beyond ASCII as '?': our texts are all
    // ASCII), or 0xFFFF and an ordinal. Window classes unquoted in capitals, and
    // the predefined ones by name, since the system takes either spelling.
    std::string Name(bool windowClass = false)
    {
        static const char* const kClasses[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
        DWORD unit = Read(2);
        if (unit == 0xFFFF) {
            const DWORD ordinal = Read(2);
            return windowClass && ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80] : Format("ordinal %lu", ordinal);
        }
        std::string text;
        for (; unit != 0 && !truncated; unit = Read(2))
            text += unit < 0x80 ? static_cast<char>(windowClass ? std::toupper(unit) : unit) : '?';
        return windowClass ? text : "\"" + text + "\"";
    }
};

void CheckControls(TemplateReader& in, const ExpectedDialog& want, unsigned count)
{
    unsigned wanted = 0;
    while (wanted < 6 && want.controls[wanted].windowClass)
        ++wanted;
    ok(count == wanted, "dialog %u has %u controls, expected %u", want.id, count, wanted);
    const char* const kControl = "%d %s %s at %d,%d size %d x %d, style %#lx, extended %#lx";
    for (unsigned i = 0; i < wanted && i < count && !in.truncated; ++i) {
        in.Take((4 - (in.at - in.begin) % 4) % 4);  // each control starts on a DWORD boundary
        in.Read(4);  // help ID
        const DWORD exStyle = in.Read(4), style = in.Read(4);
        const int x = in.Short(), y = in.Short(), cx = in.Short(), cy = in.Short();
        const int id = static_cast<int>(in.Read(4));
        const std::string windowClass = in.Name(true), text = in.Name();
        in.Take(in.Read(2));  // creation data, which none of ours has
        const std::string got = Format(kControl, id, windowClass.c_str(), text.c_str(), x, y, cx, cy, style, exStyle);
        const ExpectedControl& c = want.controls[i];
        std::string wantClass = c.windowClass;
        CharUpperA(&wantClass[0]);
        const std::string wantText = c.text ? "\"" + std::string(c.text) + "\"" : Format("ordinal %u", c.icon);
        const std::string expected = Format(kControl, c.id, wantClass.c_str(), wantText.c_str(), c.x, c.y, c.cx, c.cy, c.style, 0ul);
        ok(got == expected, "dialog %u control %u:\n  got      %s\n  expected %s", want.id, i + 1, got.c_str(), expected.c_str());
    }
}

void CheckDialog(HMODULE exe, const ExpectedDialog& want)
{
    const HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(want.id), RT_DIALOG);
    const BYTE* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(exe, found))) : nullptr;
    ok(data != nullptr, "dialog %u is missing: error %lu", want.id, GetLastError());
    if (!data)
        return;
    TemplateReader in{data, data, data + SizeofResource(exe, found)};
    const DWORD version = in.Read(2), signature = in.Read(2);
    in.Read(4);  // help ID
    const DWORD exStyle = in.Read(4), style = in.Read(4), count = in.Read(2);
    in.Read(4);  // position, which DS_CENTER overrides
    const int cx = in.Short(), cy = in.Short();
    const std::string menu = in.Name(), windowClass = in.Name(), caption = in.Name();
    std::string font = "none";
    if (style & DS_SETFONT) {
        const DWORD pointSize = in.Read(2), weight = in.Read(2), italic = in.Read(1), charset = in.Read(1);
        font = Format("%lu pt, weight %lu, italic %lu, charset %lu, %s", pointSize, weight, italic, charset, in.Name().c_str());
    }
    // Version 1 and 0xFFFF: the extended template this reader reads.
    const char* const kHeader = "version %lu %#lx, style %#lx, extended %#lx, size %d x %d, menu %s, class %s, caption %s, font %s";
    const std::string got = Format(kHeader, version, signature, style, exStyle, cx, cy, menu.c_str(), windowClass.c_str(),
                                   caption.c_str(), font.c_str());
    const std::string expected = Format(kHeader, 1ul, 0xFFFFul, want.style, want.exStyle, want.cx, want.cy, "\"\"", "\"\"",
        ("\"" + std::string(want.caption) + "\"").c_str(),
        Format("%u pt, weight %u, italic %u, charset %u, \"%s\"", want.pointSize, want.weight, want.italic, want.charset, want.face).c_str());
    ok(got == expected, "dialog %u:\n  got      %s\n  expected %s", want.id, got.c_str(), expected.c_str());
    CheckControls(in, want, count);
    ok(!in.truncated, "dialog %u: the template ends early", want.id);
}

}  // namespace

void TestDialogTemplates(const char* exePath)
{
    const HMODULE exe = exePath ? LoadLibraryExA(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    ok(exe != nullptr, "cannot load the exe to check, %s: error %lu", exePath ? exePath : "none given", GetLastError());
    if (!exe)
        return;
    for (const ExpectedDialog& dialog : kDialogs)
        CheckDialog(exe, dialog);
    FreeLibrary(exe);
}
