// Loading the platform's own DLLs so that none comes from the program's
// folder or the current folder: the program runs with administrator rights,
// and a DLL planted beside it would run with them too.
#ifndef STARTDISK_SYSTEM_LIBRARY_H
#define STARTDISK_SYSTEM_LIBRARY_H

#include <windows.h>

// Where the platform can (Windows 7 with its security update, and later),
// later DLL loads, the platform's own included, search the system folder
// only. Older systems lack the calls and keep their usual order.
void RestrictDllSearchToSystem();

// Where the platform cannot restrict the search (before Windows 8, and 7
// without its update), Windows' own window code later loads uxtheme.dll and
// dwmapi.dll by bare name, from the program's folder first. Loading them
// from the system folder before the first window, and keeping them, leaves
// nothing to search for. Systems without them (before XP and Vista) skip it.
void PreloadWindowingLibraries();

// Loads a DLL of the system folder by its full path; its own dependencies are
// then looked for in the system folder first. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);

// A function of a loaded DLL as the type it has; null when the DLL (or the
// system) does not have it.
template <typename Proc>
Proc LibraryProc(HMODULE library, const char* name)
{
    const FARPROC proc = library ? GetProcAddress(library, name) : nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(proc));
}

// A KERNEL32 function looked up at run time, for calls that some of the
// systems the program runs on lack: importing one would keep the program
// from loading there.
template <typename Proc>
Proc KernelProc(const char* name)
{
    return LibraryProc<Proc>(GetModuleHandleA("kernel32.dll"), name);
}

#endif
