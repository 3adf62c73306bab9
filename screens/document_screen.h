// Shared pieces of the document screen and its read-to-end watcher.
#ifndef STARTDISK_DOCUMENT_SCREEN_H
#define STARTDISK_DOCUMENT_SCREEN_H

#include <windows.h>
#include <richedit.h>

#include <atomic>

// Sent by the watcher when the editor never became visible.
constexpr UINT WM_DOCUMENT_NOT_SHOWN = WM_USER + 100;

// Set before a screen starts; cleared by the watcher once the accept button
// has been enabled.
extern std::atomic<bool> mustReadToEnd;

INT_PTR CALLBACK DocumentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI ReadToEndWatcher(LPVOID editor);

// The cookie of the edit stream: the file's bytes and how far the editor got.
struct DocumentStreamSource {
    const unsigned char* bytes;
    LONG position;
    LONG length;
};

DWORD CALLBACK StreamFromBuffer(DWORD_PTR cookie, LPBYTE destination, LONG maxBytes, LONG* bytesDone);

#endif
