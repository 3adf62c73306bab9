// The one record of a run, shared by the user-interface thread and the
// worker, and the routines through which the subsystems meet.
#ifndef STARTDISK_RUN_STATE_H
#define STARTDISK_RUN_STATE_H

#include <windows.h>

#include <atomic>

struct RunState {
    bool directDevice = true;   // false only on the 9x family, which needs VWIN32
    bool captureMode = false;   // diskette to image file instead of image file to diskette
    bool verify = false;        // a Create run reads every written track back and compares it
    // In the process's command line, or a copy of a quoted name: lives as
    // long as the process.
    const char* imageFileName = "";
    // Written by the worker, read by the user-interface thread once the
    // message loop has ended; atomic because the user may end the loop early.
    std::atomic<bool> transferSucceeded{false};
    HWND progressWindow = nullptr;
    HANDLE workerThread = nullptr;  // kept, never closed
    DWORD workerThreadId = 0;
    // A capture's save of the image must not be cut short by the end of the
    // process, nor begin once the run has ended (see BeginImageSave).
    std::atomic<int> savePhase{0};
    // Set when the run must end as failed with this exit code although it
    // reached its message loop, such as when a retry prompt could not be
    // shown; 0 otherwise.
    std::atomic<int> failureExitCode{0};
};

extern RunState runState;

// Exit codes of a run that ends before the message loop.
constexpr int kExitScreenNotAccepted = -1;
constexpr int kExitNotConfirmed = -2;
// The progress window or the worker could not be made and the platform gave
// no error code.
constexpr int kExitNoErrorCode = -3;

// A failure the platform gave no code for must still not pass for a run
// that reached its end (exit code 0).
int FailureExitCode(DWORD error);
// Ends the run, once its loop is over, with error as its exit code; the
// first failure recorded is the one reported.
void RecordRunFailure(DWORD error);

int RunProgram(HINSTANCE instance, const char* commandLineTail);
bool IsDirectDeviceFamily();

// The confirmation dialog and the progress window.
INT_PTR CALLBACK SimpleDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Returns 0 when accepted, 1 when ended any other way, -1 when the file name
// was empty or the file could not be opened.
int ShowDocumentScreen(HINSTANCE instance, const char* file, const char* title, const char* heading,
                       const char* prompt, const char* acceptLabel, const char* declineLabel,
                       bool mustReadToEnd);

// The worker claims the save of a captured image before it touches any file;
// false when the run has already ended and nothing may be saved any more.
bool BeginImageSave();
void EndImageSave();
// The user-interface thread, once its message loop has ended: no save may
// begin from now on. True when one is under way and must be let finish.
bool ImageSaveUnderWay();

DWORD WINAPI WriteWorker(LPVOID unused);
DWORD WINAPI ReadWorker(LPVOID unused);

#endif
