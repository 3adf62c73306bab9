// Runs the real device layer and transfer loop behind the real progress
// window, recording every track request that reaches the platform.
//   transfer_probe write <image file>   image file -> drive A:
//   transfer_probe read <image file>    drive A: -> image file
//   transfer_probe verify <image file>  image file -> drive A:, every track read back
// Prints: result, request count, first sectors in order, final bar position,
// and the transfer's own time in microseconds.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "run/run_state.h"
#include "transfer/track_transfer.h"

namespace {

std::vector<int> requestedSectors;
alignas(512) static unsigned char image[DiskGeometry::imageSize];
bool writing = true;
unsigned char* readBack = nullptr;
bool transferResult = false;
double transferMicroseconds = 0;

DWORD WINAPI ProbeWorker(LPVOID)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HWND bar = GetDlgItem(runState.progressWindow, IDC_PROGRESS_BAR);
    transferResult = writing ? WriteDisk(image, bar, readBack) : ReadDisk(image, bar);
    QueryPerformanceCounter(&end);
    transferMicroseconds = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    SendMessageA(runState.progressWindow, WM_CLOSE, 0, 0);
    return 0;
}

bool LoadImage(const char* path)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    const size_t read = std::fread(image, 1, sizeof image, file);
    std::fclose(file);
    return read == sizeof image;
}

bool SaveImage(const char* path)
{
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const size_t written = std::fwrite(image, 1, sizeof image, file);
    return std::fclose(file) == 0 && written == sizeof image;
}

}  // namespace

void RecordDiskRequest(TransferDirection, int firstSector)
{
    requestedSectors.push_back(firstSector);
}

int main(int argc, char** argv)
{
    const bool verify = argc == 3 && std::strcmp(argv[1], "verify") == 0;
    if (argc != 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "read") != 0 && !verify)) {
        std::fprintf(stderr, "usage: transfer_probe write|read|verify <image file>\n");
        return 2;
    }
    writing = std::strcmp(argv[1], "read") != 0;
    // Sector-aligned, as the program's own read-back room is.
    if (verify)
        readBack = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, DiskGeometry::bytesPerTrack, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (writing && !LoadImage(argv[2])) {
        std::fprintf(stderr, "cannot load %s\n", argv[2]);
        return 2;
    }
    InitCommonControls();
    runState.directDevice = IsDirectDeviceFamily();
    runState.progressWindow = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                                 SimpleDialogProc, 0);
    ShowWindow(runState.progressWindow, SW_SHOW);
    CreateThread(nullptr, 0, ProbeWorker, nullptr, 0, nullptr);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        if (!IsDialogMessageA(runState.progressWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }

    HWND bar = GetDlgItem(runState.progressWindow, IDC_PROGRESS_BAR);
    std::printf("family=%s result=%d requests=%zu lastpos=%d microseconds=%.0f\nsectors=",
                runState.directDevice ? "nt" : "9x", transferResult, requestedSectors.size(),
                static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)), transferMicroseconds);
    for (size_t i = 0; i < requestedSectors.size(); ++i)
        std::printf(i ? " %d" : "%d", requestedSectors[i]);
    std::printf("\n");
    if (!writing && transferResult && !SaveImage(argv[2]))
        return 3;
    return transferResult ? 0 : 1;
}
