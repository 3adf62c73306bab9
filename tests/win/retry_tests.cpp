// The transfer loop's prompts, retries, progress and cancellation, over a
// scripted device. The prompts are real message boxes, answered by a thread
// of this test as a user would.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "run/run_state.h"
#include "tests/win/scripted_disk_device.h"
#include "tests/win/wintest.h"
#include "transfer/track_transfer.h"

namespace {

constexpr const char* kFailedTrackText =
    "Disk is either write protected, bad or not in floppy drive.\r\n"
    "Please correct and hit OK to continue or Cancel to abort.";

struct Prompt {
    std::string caption;
    std::string text;
    bool ownerDisabled;
};

// What the answering thread saw and what it answers, in order.
std::vector<Prompt> prompts;
std::vector<int> answers;
volatile LONG hideProgressAfterPositions = -1;
std::vector<int> positions;
WNDPROC barProcedure;
HWND progressWindow;

LRESULT CALLBACK RecordingBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) {
        positions.push_back(static_cast<int>(wParam));
        if (static_cast<LONG>(positions.size()) == hideProgressAfterPositions)
            ShowWindow(progressWindow, SW_HIDE);  // as Escape would, mid-transfer
    }
    return CallWindowProcA(barProcedure, bar, message, wParam, lParam);
}

volatile LONG transferDone;

// Answers the prompts in order until the transfer is done; one more than
// expected is cancelled, so that it ends the transfer instead of hanging it.
DWORD WINAPI AnswerPrompts(LPVOID)
{
    for (size_t answered = 0; !transferDone;) {
        HWND box = nullptr;
        for (const char* caption : {"Error writing to floppy", "Floppy Disk Error"})
            if (!box && (box = FindWindowA("#32770", caption)) && IsWindowVisible(box)) {
                char text[512] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                prompts.push_back({caption, text, IsWindowEnabled(progressWindow) == FALSE});
                const int answer = answered < answers.size() ? answers[answered] : IDCANCEL;
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
                ++answered;
                while (IsWindow(box))
                    Sleep(5);
            } else {
                box = nullptr;
            }
        Sleep(10);
    }
    return 0;
}

struct TransferRun {
    bool result = false;
    std::vector<std::string> events;
    std::vector<Prompt> prompts;
    std::vector<int> positions;
};

bool verifyWrites = false;

// The import through which the transfer loop calls MessageBoxA. Windows
// documents 0 for a message box that could not be made, with an error code
// that it may or may not set; every failure Wine gives sets one or clears
// it, so a prompt that leaves the code as it was needs a stand-in.
using MessageBoxProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
extern "C" MessageBoxProc importedMessageBox asm(IMPORT_SLOT(MessageBoxA, 16));

int WINAPI PromptNotMade(HWND, LPCSTR, LPCSTR, UINT)
{
    return 0;
}

bool ImportMessageBox(MessageBoxProc procedure)
{
    DWORD protection;
    if (!VirtualProtect(&importedMessageBox, sizeof importedMessageBox, PAGE_READWRITE, &protection))
        return false;
    importedMessageBox = procedure;
    return VirtualProtect(&importedMessageBox, sizeof importedMessageBox, protection, &protection) != FALSE;
}

DWORD WINAPI TransferThread(LPVOID parameter)
{
    static unsigned char image[DiskGeometry::imageSize];
    static unsigned char readBack[DiskGeometry::bytesPerTrack];
    HWND bar = static_cast<HWND>(parameter);
    const bool result = WriteDisk(image, bar, verifyWrites ? readBack : nullptr);
    PostMessageA(progressWindow, WM_APP, result, 0);
    return 0;
}

// Runs a whole transfer with the user-interface thread pumping messages, as
// the program does.
TransferRun Transfer(bool direct, DeviceScript script, std::vector<int> userAnswers, HWND bar,
                     LONG hideAfter = -1)
{
    deviceScript = script;
    answers = userAnswers;
    prompts.clear();
    positions.clear();
    hideProgressAfterPositions = hideAfter;
    runState.directDevice = direct;
    runState.failureExitCode = 0;
    transferDone = 0;
    ShowWindow(progressWindow, SW_SHOW);

    HANDLE answerer = CreateThread(nullptr, 0, AnswerPrompts, nullptr, 0, nullptr);
    CreateThread(nullptr, 0, TransferThread, bar, 0, nullptr);
    TransferRun run;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP && message.hwnd == progressWindow) {
            run.result = message.wParam != 0;
            break;
        }
        DispatchMessageA(&message);
    }
    transferDone = 1;
    WaitForSingleObject(answerer, 5000);
    if (prompts.size() != answers.size())
        ok(false, "%zu prompts expected, %zu seen", answers.size(), prompts.size());
    run.events = deviceScript.events;
    run.prompts = prompts;
    run.positions = positions;
    return run;
}

int Count(const std::vector<std::string>& events, const std::string& prefix)
{
    int count = 0;
    for (const auto& event : events)
        count += event.compare(0, prefix.size(), prefix) == 0;
    return count;
}

void TestCleanTransfer(HWND bar)
{
    for (bool direct : {true, false}) {
        TransferRun run = Transfer(direct, {}, {}, bar);
        ok(run.result, "direct=%d: a clean transfer succeeds", direct);
        ok(Count(run.events, "track ") == 160, "direct=%d: %d track requests", direct, Count(run.events, "track "));
        bool inOrder = true;
        for (int track = 0; track < 160; ++track)
            inOrder = inOrder && run.events[1 + track].compare(0, 6 + std::to_string(18 * track).size() + 1,
                                                              "track " + std::to_string(18 * track) + " ") == 0;
        ok(inOrder, "direct=%d: tracks go in order at sectors 0, 18, ... 2862", direct);
        ok(run.positions.size() == 161 && run.positions.front() == 0 && run.positions.back() == 159,
           "direct=%d: bar set to 0, then once per track up to 159 (%zu updates, last %d)", direct,
           run.positions.size(), run.positions.empty() ? -1 : run.positions.back());
        ok(Count(run.events, "open ") == 1 && run.events.back().compare(0, 6, "close ") == 0,
           "direct=%d: one open, closed at the end", direct);
        ok(run.prompts.empty(), "direct=%d: no prompt", direct);
    }
}

void TestCancelAtTheFirstTrack(HWND bar)
{
    for (bool direct : {true, false}) {
        DeviceScript script;
        script.failingCalls = {0};
        TransferRun run = Transfer(direct, script, {IDCANCEL}, bar);
        ok(!run.result, "direct=%d: Cancel fails the transfer", direct);
        ok(run.prompts.size() == 1, "direct=%d: %zu prompts", direct, run.prompts.size());
        if (!run.prompts.empty()) {
            const char* caption = direct ? "Error writing to floppy" : "Floppy Disk Error";
            ok(run.prompts[0].caption == caption, "direct=%d: caption %s", direct, run.prompts[0].caption.c_str());
            ok(run.prompts[0].text == kFailedTrackText, "direct=%d: text [%s]", direct, run.prompts[0].text.c_str());
            ok(run.prompts[0].ownerDisabled, "direct=%d: the prompt is owned by the progress window", direct);
        }
        ok(Count(run.events, "track ") == 1, "direct=%d: no track after the cancelled one", direct);
        ok(run.positions == std::vector<int>({0, 0}), "direct=%d: range set at 0, then one update at 0", direct);
        ok(run.events.back().compare(0, 6, "close ") == 0, "direct=%d: the device is closed", direct);

        // Right after a track failed with a code of its own, a prompt that
        // cannot be made, and gives none, fails the run with the program's
        // own code, not the track's.
        const MessageBoxProc messageBox = importedMessageBox;
        ok(ImportMessageBox(PromptNotMade), "direct=%d: the prompt's stand-in in place", direct);
        run = Transfer(direct, script, {}, bar);
        ok(ImportMessageBox(messageBox), "direct=%d: MessageBoxA back in place", direct);
        ok(!run.result && run.prompts.empty() && Count(run.events, "track ") == 1,
           "direct=%d: a prompt that cannot be made ends the transfer", direct);
        ok(runState.failureExitCode == kExitNoErrorCode, "direct=%d: the run fails with %d, not the track's code (%d)",
           direct, kExitNoErrorCode, static_cast<int>(runState.failureExitCode));
    }
}

// The drive the user put right is reached only through a new handle: one
// opened before may be tied to a drive unplugged since, or to none.
void TestRetryOnTheDirectPathReopens(HWND bar)
{
    DeviceScript script;
    script.failingCalls = {5, 6};
    TransferRun run = Transfer(true, script, {IDOK, IDOK}, bar);
    ok(run.result && Count(run.events, "track ") == 162, "OK twice, then the track succeeds");
    ok(Count(run.events, "track 90 #1") == 1 && Count(run.events, "track 90 #2") == 1 &&
           Count(run.events, "track 90 #3") == 1 && Count(run.events, "close ") == 3,
       "the raw device is closed and opened again before each retry");
    script = {};
    script.failingOpens = {0};
    run = Transfer(true, script, {IDOK}, bar);
    ok(run.result, "after the drive is corrected, the transfer completes");
    ok(run.events.size() >= 5 && run.events[0] == "open direct invalid" && run.events[1] == "track 0 invalid" &&
           run.events[3] == "open direct #2" && run.events[4] == "track 0 #2",
       "a device that never opened is opened again before the retry");
}

void TestRetryOnThe9xPathReopensAndRefills(HWND bar)
{
    DeviceScript script;
    script.failingCalls = {3};
    TransferRun run = Transfer(false, script, {IDOK}, bar);
    ok(run.result, "OK after a carry-flag failure goes on");
    std::vector<std::string> expected = {"track 36 #1",     "track 54 #1",     "close #1",        "open 9x #2",
                                         "drop cache #2",   "read back 0 #2",  "read back 18 #2", "read back 36 #2",
                                         "track 54 #2",     "track 72 #2"};
    ok(std::search(run.events.begin(), run.events.end(), expected.begin(), expected.end()) != run.events.end(),
       "VWIN32 is closed, reopened, the cache of A: dropped before the check, and the record refilled");
    ok(run.events.back() == "close #2", "the reopened device is the one closed at the end: %s",
       run.events.back().c_str());
    ok(Count(run.events, "track ") == 161, "%d requests", Count(run.events, "track "));
}

void TestHiddenProgressWindowCancels(HWND bar)
{
    // Hidden while track 10 is handled: the loop stops after it.
    TransferRun run = Transfer(true, {}, {}, bar, 12);
    ok(!run.result, "hiding the window cancels");
    ok(Count(run.events, "track ") == 11 && run.positions.back() == 10, "stops after track 10 (%d requests)",
       Count(run.events, "track "));
    // Hidden during the last track: every track moved, yet cancelled.
    run = Transfer(true, {}, {}, bar, 161);
    ok(!run.result && Count(run.events, "track ") == 160, "hidden at the last track still fails");
    // Closed while a track fails, or during the check after an OK: nobody is
    // left to answer a prompt, and nothing more is read or tried.
    for (bool direct : {true, false}) {
        DeviceScript script;
        script.failingCalls = {3};
        script.hideAtCall = 3;
        run = Transfer(direct, script, {}, bar);
        ok(!run.result && run.prompts.empty() && Count(run.events, "track ") == 4,
           "direct=%d: hidden at a failing track: no prompt", direct);
        script.hideAtCall = -1;
        script.hideAtReadBack = 0;
        run = Transfer(direct, script, {IDOK}, bar);
        ok(!run.result && Count(run.events, "read back ") == 1 && Count(run.events, "track ") == 4,
           "direct=%d: hidden at the check's first read: no more reads, no retry", direct);
        // At its last read, every track checked matching: still no retry.
        script.hideAtReadBack = 2;
        run = Transfer(direct, script, {IDOK}, bar);
        ok(!run.result && Count(run.events, "read back ") == 3 && Count(run.events, "track ") == 4,
           "direct=%d: hidden at the check's last read: no retry", direct);
    }
}

void TestVerifiedWriteRewritesADifferingTrack(HWND bar)
{
    verifyWrites = true;
    for (bool direct : {true, false}) {
        DeviceScript script;
        script.differingReadBacks = {5};
        TransferRun run = Transfer(direct, script, {IDOK}, bar);
        ok(run.result && run.prompts.size() == 1, "direct=%d: one prompt for the differing track, then success",
           direct);
        ok(Count(run.events, "track 90 ") == 2 && Count(run.events, "read back 90 ") == 2,
           "direct=%d: track 5 written and read back twice", direct);
        ok(Count(run.events, "track ") == 161 && Count(run.events, "read back ") == 166,
           "direct=%d: every track read back once it was written, tracks 0 to 4 again after the OK (%d, %d)", direct,
           Count(run.events, "track "), Count(run.events, "read back "));
        ok(run.positions.size() == 161 && run.positions[6] == 5,
           "direct=%d: the bar moves once a track has read back, as without verify", direct);
    }
    verifyWrites = false;
}

// OK at a failed track after another diskette went in: the tracks before it
// are read again, and the first one that differs is where the transfer goes on.
void TestAnotherDisketteAtThePromptIsWrittenWhole(HWND bar)
{
    for (bool direct : {true, false}) {
        DeviceScript script;
        script.failingCalls = {3};
        script.differingReadBacks = {1};
        TransferRun run = Transfer(direct, script, {IDOK}, bar);
        ok(run.result && Count(run.events, "read back ") == 2, "direct=%d: tracks 0 and 1 checked after the OK (%d)",
           direct, Count(run.events, "read back "));
        ok(Count(run.events, "track 0 ") == 1 && Count(run.events, "track 18 ") == 2 &&
               Count(run.events, "track 36 ") == 2 && Count(run.events, "track ") == 163,
           "direct=%d: tracks 1 to 159 written after the OK (%d requests)", direct, Count(run.events, "track "));
        ok(run.positions.size() == 164 && run.positions[4] == 0 && run.positions[5] == 1,
           "direct=%d: the bar goes back to track 0, the last one on the diskette", direct);
    }
    // A track the check cannot read (a bad sector of the other diskette) is
    // no match either.
    DeviceScript script;
    script.failingCalls = {5};
    script.failingReadBacks = {2};
    TransferRun run = Transfer(true, script, {IDOK}, bar);
    ok(run.result && Count(run.events, "track 18 ") == 1 && Count(run.events, "track 36 ") == 2 &&
           run.positions[6] == 1,
       "an unreadable track in the check is where the transfer goes on");
    // A drive that cannot even be opened after the OK tells nothing about
    // the diskette: its track fails again, and the next OK checks the tracks.
    script = {};
    script.failingCalls = {3};
    script.failingOpens = {1};
    run = Transfer(true, script, {IDOK, IDOK}, bar);
    ok(run.result && Count(run.events, "track 0 ") == 1 && Count(run.events, "read back ") == 3,
       "a drive that cannot be opened after the OK is no other diskette");
}

void TestBarThatIsNotAWindow()
{
    TransferRun run = Transfer(true, {}, {}, reinterpret_cast<HWND>(0x1234));
    ok(run.result && Count(run.events, "track ") == 160 && run.positions.empty(),
       "no progress messages, same transfer");
}

}  // namespace

int main()
{
    InitCommonControls();
    progressWindow = CreateWindowExA(0, "STATIC", "retry test", WS_POPUP | WS_VISIBLE, 0, 0, 300, 60, nullptr,
                                     nullptr, nullptr, nullptr);
    runState.progressWindow = progressWindow;
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 5, 5, 280, 20, progressWindow, nullptr,
                               nullptr, nullptr);
    barProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingBarProc)));

    TestCleanTransfer(bar);
    TestCancelAtTheFirstTrack(bar);
    TestRetryOnTheDirectPathReopens(bar);
    TestRetryOnThe9xPathReopensAndRefills(bar);
    TestHiddenProgressWindowCancels(bar);
    TestVerifiedWriteRewritesADifferingTrack(bar);
    TestAnotherDisketteAtThePromptIsWrittenWhole(bar);
    TestBarThatIsNotAWindow();
    return TestSummary("retry_tests");
}
