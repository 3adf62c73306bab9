// One procedure for the confirmation dialog and the progress window.
#include "run/run_state.h"

INT_PTR CALLBACK SimpleDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_CLOSE:
        // Ends the run's message loop at once; the default dialog handling
        // then turns the close into IDCANCEL, which hides the window.
        PostQuitMessage(0);
        return FALSE;
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return FALSE;
        // On the modeless progress window EndDialog only hides it; the hidden
        // window is how the transfer learns that the user cancelled.
        if (LOWORD(wParam) == IDOK)
            EndDialog(window, IDOK);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(window, IDCANCEL);
        return FALSE;
    default:
        return FALSE;
    }
}
