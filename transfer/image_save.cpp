// Saving a captured diskette as the image file. The image goes to a new file
// beside the target first, is flushed to the disk, and only then takes the
// image's name, so that neither a failed save nor a power cut destroys the
// previous image or leaves a file that passes for a finished one.
#include "transfer/image_save.h"

#include "run/run_state.h"
#include "run/system_library.h"
#include "transfer/disk_geometry.h"

namespace {

constexpr const char* kTempFilePrefix = "sdk";
constexpr const char* kKeptNewImageDebugFormat = "New image kept as %s\r\n";
constexpr const char* kKeptOldImageDebugFormat = "Previous image kept as %s\r\n";
constexpr const char* kKeptPlaceholderDebugFormat = "Empty file kept as %s\r\n";

// GetTempFileNameA needs room for its own "sdkXXXX.tmp" after the folder.
constexpr DWORD kTempNameRoom = 14;

// Virus scanners and indexers hold a file that was just written or renamed
// for a moment. A refusal of that kind passes, so the call is tried again
// for about a second before it counts as failed.
constexpr int kHeldFileTries = 10;
constexpr DWORD kHeldFileWait = 100;

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

// Opens a file that nobody else may have open meanwhile, waiting while
// another program holds it.
HANDLE OpenWhileHeld(const char* path, DWORD access, DWORD disposition)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    TryWhileHeld([&] {
        file = CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    return file;
}

// Debugger output naming a file the user may need to know about.
void ReportKeptFile(const char* format, const char* path)
{
    char line[MAX_PATH + 64];
    wsprintfA(line, format, path);
    OutputDebugStringA(line);
}

// The data must be on the disk before the file can take the image's name: a
// rename is carried out at once, the data only when the system gets to it.
bool WriteWholeFile(const char* path, const unsigned char* image)
{
    HANDLE file = OpenWhileHeld(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, image, DiskGeometry::imageSize, &written, nullptr);
    const BOOL flushed = wrote && FlushFileBuffers(file);
    const BOOL closed = CloseHandle(file);
    return wrote && flushed && closed && written == static_cast<DWORD>(DiskGeometry::imageSize);
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

// The 9x family's save. It has no replace in one step: the old image is
// renamed aside and deleted only once the new one stands in its place, and
// when the new one cannot be moved in, the old one is put back. Between the
// two renames no file has the image's name; a machine that goes down at that
// instant leaves the previous image as sdkXXXX.tmp beside it and the new one
// as another. The gap is kept to the two calls: whatever may make the user
// wait (another program holding a file) is waited out before it opens.
Placement ReplaceThroughAside(const char* saved, const char* target, const char* folder)
{
    char aside[MAX_PATH];
    if (!GetTempFileNameA(folder, kTempFilePrefix, 0, aside))
        return Placement::NotPlaced;
    // Only its name is wanted, and MoveFileA replaces nothing.
    if (!DeleteWhileHeld(aside)) {
        ReportKeptFile(kKeptPlaceholderDebugFormat, aside);
        return Placement::NotPlaced;
    }
    // The new file must be free to move before the old one goes aside.
    HANDLE probe = OpenWhileHeld(saved, GENERIC_READ, OPEN_EXISTING);
    if (probe == INVALID_HANDLE_VALUE)
        return Placement::NotPlaced;
    CloseHandle(probe);
    if (!MoveWhileHeld(target, aside))
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

}  // namespace

bool ImageNameFits(const char* name)
{
    return lstrlenA(name) < MAX_PATH;
}

bool SaveImage(const unsigned char* image)
{
    char folder[MAX_PATH];
    char saved[MAX_PATH];
    if (!*runState.imageFileName || !ImageNameFits(runState.imageFileName) || !ImageFolder(folder) ||
        !GetTempFileNameA(folder, kTempFilePrefix, 0, saved))
        return false;
    const Placement placement = WriteWholeFile(saved, image) ? PutInPlace(saved, folder) : Placement::NotPlaced;
    if (placement == Placement::NotPlaced && !DeleteWhileHeld(saved))
        ReportKeptFile(kKeptNewImageDebugFormat, saved);
    return placement == Placement::Placed;
}
