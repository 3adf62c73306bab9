// The worker threads that move the image between its file and the diskette.
#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "resources/resource.h"
#include "run/run_state.h"
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

constexpr int kWindowWaitTries = 20;
constexpr DWORD kWindowWaitInterval = 500;
constexpr DWORD kWindowMissingExitCode = static_cast<DWORD>(-1);

using DiskImage = std::unique_ptr<unsigned char[]>;

DiskImage AllocateDiskImage()
{
    DiskImage image(new (std::nothrow) unsigned char[DiskGeometry::imageSize]());
    if (!image)
        MessageBoxA(nullptr, kNoMemoryText, kNoMemoryCaption, MB_OK | MB_ICONERROR);
    return image;
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
    HANDLE file = CreateFileA(runState.imageFileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        MessageBoxA(nullptr, kCannotOpenText, kCannotOpenCaption, MB_OK);
        return;
    }
    try {
        DWORD bytesRead = 0;
        ReadFile(file, image, DiskGeometry::imageSize, &bytesRead, nullptr);
        if (bytesRead != static_cast<DWORD>(DiskGeometry::imageSize))
            MessageBoxA(nullptr, kCorruptImageText, kCorruptImageCaption, MB_OK | MB_ICONERROR);
        else
            runState.transferSucceeded = WriteDisk(image, ProgressBar());
    } catch (...) {
        // Whatever went wrong, the file is closed and the window closed below.
    }
    CloseHandle(file);
}

// The folder part of a path, with its trailing separator, or "" for the
// current folder; found by the platform so that double-byte names split right.
bool FolderOf(const std::string& path, std::string& folder)
{
    if (path.empty())
        return false;
    char* filePart = nullptr;
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return false;
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, &full[0], &filePart);
    if (length == 0 || length >= needed || !filePart)
        return false;
    folder.assign(&full[0], filePart);
    return true;
}

bool WriteWholeFile(const char* path, const unsigned char* image)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, image, DiskGeometry::imageSize, &written, nullptr);
    const BOOL closed = CloseHandle(file);
    return wrote && closed && written == static_cast<DWORD>(DiskGeometry::imageSize);
}

bool ReplaceFile9x(const char* from, const char* to)
{
    DeleteFileA(to);
    return MoveFileA(from, to) != FALSE;
}

// The image goes to a new file beside the target first, so that a failed
// save never destroys the previous image nor passes for a finished one.
bool SaveImage(const unsigned char* image)
{
    const char* target = runState.imageFileName.c_str();
    std::string folder;
    if (!FolderOf(runState.imageFileName, folder))
        return false;
    char temporary[MAX_PATH];
    if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameA(folder.c_str(), kTempFilePrefix, 0, temporary))
        return false;

    const bool saved = WriteWholeFile(temporary, image) &&
                       (runState.directDevice ? MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING) != FALSE
                                              : ReplaceFile9x(temporary, target));
    if (!saved)
        DeleteFileA(temporary);
    return saved;
}

}  // namespace

DWORD WINAPI WriteWorker(LPVOID)
{
    if (!WaitForProgressWindow()) {
        OutputDebugStringA(kWindowMissingDebugLine);
        return kWindowMissingExitCode;
    }
    try {
        DiskImage image = AllocateDiskImage();
        if (image)
            LoadAndWriteImage(image.get());
    } catch (...) {
        // Nothing may escape a thread routine; the window still closes.
    }
    CloseProgressWindow();
    return 0;
}

DWORD WINAPI ReadWorker(LPVOID)
{
    DiskImage image = AllocateDiskImage();
    if (image && ReadDisk(image.get(), ProgressBar())) {
        if (SaveImage(image.get()))
            runState.transferSucceeded = true;
        else
            MessageBoxA(nullptr, kCannotOpenText, kCannotOpenCaption, MB_OK);
    }
    image.reset();
    CloseProgressWindow();
    return 0;
}
