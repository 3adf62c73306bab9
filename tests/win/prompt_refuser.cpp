// Hooked into every program of the desktop by uidriver's refuse-prompts: no
// dialog with an owner can be made, as when Windows runs out of memory. In
// startdisk that is its retry prompt alone.
#include <windows.h>

namespace {

constexpr WORD kDialogClassAtom = 0x8002;

bool IsDialogClass(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) == kDialogClassAtom
                                : lstrcmpA(name, "#32770") == 0;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RefusePrompts(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (create->hwndParent && !(create->style & WS_CHILD) && IsDialogClass(create->lpszClass))
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
