#include "run/system_library.h"

namespace {

constexpr DWORD kSearchSystemFolderOnly = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

constexpr const char* kWindowingLibraries[] = {"uxtheme.dll", "dwmapi.dll"};

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);

}  // namespace

void RestrictDllSearchToSystem()
{
    if (const auto setDefault = KernelProc<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories"))
        setDefault(kSearchSystemFolderOnly);
    // An empty folder takes the current folder out of the search.
    if (const auto setDirectory = KernelProc<SetDllDirectoryProc>("SetDllDirectoryA"))
        setDirectory("");
}

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH];
    const UINT folderLength = GetSystemDirectoryA(path, MAX_PATH);
    // The folder, a backslash and the name must fit with the terminator.
    if (folderLength == 0 || folderLength + 1 + lstrlenA(fileName) >= MAX_PATH)
        return nullptr;
    path[folderLength] = '\\';
    lstrcpynA(path + folderLength + 1, fileName, MAX_PATH - folderLength - 1);
    // Asked first so that a DLL the system lacks is simply skipped, with no
    // failed load for an older system to report.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void PreloadWindowingLibraries()
{
    for (const char* library : kWindowingLibraries)
        LoadSystemLibrary(library);  // kept loaded for the whole run
}
