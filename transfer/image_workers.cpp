// The worker threads that move the image between its file and the diskette.
// Every failure is a return value here (the program is built without C++
// exceptions), so each path below ends by closing what it opened and the
// progress window.
#include <windows.h>

#include "resources/resource.h"
#include "run/run_state.h"
#include "transfer/disk_geometry.h"
#include "transfer/image_save.h"
#include "transfer/track_transfer.h"

namespace {

constexpr const char* kCannotOpenText = "Could not open file.";
constexpr const char* kCannotOpenCaption = "Error";
constexpr const char* kCorruptImageText = "Disk Image is corrupt...unable to create disk.";
constexpr const char* kCorruptImageCaption = "File Read Error";
constexpr const char* kNoMemoryText = "There is not enough memory to hold the diskette image.";
constexpr const char* kNoMemoryCaption = "Error";
constexpr const char* kWindowMissingDebugLine = "Window was not detected\r\n";

constexpr int kWindowWaitTries = 20;
constexpr DWORD kWindowWaitInterval = 500;
constexpr DWORD kWindowMissingExitCode = static_cast<DWORD>(-1);

// The DiskImage: the whole diskette, zero-filled (as fresh pages always
// are), in logical sector order. A verified write gets room for one track
// read back right after it, sector-aligned as unbuffered reads need.
unsigned char* AllocateDiskImage(bool withReadBack = false)
{
    const SIZE_T size = DiskGeometry::imageSize + (withReadBack ? DiskGeometry::bytesPerTrack : 0);
    auto* image = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!image)
        MessageBoxA(nullptr, kNoMemoryText, kNoMemoryCaption, MB_OK | MB_ICONERROR);
    return image;
}

void FreeDiskImage(unsigned char* image)
{
    VirtualFree(image, 0, MEM_RELEASE);
}

HWND ProgressBar()
{
    return GetDlgItem(runState.progressWindow, IDC_PROGRESS_BAR);
}

void CloseProgressWindow()
{
    SendMessageA(runState.progressWindow, WM_CLOSE, 0, 0);
}

bool WaitForProgressWindow()
{
    for (int tries = 0; !IsWindow(runState.progressWindow) && tries < kWindowWaitTries; ++tries)
        Sleep(kWindowWaitInterval);
    return IsWindow(runState.progressWindow) != FALSE;
}

void LoadAndWriteImage(unsigned char* image)
{
    const char* name = runState.imageFileName;
    HANDLE file = ImageNameFits(name)
                      ? CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        MessageBoxA(nullptr, kCannotOpenText, kCannotOpenCaption, MB_OK);
        return;
    }
    DWORD bytesRead = 0;
    ReadFile(file, image, DiskGeometry::imageSize, &bytesRead, nullptr);
    if (bytesRead != static_cast<DWORD>(DiskGeometry::imageSize))
        MessageBoxA(nullptr, kCorruptImageText, kCorruptImageCaption, MB_OK | MB_ICONERROR);
    else
        runState.transferSucceeded =
            WriteDisk(image, ProgressBar(), runState.verify ? image + DiskGeometry::imageSize : nullptr);
    CloseHandle(file);
}

}  // namespace

DWORD WINAPI WriteWorker(LPVOID)
{
    if (!WaitForProgressWindow()) {
        OutputDebugStringA(kWindowMissingDebugLine);
        return kWindowMissingExitCode;
    }
    if (unsigned char* image = AllocateDiskImage(runState.verify)) {
        LoadAndWriteImage(image);
        FreeDiskImage(image);
    }
    CloseProgressWindow();
    return 0;
}

DWORD WINAPI ReadWorker(LPVOID)
{
    if (unsigned char* image = AllocateDiskImage()) {
        // Once the run has ended (the user closed the progress window) no
        // save begins: the process is about to end under it.
        if (ReadDisk(image, ProgressBar()) && BeginImageSave()) {
            const bool saved = SaveImage(image);
            if (saved)
                runState.transferSucceeded = true;
            EndImageSave();
            if (!saved)
                MessageBoxA(nullptr, kCannotOpenText, kCannotOpenCaption, MB_OK);
        }
        FreeDiskImage(image);
    }
    CloseProgressWindow();
    return 0;
}
