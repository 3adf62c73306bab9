// The whole run: screens, confirmation, transfer, and its end.
#include "run/run_state.h"

#include "resources/resource.h"
#include "run/command_line.h"
#include "run/screen_table.h"
#include "run/system_library.h"

namespace {

constexpr const char* kCaptureDoneText = "Diskette image has been created.";
constexpr const char* kCaptureDoneCaption = "Utility Complete";
constexpr const char* kWorkerNotStartedText = "The diskette transfer could not be started.";
constexpr const char* kWorkerNotStartedCaption = "Partition Deletion Application";

constexpr UINT kRestartFlags = EWX_REBOOT;
constexpr DWORD kRestartReserved = 4;

constexpr const char* kCommonControlsLibrary = "comctl32.dll";

// Registers the progress bar's class before any window is made. The library
// is taken from the system folder rather than imported, which would let a
// copy beside the program load first; it stays loaded for the whole run.
void RegisterCommonControls()
{
    using InitCommonControlsProc = void(WINAPI*)();
    const HMODULE commonControls = LoadSystemLibrary(kCommonControlsLibrary);
    if (const auto init = LibraryProc<InitCommonControlsProc>(commonControls, "InitCommonControls"))
        init();
}

bool IsAnsiLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

// Shows one row of the screen table; 0 when it was accepted.
int ShowScreen(HINSTANCE instance, int row, bool mustReadToEnd)
{
    const ScreenSpec& screen = ScreenTable[row];
    return ShowDocumentScreen(instance, screen.file, screen.title, screen.heading, screen.prompt,
                              screen.acceptLabel, screen.declineLabel, mustReadToEnd);
}

bool ShowPreTransferScreens(HINSTANCE instance)
{
    for (int row = 0; row < kPreTransferScreenCount; ++row)
        if (ShowScreen(instance, row, row == kLicenceScreen) != 0)
            return false;
    return true;
}

// Pumps the thread's messages until the progress window posts the quit
// message; returns the exit code it carries.
int RunMessageLoop(HWND progressWindow)
{
    MSG message;
    BOOL fetched;
    while ((fetched = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (fetched == -1)
            return 0;
        if (!IsDialogMessageA(progressWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

void FinishCreateRun(HINSTANCE instance)
{
    if (ShowScreen(instance, kClosingScreen, false) != 0)
        return;
    for (int row = 0; row < kDeletedScreenCount; ++row)
        DeleteFileA(ScreenTable[row].file);
    ExitWindowsEx(kRestartFlags, kRestartReserved);
}

}  // namespace

int RunProgram(HINSTANCE instance, const char* commandLineTail)
{
    runState.directDevice = IsDirectDeviceFamily();
    RegisterCommonControls();

    const CommandLineOptions options = ParseCommandLine(commandLineTail, IsAnsiLeadByte);
    runState.captureMode = options.captureMode;
    runState.imageFileName = options.imageFileName;
    runState.transferSucceeded = false;

    if (!runState.captureMode && !ShowPreTransferScreens(instance))
        return kExitScreenNotAccepted;

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, SimpleDialogProc, 0) != IDOK)
        return kExitNotConfirmed;

    HWND progressWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, SimpleDialogProc, 0);
    if (!progressWindow)
        return static_cast<int>(GetLastError());
    runState.progressWindow = progressWindow;
    ShowWindow(progressWindow, SW_SHOW);

    DWORD workerId;  // the 9x family fails CreateThread without somewhere to put it
    runState.workerThread =
        CreateThread(nullptr, 0, runState.captureMode ? ReadWorker : WriteWorker, nullptr, 0, &workerId);
    if (!runState.workerThread) {
        // Without a worker nothing would ever close the progress window.
        const DWORD error = GetLastError();
        MessageBoxA(nullptr, kWorkerNotStartedText, kWorkerNotStartedCaption, MB_OK | MB_ICONERROR);
        return static_cast<int>(error);
    }

    const int exitCode = RunMessageLoop(progressWindow);

    if (runState.captureMode) {
        if (runState.transferSucceeded)
            MessageBoxA(nullptr, kCaptureDoneText, kCaptureDoneCaption, MB_OK | MB_ICONINFORMATION);
    } else if (runState.transferSucceeded && !runState.directDevice) {
        FinishCreateRun(instance);
    }
    return exitCode;
}
