// One modal screen showing a rich-text file with a heading, a prompt and two buttons.
#include "screens/document_screen.h"

#include "resources/resource.h"
#include "run/run_state.h"
#include "run/system_library.h"

std::atomic<bool> mustReadToEnd{false};

namespace {

constexpr const char* kNoFileText = "<path and filename of RTF required>";
constexpr const char* kNoFileCaption = "No RTF file given";
constexpr const char* kBadFileText = "Invalid filename.";
constexpr const char* kBadFileCaption = "Error";
constexpr const char* kTooLargeText = "The document is too large to show.";
constexpr const char* kTooLargeCaption = "Error";
constexpr const char* kNotShownText = "Unable to show agreement properly";
constexpr const char* kNotShownCaption = "Agreement Dialog Error";
constexpr const char* kNotAcceptedDebugFormat = "Win error = %d\r\n";
constexpr const char* kRichEditLibrary = "riched32.dll";

constexpr int kTwipsPerInch = 1440;
constexpr int kDefaultDpi = 96;
constexpr int kLineWidthMargin = 350;  // twips kept clear of the right edge
constexpr int kTextSlotSize = 2048;
// Far above any real agreement or instruction; the rich-edit control needs
// about a hundred times a document's size in memory and seconds per
// megabyte, and fails on tens of megabytes.
constexpr DWORD kMaxDocumentBytes = 1024 * 1024;
// Wheel rotation per line scrolled: three lines a notch, the system's default.
constexpr int kWheelDeltaPerLine = WHEEL_DELTA / 3;
constexpr int kNoScroll = -1;

// One screen at a time, so one set of state for the process.
struct DocumentScreenState {
    char title[kTextSlotSize]{};
    char heading[kTextSlotSize]{};
    char prompt[kTextSlotSize]{};
    char acceptLabel[kTextSlotSize]{};
    char declineLabel[kTextSlotSize]{};
    HANDLE documentFile = nullptr;  // open only while a screen starts
    HINSTANCE instance = nullptr;
    HANDLE watcherThread = nullptr;  // kept, never waited on or closed
    // Set only by a press of the accept button. A modal loop that meets a
    // quit message ends with the dialog manager's default result, IDOK,
    // although nobody pressed anything.
    bool acceptPressed = false;
    HWND window = nullptr;     // the screen showing, for the key filter
    HHOOK keyFilter = nullptr;  // removed when the screen ends
    int wheelRest = 0;          // rotation not yet scrolled: fine wheels turn in small steps
};

DocumentScreenState screen;

// The file's size, all 64 bits of it; false when the platform cannot tell.
bool GetDocumentSize(HANDLE file, ULONGLONG& size)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    size = (static_cast<ULONGLONG>(high) << 32) | low;
    return true;
}

// The screen's pixels per inch. Lines laid out at 96 DPI's 15 twips a pixel
// would run past the editor's right edge at 120 or 144 DPI. GDI32 is always
// loaded by USER32, so it is looked up rather than imported.
int ScreenDpi(HDC context)
{
    using GetDeviceCapsProc = int(WINAPI*)(HDC, int);
    const auto getDeviceCaps = LibraryProc<GetDeviceCapsProc>(GetModuleHandleA("gdi32.dll"), "GetDeviceCaps");
    const int dpi = getDeviceCaps && context ? getDeviceCaps(context, LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : kDefaultDpi;
}

void SetLineWidth(HWND window)
{
    HDC context = GetDC(window);
    RECT client;
    GetClientRect(GetDlgItem(window, IDC_DOC_EDITOR), &client);
    const LONG lineWidth = (client.right - client.left) * kTwipsPerInch / ScreenDpi(context) - kLineWidthMargin;
    SendDlgItemMessageA(window, IDC_DOC_EDITOR, EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(context), lineWidth);
    ReleaseDC(window, context);
}

// Streams the document into the editor. Only bytes actually read are
// streamed; a file that cannot be sized or buffered shows an empty editor.
void LoadDocument(HWND window)
{
    ULONGLONG size = 0;
    unsigned char* bytes = nullptr;
    DWORD bytesRead = 0;
    if (GetDocumentSize(screen.documentFile, size) && size > 0 && size <= kMaxDocumentBytes) {
        bytes = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, static_cast<SIZE_T>(size), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (bytes)
            ReadFile(screen.documentFile, bytes, static_cast<DWORD>(size), &bytesRead, nullptr);
    }
    DocumentStreamSource source{bytes, 0, static_cast<LONG>(bytesRead)};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, StreamFromBuffer};
    // The rich-edit code of Windows 2000 and later stops an RTF stream at the
    // control's text limit, 32,767 characters unless raised: a longer licence
    // would be cut, and its cut end would pass for the end of the licence.
    SendDlgItemMessageA(window, IDC_DOC_EDITOR, EM_EXLIMITTEXT, 0, kMaxDocumentBytes);
    SendDlgItemMessageA(window, IDC_DOC_EDITOR, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    SendDlgItemMessageA(window, IDC_DOC_EDITOR, EM_SETMODIFY, FALSE, 0);
    if (bytes)
        VirtualFree(bytes, 0, MEM_RELEASE);
    CloseHandle(screen.documentFile);
    screen.documentFile = INVALID_HANDLE_VALUE;
}

void ScrollEditor(int request, int times)
{
    for (; times > 0; --times)
        SendDlgItemMessageA(screen.window, IDC_DOC_EDITOR, WM_VSCROLL, request, 0);
}

// The editor has no tab stop, so the focus sits on a button, which ignores
// the paging keys; the wheel goes to the focus as well (before Windows 10) or
// to whatever is under the pointer. The modal loop is the dialog manager's,
// and its message filter sees both before they are dispatched. The editor
// keeps its own keys and wheel, and a message box over the screen its keys.
// Windows 95 has no WM_MOUSEWHEEL (its wheel software sends a message of its
// own), so there only the keys scroll.
LRESULT CALLBACK ScrollKeysFilter(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG& message = *reinterpret_cast<const MSG*>(lParam);
    const bool wheel = message.message == WM_MOUSEWHEEL;
    if (code != MSGF_DIALOGBOX || (message.message != WM_KEYDOWN && !wheel) ||
        message.hwnd == GetDlgItem(screen.window, IDC_DOC_EDITOR) ||
        (message.hwnd != screen.window && !IsChild(screen.window, message.hwnd)))
        return CallNextHookEx(screen.keyFilter, code, wParam, lParam);
    if (wheel) {
        // A fine wheel turns in small steps, kept until they make a line.
        screen.wheelRest += static_cast<short>(HIWORD(message.wParam));
        const int lines = screen.wheelRest / kWheelDeltaPerLine;
        screen.wheelRest -= lines * kWheelDeltaPerLine;
        ScrollEditor(lines > 0 ? SB_LINEUP : SB_LINEDOWN, lines > 0 ? lines : -lines);
        return TRUE;
    }
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const int request = message.wParam == VK_NEXT              ? SB_PAGEDOWN
                        : message.wParam == VK_PRIOR           ? SB_PAGEUP
                        : message.wParam == VK_END && control  ? SB_BOTTOM
                        : message.wParam == VK_HOME && control ? SB_TOP
                                                               : kNoScroll;
    if (request == kNoScroll)
        return CallNextHookEx(screen.keyFilter, code, wParam, lParam);
    ScrollEditor(request, 1);
    return TRUE;
}

void InitDocumentDialog(HWND window)
{
    SetWindowTextA(window, screen.title);
    SetDlgItemTextA(window, IDOK, screen.acceptLabel);
    SetDlgItemTextA(window, IDC_DOC_HEADING, screen.heading);
    SetDlgItemTextA(window, IDC_DOC_PROMPT, screen.prompt);
    SetDlgItemTextA(window, IDCANCEL, screen.declineLabel);
    SetLineWidth(window);
    LoadDocument(window);
    if (mustReadToEnd) {
        EnableWindow(GetDlgItem(window, IDOK), FALSE);
        DWORD watcherId;  // the 9x family fails CreateThread without somewhere to put it
        screen.watcherThread =
            CreateThread(nullptr, 0, ReadToEndWatcher, GetDlgItem(window, IDC_DOC_EDITOR), 0, &watcherId);
    }
    screen.window = window;
    screen.wheelRest = 0;
    screen.keyFilter = SetWindowsHookExA(WH_MSGFILTER, ScrollKeysFilter, nullptr, GetCurrentThreadId());
}

}  // namespace

INT_PTR CALLBACK DocumentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDocumentDialog(window);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            screen.acceptPressed = true;
            EndDialog(window, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, IDCANCEL);
        }
        return TRUE;
    case WM_DOCUMENT_NOT_SHOWN:
        MessageBoxA(window, kNotShownText, kNotShownCaption, MB_OK | MB_ICONERROR);
        EndDialog(window, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

int ShowDocumentScreen(HINSTANCE instance, const char* file, const char* title, const char* heading,
                       const char* prompt, const char* acceptLabel, const char* declineLabel, bool readToEnd)
{
    mustReadToEnd = readToEnd;
    if (!file || !*file) {
        MessageBoxA(nullptr, kNoFileText, kNoFileCaption, MB_OK | MB_ICONINFORMATION);
        return -1;
    }
    screen.documentFile = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (screen.documentFile == INVALID_HANDLE_VALUE) {
        MessageBoxA(nullptr, kBadFileText, kBadFileCaption, MB_OK | MB_ICONERROR);
        return -1;
    }
    ULONGLONG size = 0;
    if (GetDocumentSize(screen.documentFile, size) && size > kMaxDocumentBytes) {
        CloseHandle(screen.documentFile);
        screen.documentFile = INVALID_HANDLE_VALUE;
        MessageBoxA(nullptr, kTooLargeText, kTooLargeCaption, MB_OK | MB_ICONERROR);
        return -1;
    }
    screen.instance = instance;
    lstrcpynA(screen.title, title, kTextSlotSize);
    lstrcpynA(screen.heading, heading, kTextSlotSize);
    lstrcpynA(screen.prompt, prompt, kTextSlotSize);
    lstrcpynA(screen.acceptLabel, acceptLabel, kTextSlotSize);
    lstrcpynA(screen.declineLabel, declineLabel, kTextSlotSize);

    HMODULE richEdit = LoadSystemLibrary(kRichEditLibrary);
    screen.acceptPressed = false;
    const INT_PTR result =
        DialogBoxParamA(screen.instance, MAKEINTRESOURCEA(IDD_DOCUMENT), nullptr, DocumentDialogProc, 0);
    const bool accepted = result == IDOK && screen.acceptPressed;
    if (!accepted) {
        char line[64];
        wsprintfA(line, kNotAcceptedDebugFormat, static_cast<int>(GetLastError()));
        OutputDebugStringA(line);
    }
    if (screen.keyFilter) {
        UnhookWindowsHookEx(screen.keyFilter);
        screen.keyFilter = nullptr;
    }
    if (richEdit)
        FreeLibrary(richEdit);
    if (screen.documentFile != INVALID_HANDLE_VALUE) {
        CloseHandle(screen.documentFile);
        screen.documentFile = INVALID_HANDLE_VALUE;
    }
    return accepted ? 0 : 1;
}
