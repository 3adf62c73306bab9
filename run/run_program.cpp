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

// Time for the worker to finish its track and unlock drive A: after the
// user ended the run; a verified track takes well under a second.
constexpr DWORD kLockReleaseWait = 5000;
// How soon a retry prompt that comes up during that time is answered.
constexpr DWORD kPromptLookInterval = 100;

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

// The image file's name as the file calls need it, ending in a NUL. A name
// that runs to the end of the command line already does, and is used where
// it stands; a quoted one is copied out of it. One too long for any path is
// left running on to the end of the line, longer still, so that it fails as
// every over-long name does.
const char* TerminatedImageFileName(std::string_view name)
{
    static char quotedName[MAX_PATH];
    if (name.data()[name.size()] == '\0' || name.size() >= MAX_PATH)
        return name.data();
    lstrcpynA(quotedName, name.data(), static_cast<int>(name.size()) + 1);
    return quotedName;
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

// Every kind of message a window of this thread can get. QS_ALLINPUT of
// newer headers adds QS_RAWINPUT, which Windows before XP refuses.
constexpr DWORD kAnyMessage =
    QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;

void DispatchRunMessage(HWND progressWindow, MSG& message)
{
    if (!IsDialogMessageA(progressWindow, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Serves the thread's windows until the worker has ended, so that its
// progress messages and its closing of the progress window go through, and
// then handles what is still queued, such as a close of the progress window
// the user made as the run ended. With stopAtQuit a quit message ends the
// wait early (and its exit code is returned); otherwise quits are dropped:
// the run's loop is over, and a quit left waiting would end the next modal
// window at once.
int ServeUntilWorkerEnds(HWND progressWindow, bool stopAtQuit, DWORD timeLimit = INFINITE)
{
    const DWORD start = GetTickCount();
    for (bool workerEnded = false;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT)
                DispatchRunMessage(progressWindow, message);
            else if (stopAtQuit)
                return static_cast<int>(message.wParam);
        }
        if (workerEnded)
            return 0;
        DWORD wait = INFINITE;
        if (timeLimit != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            wait = spent < timeLimit ? timeLimit - spent : 0;
        }
        // Anything but a waiting message means the worker has ended, the
        // time is up, or the wait itself failed: one more round for what is
        // left.
        workerEnded =
            MsgWaitForMultipleObjects(1, &runState.workerThread, FALSE, wait, kAnyMessage) != WAIT_OBJECT_0 + 1;
    }
}

// Pumps the thread's messages until the progress window posts the quit
// message; returns the exit code it carries.
int RunMessageLoop(HWND progressWindow)
{
    MSG message;
    BOOL fetched;
    while ((fetched = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        // A failed fetch must not end the run under a worker that is still
        // moving tracks: it ends like the loop once the worker has.
        if (fetched == -1)
            return ServeUntilWorkerEnds(progressWindow, true);
        DispatchRunMessage(progressWindow, message);
    }
    return static_cast<int>(message.wParam);
}

BOOL CALLBACK CancelRetryPrompt(HWND window, LPARAM)
{
    // The worker's only windows owned by the progress window are its retry
    // prompts; Cancel there ends the transfer.
    if (GetWindow(window, GW_OWNER) == runState.progressWindow)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

// Lets a worker that holds drive A: locked end, and unlock it, before the
// run ends: a retry prompt up now, or coming up meanwhile, is answered
// Cancel, since nobody is left to answer it. Bounded, so that a drive that
// never answers cannot hang the end of the run.
void LetWorkerReleaseDriveA(HWND progressWindow)
{
    const DWORD start = GetTickCount();
    // Only the worker's end is its end: a wait that fails tells nothing, and
    // the bound still ends the loop.
    while (WaitForSingleObject(runState.workerThread, 0) != WAIT_OBJECT_0 &&
           GetTickCount() - start < kLockReleaseWait) {
        EnumThreadWindows(runState.workerThreadId, CancelRetryPrompt, 0);
        ServeUntilWorkerEnds(progressWindow, false, kPromptLookInterval);
    }
}

// A verified write on the 9x family holds drive A: locked during its
// transfer. Known from the start, so that no moment of the transfer (such as
// a reopen before a retry) can be missed.
bool WorkerLocksDriveA()
{
    return !runState.directDevice && runState.verify && !runState.captureMode;
}

// The loop has ended: decides the run's outcome, once. A save under way is
// let finish before the process ends, and its end is the outcome. Otherwise
// the outcome is what the worker has recorded by now (a close of the window
// ends a transfer as failed); after a success its own closing of the
// progress window is awaited, so that it cannot reach the closing screen or
// the completion message. The worker may record a success just after the
// reading, so nothing reads the record again.
bool SettleWorker(HWND progressWindow)
{
    if (ImageSaveUnderWay()) {
        ServeUntilWorkerEnds(progressWindow, false);
        return runState.transferSucceeded;
    }
    const bool succeeded = runState.transferSucceeded;
    if (succeeded)
        ServeUntilWorkerEnds(progressWindow, false);
    else if (WorkerLocksDriveA())
        // Nothing says Windows 95/98 free a volume lock when its process
        // ends: the worker, which stops after the track in progress once
        // the window is hidden, must unlock drive A: first.
        LetWorkerReleaseDriveA(progressWindow);
    return succeeded;
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
    runState.verify = options.verify;
    runState.imageFileName = TerminatedImageFileName(options.imageFileName);
    runState.transferSucceeded = false;

    if (!runState.captureMode && !ShowPreTransferScreens(instance))
        return kExitScreenNotAccepted;

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, SimpleDialogProc, 0) != IDOK)
        return kExitNotConfirmed;

    HWND progressWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, SimpleDialogProc, 0);
    if (!progressWindow)
        return FailureExitCode(GetLastError());
    runState.progressWindow = progressWindow;
    ShowWindow(progressWindow, SW_SHOW);

    // The 9x family fails CreateThread without somewhere to put the id.
    runState.workerThread = CreateThread(nullptr, 0, runState.captureMode ? ReadWorker : WriteWorker, nullptr, 0,
                                         &runState.workerThreadId);
    if (!runState.workerThread) {
        // Without a worker nothing would ever close the progress window.
        const DWORD error = GetLastError();
        MessageBoxA(nullptr, kWorkerNotStartedText, kWorkerNotStartedCaption, MB_OK | MB_ICONERROR);
        return FailureExitCode(error);
    }

    const int exitCode = RunMessageLoop(progressWindow);
    const bool succeeded = SettleWorker(progressWindow);

    if (runState.captureMode) {
        if (succeeded)
            MessageBoxA(nullptr, kCaptureDoneText, kCaptureDoneCaption, MB_OK | MB_ICONINFORMATION);
    } else if (succeeded && !runState.directDevice) {
        FinishCreateRun(instance);
    }
    const int failure = runState.failureExitCode;
    return failure != 0 ? failure : exitCode;
}
