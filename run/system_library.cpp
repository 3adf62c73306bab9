#include "run/system_library.h"

namespace {

constexpr const char* kKernelLibrary = "kernel32.dll";
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);

}  // namespace

void RestrictDllSearchToSystem()
{
    // Looked up at run time: importing them would stop the program from
    // loading on the systems that lack them.
    const HMODULE kernel = GetModuleHandleA(kKernelLibrary);
    if (const auto setDefault = LibraryProc<SetDefaultDllDirectoriesProc>(kernel, "SetDefaultDllDirectories"))
        setDefault(kSearchSystemFolderOnly);
    // An empty folder takes the current folder out of the search.
    if (const auto setDirectory = LibraryProc<SetDllDirectoryProc>(kernel, "SetDllDirectoryA"))
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
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
