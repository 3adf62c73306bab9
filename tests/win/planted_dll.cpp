// Planted beside the program under the names of system DLLs (comctl32.dll,
// riched32.dll, riched20.dll): if the program ever loads it, it leaves a
// file "<its own path>.loaded" that the test looks for. It exports
// InitCommonControls so that a program importing comctl32 would still load
// it rather than fail before it can leave its mark.
#include <windows.h>

extern "C" __declspec(dllexport) void WINAPI InitCommonControls() {}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char mark[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameA(self, mark, MAX_PATH);
        lstrcpyA(mark + length, ".loaded");
        CloseHandle(CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return TRUE;
}
