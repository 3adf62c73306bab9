// The smallest Win32 GUI program: one message box. Its peak memory under Wine
// is the floor that startdisk's peak is compared against.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "Hello", "Minimal", MB_OK);
    return 0;
}
