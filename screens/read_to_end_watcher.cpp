// Enables the licence's accept button once the text has been scrolled to its end.
#include "screens/document_screen.h"

namespace {

constexpr DWORD kPollInterval = 100;
constexpr int kVisibilityPolls = 100;
constexpr DWORD kGaveUpExitCode = static_cast<DWORD>(-1);

bool WaitUntilVisible(HWND editor)
{
    for (int polls = 0; !IsWindowVisible(editor) && polls < kVisibilityPolls; ++polls)
        Sleep(kPollInterval);
    return IsWindowVisible(editor) != FALSE;
}

// A window that is gone has no rectangle: never at its end.
bool ScrolledToEnd(HWND editor)
{
    RECT frame;
    if (!GetWindowRect(editor, &frame))
        return false;
    const int height = frame.bottom - frame.top;
    int minimum = 0;
    int maximum = 0;
    GetScrollRange(editor, SB_VERT, &minimum, &maximum);
    return GetScrollPos(editor, SB_VERT) >= maximum - height;
}

}  // namespace

DWORD WINAPI ReadToEndWatcher(LPVOID parameter)
{
    HWND editor = static_cast<HWND>(parameter);
    if (!WaitUntilVisible(editor)) {
        HWND document = GetParent(editor);
        if (!IsWindow(document))
            return 0;  // the screen is already gone; nobody is left to tell
        SendMessageA(document, WM_DOCUMENT_NOT_SHOWN, 0, 0);
        return kGaveUpExitCode;
    }
    while (IsWindowVisible(editor) && mustReadToEnd) {
        if (ScrolledToEnd(editor) && mustReadToEnd.exchange(false))
            EnableWindow(GetDlgItem(GetParent(editor), IDOK), TRUE);
        Sleep(kPollInterval);
    }
    return 0;
}
