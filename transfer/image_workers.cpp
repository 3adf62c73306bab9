// The worker threads that move the image between its file and the diskette.
// Every failure is a return value here (the program is built without C++
// exceptions), so each path below ends by closing what it opened and the
// progress window.
#include <windows.h>

#include "resources/resource.h"
#include "run/run_state.h"
#include "run/system_library.h"
#include "transfer/disk_geometry.h"
#include "transfer/track_transfer.h"

namespace {

constexpr const char* kCannotOpenText = "Could not open file.";
constexpr const char* kCannotOpenCaption = "Error";
constexpr const char* kCorruptImageText = "Disk Image is corrupt...unable to create disk.";
constexpr const char* kCorruptImageCaption = "File Read Error";
constexpr const char* kNoMemoryText = "There is not enough memory to hold the diskette image.";
constexpr const char* kNoMemoryCaption = "Error";
constexpr const char* kWindowMissingDebugLine = "Window was not detected\r\n";
constexpr const char* kTempFilePrefix = "sdk";
constexpr const char* kKeptNewImageDebugFormat = "New image kept as %s\r\n";
constexpr const char* kKeptOldImageDebugFormat = "Previous image kept as %s\r\n";

constexpr int kWindowWaitTries = 20;
constexpr DWORD kWindowWaitInterval = 500;
constexpr DWORD kWindowMissingExitCode = static_cast<DWORD>(-1);
// GetTempFileNameA needs room for its own "sdkXXXX.tmp" after the folder.
constexpr DWORD kTempNameRoom = 14;

// The DiskImage: the whole diskette, zero-filled (as fresh pages always
// are), in logical sector order.
unsigned char* AllocateDiskImage()
{
    auto* image = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, DiskGeometry::imageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
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

// The platform's ANSI file functions take names of fewer than MAX_PATH
// characters; a longer one is refused before it reaches them.
bool ImageNameFits()
{
    return lstrlenA(runState.imageFileName) < MAX_PATH;
}

void LoadAndWriteImage(unsigned char* image)
{
    HANDLE file = ImageNameFits() ? CreateFileA(runState.imageFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr)
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
        runState.transferSucceeded = WriteDisk(image, ProgressBar());
    CloseHandle(file);
}

// The folder of the image file, with its trailing separator; found by the
// platform so that double-byte names split at a character boundary.
bool ImageFolder(char (&folder)[MAX_PATH])
{
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(runState.imageFileName, MAX_PATH, folder, &filePart);
    if (length == 0 || length >= MAX_PATH || !filePart || filePart - folder >= static_cast<long>(MAX_PATH - kTempNameRoom))
        return false;
    *filePart = '\0';
    return true;
}

// Virus scanners and indexers hold a file that was just written or renamed
// for a moment. A refusal of that kind passes, so the call is tried again
// for about a second before it counts as failed.
constexpr int kHeldFileTries = 10;
constexpr DWORD kHeldFileWait = 100;

bool RefusalPasses(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

template <typename FileCall>
bool TryWhileHeld(FileCall call)
{
    for (int tries = 1;; ++tries) {
        if (call())
            return true;
        if (tries == kHeldFileTries || !RefusalPasses(GetLastError()))
            return false;
        Sleep(kHeldFileWait);
    }
}

bool MoveWhileHeld(const char* from, const char* to)
{
    return TryWhileHeld([=] { return MoveFileA(from, to) != FALSE; });
}

bool DeleteWhileHeld(const char* path)
{
    return TryWhileHeld([=] { return DeleteFileA(path) != FALSE; });
}

// Debugger output naming a file the user may need to know about.
void ReportKeptFile(const char* format, const char* path)
{
    char line[MAX_PATH + 64];
    wsprintfA(line, format, path);
    OutputDebugStringA(line);
}

bool WriteWholeFile(const char* path, const unsigned char* image)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    TryWhileHeld([&] {
        file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, image, DiskGeometry::imageSize, &written, nullptr);
    const BOOL closed = CloseHandle(file);
    return wrote && closed && written == static_cast<DWORD>(DiskGeometry::imageSize);
}

enum class Placement {
    Placed,     // the new image stands under the image's name
    NotPlaced,  // nothing changed; the saved file may go
    Kept,       // neither file could be put in place: both are kept
};

// The NT family replaces the image in one step, so that no moment passes
// without a file under its name. The 9x family only stubs MoveFileExA.
bool ReplaceInOneStep(const char* saved, const char* target)
{
    using MoveFileExProc = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    const auto moveFileEx = KernelProc<MoveFileExProc>("MoveFileExA");
    return moveFileEx &&
           TryWhileHeld([=] { return moveFileEx(saved, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE; });
}

// The 9x family: the old image is renamed aside and deleted only once the
// new one stands in its place; when the new one cannot be moved in, the old
// one is put back.
Placement ReplaceThroughAside(const char* saved, const char* target, const char* folder)
{
    char aside[MAX_PATH];
    if (!GetTempFileNameA(folder, kTempFilePrefix, 0, aside))
        return Placement::NotPlaced;
    // Only its name is wanted, and MoveFileA replaces nothing.
    if (!DeleteWhileHeld(aside) || !MoveWhileHeld(target, aside))
        return Placement::NotPlaced;
    if (!MoveWhileHeld(saved, target)) {
        if (MoveWhileHeld(aside, target))
            return Placement::NotPlaced;
        ReportKeptFile(kKeptNewImageDebugFormat, saved);
        ReportKeptFile(kKeptOldImageDebugFormat, aside);
        return Placement::Kept;
    }
    if (!DeleteWhileHeld(aside))
        ReportKeptFile(kKeptOldImageDebugFormat, aside);
    return Placement::Placed;
}

// Puts the saved file in the image's place.
Placement PutInPlace(const char* saved, const char* folder)
{
    const char* target = runState.imageFileName;
    const DWORD attributes = GetFileAttributesA(target);
    // Neither is ours to replace: opening them for writing would fail too.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return Placement::NotPlaced;
    if (runState.directDevice)
        return ReplaceInOneStep(saved, target) ? Placement::Placed : Placement::NotPlaced;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MoveWhileHeld(saved, target) ? Placement::Placed : Placement::NotPlaced;
    return ReplaceThroughAside(saved, target, folder);
}

// The image goes to a new file beside the target first, so that a failed
// save never destroys the previous image nor passes for a finished one.
bool SaveImage(const unsigned char* image)
{
    char folder[MAX_PATH];
    char saved[MAX_PATH];
    if (!*runState.imageFileName || !ImageNameFits() || !ImageFolder(folder) ||
        !GetTempFileNameA(folder, kTempFilePrefix, 0, saved))
        return false;
    const Placement placement = WriteWholeFile(saved, image) ? PutInPlace(saved, folder) : Placement::NotPlaced;
    if (placement == Placement::NotPlaced && !DeleteWhileHeld(saved))
        ReportKeptFile(kKeptNewImageDebugFormat, saved);
    return placement == Placement::Placed;
}

}  // namespace

DWORD WINAPI WriteWorker(LPVOID)
{
    if (!WaitForProgressWindow()) {
        OutputDebugStringA(kWindowMissingDebugLine);
        return kWindowMissingExitCode;
    }
    if (unsigned char* image = AllocateDiskImage()) {
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
