// Windows-only pieces that need no dialogs: the rich-text stream callback,
// the VWIN32 register record and requests, and the platform family.
#include <cstring>
#include <string>
#include <vector>

#include "run/run_state.h"
#include "screens/document_screen.h"
#include "tests/win/dialog_templates.h"
#include "transfer/disk_device.h"
#include "tests/win/wintest.h"

namespace {

std::string Drain(DocumentStreamSource& source, LONG chunkSize, int* calls)
{
    std::string streamed;
    unsigned char buffer[64];
    for (*calls = 1;; ++*calls) {
        std::memset(buffer, 0xCC, sizeof buffer);
        LONG done = -1;
        const DWORD error = StreamFromBuffer(reinterpret_cast<DWORD_PTR>(&source), buffer, chunkSize, &done);
        ok(error == 0, "the callback never reports an error, got %lu", error);
        ok(done >= 0 && done <= chunkSize, "done %ld outside 0..%ld", done, chunkSize);
        ok(done == static_cast<LONG>(sizeof buffer) || buffer[done] == 0xCC, "wrote past the %ld bytes it reported", done);
        if (done <= 0)
            return streamed;
        streamed.append(reinterpret_cast<char*>(buffer), done);
        if (*calls > 1000)
            return streamed;
    }
}

void TestStreamDeliversEveryByteOnce()
{
    const std::string text = "{\\rtf1\\ansi hello, world\\par}";
    for (LONG chunk : {1L, 7L, static_cast<LONG>(text.size()), 64L}) {
        DocumentStreamSource source{reinterpret_cast<const unsigned char*>(text.data()), 0,
                                    static_cast<LONG>(text.size())};
        int calls = 0;
        const std::string streamed = Drain(source, chunk, &calls);
        ok(streamed == text, "chunk %ld: streamed \"%s\"", chunk, streamed.c_str());
        ok(source.position == source.length, "chunk %ld: position %ld at the end", chunk, source.position);
        const int expectedCalls = static_cast<int>((text.size() + chunk - 1) / chunk) + 1;
        ok(calls == expectedCalls, "chunk %ld: %d calls, expected %d", chunk, calls, expectedCalls);
    }
}

void TestStreamOfNothing()
{
    // A file that could not be read streams nothing, and never touches the
    // missing buffer.
    DocumentStreamSource source{nullptr, 0, 0};
    int calls = 0;
    ok(Drain(source, 16, &calls).empty() && calls == 1, "an empty source ends at once");
    DocumentStreamSource past{nullptr, 5, 3};
    ok(Drain(past, 16, &calls).empty(), "a position past the end delivers nothing");
}

void TestFillDiocRegisters()
{
    static unsigned char image[DiskGeometry::imageSize];
    DIOC_REGISTERS registers;
    std::memset(&registers, 0xA5, sizeof registers);
    unsigned char* lastTrack = image + 159 * DiskGeometry::bytesPerTrack;
    FillDiocRegisters(registers, lastTrack, 2862);
    ok(registers.reg_EBX == static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(lastTrack)), "EBX %#lx is the track's address", registers.reg_EBX);
    ok(registers.reg_EDX == 2862, "EDX %lu is the first sector", registers.reg_EDX);
    ok(registers.reg_ECX == 18, "ECX %lu is the sector count", registers.reg_ECX);
    ok(registers.reg_EAX == 0, "EAX %lu is drive A:", registers.reg_EAX);
    ok(registers.reg_EDI == 0 && registers.reg_ESI == 0, "EDI and ESI are cleared");
    ok(registers.reg_Flags == 0, "a carry flag left from an earlier call is cleared: %#lx", registers.reg_Flags);
}

void TestDiocCallSucceeded()
{
    DIOC_REGISTERS registers{};
    ok(DiocCallSucceeded(TRUE, registers), "a call with the carry clear succeeds");
    registers.reg_Flags = kCarryFlag;
    ok(!DiocCallSucceeded(TRUE, registers), "a call that returns TRUE with the carry set fails");
    registers.reg_Flags = 0x246;  // zero and parity flags, no carry
    ok(DiocCallSucceeded(TRUE, registers), "other flags do not count");
    registers.reg_Flags = 0x247;
    ok(!DiocCallSucceeded(TRUE, registers), "carry among other flags fails");
    registers.reg_Flags = 0;
    ok(!DiocCallSucceeded(FALSE, registers), "a failed call fails");
}

// The device layer's DeviceIoControl calls, caught at the test's import of
// it: the registers a request really carries, with no VWIN32 device needed.
extern "C" void* deviceIoControlImport __asm__(IMPORT_SLOT(DeviceIoControl, 32));
std::vector<DIOC_REGISTERS> dosRequests;

BOOL WINAPI RecordDosRequest(HANDLE, DWORD code, LPVOID in, DWORD inSize, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)
{
    if (code == VWIN32_DIOC_DOS_IOCTL && inSize == sizeof(DIOC_REGISTERS))
        dosRequests.push_back(*static_cast<DIOC_REGISTERS*>(in));
    return TRUE;
}

void* SwapDeviceIoControl(void* replacement)
{
    DWORD protection;
    VirtualProtect(&deviceIoControlImport, sizeof replacement, PAGE_READWRITE, &protection);
    void* previous = deviceIoControlImport;
    deviceIoControlImport = replacement;
    VirtualProtect(&deviceIoControlImport, sizeof replacement, protection, &protection);
    return previous;
}

// The check after an OK drops the 9x cache of drive A: with Reset Drive
// (INT 21h 710Dh, CX 1: flush and invalidate, DX 1: A:) through VWIN32.
void TestDropCachedTracks()
{
    void* real = SwapDeviceIoControl(reinterpret_cast<void*>(RecordDosRequest));
    DiskDevice device;
    device.direct = false;
    device.handle = reinterpret_cast<HANDLE>(0x1234);
    DropCachedTracks(device);
    const DIOC_REGISTERS reset = dosRequests.empty() ? DIOC_REGISTERS{} : dosRequests[0];
    ok(dosRequests.size() == 1 && reset.reg_EAX == 0x710D && reset.reg_ECX == 1 && reset.reg_EDX == 1,
       "9x: one Reset Drive of A: (%zu requests, AX %#lx CX %lu DX %lu)", dosRequests.size(), reset.reg_EAX,
       reset.reg_ECX, reset.reg_EDX);
    dosRequests.clear();
    device.direct = true;
    DropCachedTracks(device);
    ok(dosRequests.empty(), "NT: the raw device has no such cache, and gets no MS-DOS request");
    SwapDeviceIoControl(real);
}

void TestPlatformFamily()
{
    // Run with Wine's version set to win98 the test expects the 9x family.
    const char* expected = std::getenv("STARTDISK_EXPECT_FAMILY");
    const bool direct = IsDirectDeviceFamily();
    if (expected && std::strcmp(expected, "9x") == 0)
        ok(!direct, "the 9x family uses VWIN32");
    else
        ok(direct, "the NT family uses the raw device");
}

// A quit message waiting when a screen opens ends its modal loop at once,
// with the dialog manager's default result IDOK; nobody pressed the accept
// button, so the screen was not accepted.
void TestPendingQuitIsNotAcceptance(const char* exePath)
{
    const HMODULE exe = exePath ? LoadLibraryExA(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    char folder[MAX_PATH];
    char document[MAX_PATH];
    if (!exe || !GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "doc", 0, document)) {
        ok(false, "no exe or temporary document for the screen: error %lu", GetLastError());
        return;
    }
    const char rtf[] = "{\\rtf1\\ansi A document.\\par}";
    HANDLE file = CreateFileA(document, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, rtf, sizeof rtf - 1, &written, nullptr);
    CloseHandle(file);

    PostQuitMessage(0);
    const int result = ShowDocumentScreen(exe, document, "Title", "Heading", "Prompt", "&Yes", "&No", false);
    ok(result == 1, "a screen ended by a waiting quit message returned %d, not 1 (not accepted)", result);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    DeleteFileA(document);
    FreeLibrary(exe);
}

}  // namespace

int main(int argc, char** argv)
{
    TestStreamDeliversEveryByteOnce();
    TestStreamOfNothing();
    TestFillDiocRegisters();
    TestDiocCallSucceeded();
    TestDropCachedTracks();
    TestPlatformFamily();
    TestDialogTemplates(argc > 1 ? argv[1] : nullptr);  // argv[1]: the built startdisk.exe
    TestPendingQuitIsNotAcceptance(argc > 1 ? argv[1] : nullptr);
    return TestSummary("win_unit_tests");
}
