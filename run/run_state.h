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
    const char* imageFileName = "";  // lives as long as the process's command line
    // Written by the worker, read by the user-interface thread once the
    // message loop has ended; atomic because the user may end the loop early.
    std::atomic<bool> transferSucceeded{false};
    HWND progressWindow = nullptr;
    HANDLE workerThread = nullptr;  // kept, never closed
    DWORD workerThreadId = 0;
    // A capture's save of the image must not be cut short by the end of the
    // process, nor begin once the run has ended (see BeginImageSave).
    std::atomic<int> savePhase{0};
};

extern RunState runState;

// Exit codes of a run that ends before the message loop.
constexpr int kExitScreenNotAccepted = -1;
constexpr int kExitNotConfirmed = -2;
// The progress window or the worker could not be made and the platform gave
// no error code.
constexpr int kExitNoErrorCode = -3;

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
