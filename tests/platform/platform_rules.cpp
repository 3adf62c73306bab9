// Checks the platform calls that startdisk.exe made in a run against the
// rules the platform documentation of the time sets for them. Wine accepts
// many calls that Windows 95, 98 or NT 4 refuse, so passing under Wine proves
// little by itself; Wine's relay trace shows every call with its arguments,
// and each row below names a rule, the families it binds and where it is
// written.
//
//   platform_rules functions
//       the value for Wine's RelayInclude: every function a rule names
//   platform_rules check <9x|nt>[+v] <exe name> <image start> <image end> <trace>
//       checks the calls that the exe's own code made (the return address
//       lies in its image; addresses in hex) in a trace taken with
//       WINEDEBUG=+relay,+loaddll,+pid,+int21; "+v" for a run asked to read
//       back what it writes; exit 1 on a broken rule or a trace without any
//       call of the program
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum Families { k9x = 1, kNt = 2, kAll = k9x | kNt };

constexpr unsigned long kMaxPath = 260;
constexpr unsigned long kOpenExisting = 3;
constexpr unsigned long kShareReadWrite = 3;
constexpr unsigned long kDeleteOnClose = 0x04000000;
constexpr unsigned long kVwin32DosIoctl = 1;
constexpr unsigned long kVwin32Int25 = 2;
constexpr unsigned long kVwin32Int26 = 3;
constexpr unsigned long kDiocRegistersSize = 28;
constexpr unsigned long kLockVolume = 0x00090018;
constexpr unsigned long kDismountVolume = 0x00090020;
constexpr unsigned long kMemRelease = 0x8000;
constexpr unsigned long kCreateSuspended = 4;
constexpr unsigned long kLoadLibraryFlagsOfTheTime = 0x1 | 0x2 | 0x8;  // no resolve, data file, altered search
constexpr unsigned long kLoadLibraryFlags9x = 0x2 | 0x8;
constexpr unsigned long kReplaceWriteThrough = 0x1 | 0x8;  // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
constexpr unsigned long kFailCriticalErrors = 1;
constexpr unsigned long kErrorModesOfTheTime = 0x1 | 0x2 | 0x8000;
constexpr unsigned long kEmExLimitText = 0x435;
constexpr unsigned long kEmStreamIn = 0x449;
constexpr unsigned long kInvalidHandle = 0xFFFFFFFF;
constexpr unsigned long kNoBuffering = 0x20000000;
constexpr unsigned long kUnbufferedWriteThrough = kNoBuffering | 0x80000000;
constexpr unsigned long kSectorSize = 512;
// The MS-DOS requests a verified write makes through VWIN32, as Wine's
// INT 21h trace shows them: each is checked as a call (AX, BX, CX, DX), and
// counted under kLockDriveA or kUnlockDriveA once it returned with the carry
// flag clear, since a refused lock is not held.
constexpr const char* kLockDriveA = "int21.lock";
constexpr const char* kUnlockDriveA = "int21.unlock";
constexpr unsigned long kLockLogicalVolume = 0x084A;

// One call of the program: "KERNEL32.CreateFileA", its arguments as numbers,
// and the text of each string argument (empty for the others).
struct Call {
    std::string function;
    std::vector<unsigned long> values;
    std::vector<std::string> texts;

    unsigned long arg(size_t n) const { return n <= values.size() ? values[n - 1] : 0; }
    const std::string& text(size_t n) const
    {
        static const std::string none;
        return n <= texts.size() ? texts[n - 1] : none;
    }
};

// A handle the program got from CreateFileA.
struct OpenFile {
    std::string path;
    unsigned long access = 0;
    unsigned long flags = 0;
    bool flushed = false;
};

// The calls the program made before the one being checked, and the files
// they left open or wrote.
struct History {
    std::map<std::string, int> calls;
    std::map<unsigned long, OpenFile> handles;
    std::set<std::string> closedUnflushed;  // written, then closed without FlushFileBuffers
    std::map<std::string, OpenFile> opening;  // per thread: the CreateFileA call awaiting its handle
    std::map<std::string, std::string> dosPending;  // per thread: the lock or unlock awaiting its result

    bool verified = false;  // the run was asked to read back what it writes (-v)

    size_t count(const std::string& name) const { return calls.count(name); }
};

// Whether the program opened this handle with FILE_FLAG_NO_BUFFERING.
bool Unbuffered(const History& history, unsigned long handle)
{
    const auto found = history.handles.find(handle);
    return found != history.handles.end() && (found->second.flags & kNoBuffering);
}

std::string Lower(std::string text)
{
    for (char& ch : text)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

// Calls whose meaning lies in one argument are also counted under
// "function#value", e.g. each message sent, or the error mode set.
std::string KeyedName(const std::string& function, unsigned long value)
{
    std::ostringstream name;
    name << function << '#' << std::hex << value;
    return name.str();
}

int Count(const History& history, const std::string& name)
{
    const auto found = history.calls.find(name);
    return found == history.calls.end() ? 0 : found->second;
}

size_t KeyArgument(const std::string& function)
{
    if (function == "user32.SendDlgItemMessageA")
        return 3;
    if (function == "kernel32.SetErrorMode")
        return 1;
    if (function == "kernel32.DeviceIoControl")
        return 2;
    return 0;
}

// "\\.\A:": a drive opened as a device.
bool IsDriveDevice(const std::string& path)
{
    return path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && std::isalpha(static_cast<unsigned char>(path[4])) &&
           path[5] == ':';
}

// "C:\...": a path from a drive's root.
bool IsFullPath(const std::string& path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

bool Iequals(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct Rule {
    const char* functions;  // blank-separated DLL.Function names
    int families;
    bool (*holds)(const Call&, const History&);
    const char* rule;
    const char* source;
};

// MSDN Library of June 1998 ("M98") and the Platform SDK of April 2000
// ("M00"), as kept at library.thedatadungeon.com, and the Knowledge Base.
const Rule kRules[] = {
    {"KERNEL32.CreateThread", k9x, [](const Call& c, const History&) { return c.arg(6) != 0; },
     "lpThreadId may not be NULL",
     "M98 CreateThread: \"Windows 95 and Windows 98: This parameter may not be NULL.\""},
    {"KERNEL32.CreateThread", kAll, [](const Call& c, const History&) { return (c.arg(5) & ~kCreateSuspended) == 0; },
     "dwCreationFlags is 0 or CREATE_SUSPENDED, the only flag of the time",
     "M98 CreateThread, dwCreationFlags"},
    {"KERNEL32.MoveFileExA", k9x, [](const Call&, const History&) { return false; },
     "MoveFileEx is not implemented on the 9x family",
     "KB Q129532: \"Windows 95 does not implement MoveFileEx()\""},
    {"KERNEL32.MoveFileExA", kNt,
     [](const Call& c, const History&) {
         return c.arg(3) == kReplaceWriteThrough && c.text(1).size() < kMaxPath && c.text(2).size() < kMaxPath;
     },
     "the image is replaced in one step: MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, names shorter than "
     "MAX_PATH",
     "M98 MoveFileEx (both flags; the Win32 reference of the time marks WRITE_THROUGH \"Windows NT only\"); M00 "
     "MoveFileEx: \"In the ANSI version of this function, the name is limited to MAX_PATH characters.\""},
    {"KERNEL32.MoveFileA", kNt, [](const Call&, const History&) { return false; },
     "MoveFile replaces nothing, so replacing the image through it leaves a moment with no file under its name; "
     "the NT family replaces it with MoveFileEx in one step",
     "M98 MoveFile: \"The new name must not already exist.\"; M98 MoveFileEx, MOVEFILE_REPLACE_EXISTING"},
    {"KERNEL32.MoveFileA KERNEL32.MoveFileExA", kAll,
     [](const Call& c, const History& h) { return h.closedUnflushed.count(Lower(c.text(1))) == 0; },
     "a file the program wrote was flushed (FlushFileBuffers on its handle) before it was closed, when a rename "
     "makes it the image: a rename is carried out at once, the data only when the system gets to it",
     "M00 FlushFileBuffers: \"The WriteFile and WriteFileEx functions typically write data to an internal buffer "
     "that the operating system writes to disk on a regular basis.\"; MoveFileEx, MOVEFILE_WRITE_THROUGH: \"guarantees "
     "that a move performed as a copy and delete operation is flushed to disk\", a rename is not"},
    {"KERNEL32.SetErrorMode", kAll, [](const Call& c, const History&) { return (c.arg(1) & ~kErrorModesOfTheTime) == 0; },
     "only SEM_FAILCRITICALERRORS, SEM_NOGPFAULTERRORBOX and SEM_NOOPENFILEERRORBOX",
     "M98 SetErrorMode (SEM_NOALIGNMENTFAULTEXCEPT is for RISC processors only)"},
    {"KERNEL32.CreateFileA", kAll,
     [](const Call& c, const History& h) {
         return !(IsDriveDevice(c.text(1)) || Iequals(c.text(1), "\\\\.\\vwin32")) ||
                Count(h, KeyedName("kernel32.SetErrorMode", kFailCriticalErrors)) != 0;
     },
     "no drive and no VWIN32 is opened before SetErrorMode(SEM_FAILCRITICALERRORS)",
     "KB Q69027: \"if an application attempts to access drive A and there is no disk in that drive, Windows "
     "displays the System Error message box\""},
    {"KERNEL32.CreateFileA", k9x, [](const Call& c, const History&) { return !IsDriveDevice(c.text(1)); },
     "a drive cannot be opened as a device (\\\\.\\A:) on the 9x family",
     "M98 Windows 95 System Services: \"the CreateFile function does not support the standard "
     "\"\\\\.\\C:\" and \"\\\\.\\PhysicalDrive0\" formats\""},
    {"KERNEL32.CreateFileA", kNt,
     [](const Call& c, const History&) {
         return !IsDriveDevice(c.text(1)) || (c.arg(3) == kShareReadWrite && c.arg(5) == kOpenExisting);
     },
     "a drive opened as a device needs FILE_SHARE_READ | FILE_SHARE_WRITE and OPEN_EXISTING",
     "KB Q100027 Direct Drive Access Under Win32: \"You must use both the CreateFile() FILE_SHARE_READ and "
     "FILE_SHARE_WRITE flags to gain access to the drive.\""},
    {"KERNEL32.CreateFileA", kAll,
     [](const Call& c, const History&) {
         return !Iequals(c.text(1), "\\\\.\\vwin32") ||
                (c.arg(2) == 0 && c.arg(3) == 0 && c.arg(5) == 0 && (c.arg(6) & ~kDeleteOnClose) == 0);
     },
     "a VxD is opened as the documentation opens one: no access, no sharing, disposition 0, and no flag but "
     "FILE_FLAG_DELETE_ON_CLOSE, which only unloads a dynamically loaded VxD (VWIN32 is static)",
     "M00 Opening the VxD: CreateFile(\"\\\\.\\SAMPLE.VXD\", 0, 0, NULL, 0, FILE_FLAG_DELETE_ON_CLOSE, NULL); "
     "Closing the VxD ties the flag to dynamically loadable VxDs"},
    {"KERNEL32.CreateFileA", kNt, [](const Call& c, const History&) { return !Iequals(c.text(1), "\\\\.\\vwin32"); },
     "VxDs such as VWIN32 exist only on the 9x family", "M00 Opening the VxD (Windows 95/98 device I/O)"},
    {"KERNEL32.CreateFileA", k9x, [](const Call& c, const History&) { return c.arg(7) == 0; },
     "hTemplateFile must be NULL on Windows 95",
     "Win32 SDK CreateFile, hTemplateFile (the page of the time is not in the stored library)"},
    {"KERNEL32.CreateFileA KERNEL32.DeleteFileA KERNEL32.GetFileAttributesA KERNEL32.GetFullPathNameA",
     kAll, [](const Call& c, const History&) { return c.text(1).size() < kMaxPath; },
     "a path of an ANSI file function is shorter than MAX_PATH",
     "M98 CreateFile: \"If *lpFileName is a path, there is a default string size limit of MAX_PATH characters.\""},
    {"KERNEL32.MoveFileA", k9x,
     [](const Call& c, const History&) { return c.text(1).size() < kMaxPath && c.text(2).size() < kMaxPath; },
     "both names are shorter than MAX_PATH", "M00 MoveFile: \"Windows 95/98: This string must not exceed MAX_PATH characters.\""},
    {"KERNEL32.GetTempFileNameA", kAll, [](const Call& c, const History&) { return c.text(1).size() <= kMaxPath - 14; },
     "the folder leaves room for the generated name (MAX_PATH - 14)",
     "GetTempFileName (later MSDN): \"The string cannot be longer than MAX_PATH-14 characters or GetTempFileName will "
     "fail.\""},
    {"KERNEL32.ReadFile KERNEL32.WriteFile", kAll,
     [](const Call& c, const History&) { return c.arg(5) != 0 || c.arg(4) != 0; },
     "without an OVERLAPPED record the byte count pointer cannot be NULL",
     "ReadFile / WriteFile: \"If lpOverlapped is NULL, lpNumberOfBytesRead cannot be NULL.\""},
    {"KERNEL32.ReadFile KERNEL32.WriteFile", k9x, [](const Call& c, const History&) { return c.arg(5) == 0; },
     "no asynchronous I/O except on serial devices",
     "M98 Windows 95 System Services: \"Windows 95 does not support asynchronous file input and output\""},
    {"KERNEL32.DeviceIoControl", kAll, [](const Call& c, const History&) { return c.arg(8) != 0 || c.arg(7) != 0; },
     "without an OVERLAPPED record lpBytesReturned cannot be NULL",
     "M98 FSCTL_LOCK_VOLUME: \"If lpOverlapped is NULL (nonoverlapped I/O), lpBytesReturned is used internally "
     "and cannot be NULL.\""},
    {"KERNEL32.DeviceIoControl", k9x,
     [](const Call& c, const History& h) {
         const bool dosAllowed = h.verified || Count(h, "user32.MessageBoxA") >
                                                   Count(h, KeyedName("kernel32.DeviceIoControl", kVwin32DosIoctl));
         return (c.arg(2) == kVwin32Int25 || c.arg(2) == kVwin32Int26 || (dosAllowed && c.arg(2) == kVwin32DosIoctl)) &&
                c.arg(3) != 0 && c.arg(5) != 0 && c.arg(4) == kDiocRegistersSize && c.arg(6) == kDiocRegistersSize;
     },
     "only VxD requests (VWIN32 INT 25h/26h; INT 21h for -v, and without it one after each retry prompt, before "
     "the check of the tracks already handled), with DIOC_REGISTERS in and out",
     "KB Q125712: \"Windows 95 also does not support the DeviceIoControl() IOCTL APIs, as Windows NT does.\"; "
     "M00 Using VWIN32 to Carry Out MS-DOS Functions (VWIN32_DIOC_DOS_IOCTL)"},
    {"KERNEL32.DeviceIoControl", k9x,
     [](const Call& c, const History& h) {
         return !h.verified || c.arg(2) != kVwin32Int26 || Count(h, kLockDriveA) > Count(h, kUnlockDriveA);
     },
     "a track that is to be read back is written under the level-0 lock of drive A:",
     "M00 Exclusive Volume Locking, Direct Access: without a lock \"the system may satisfy the request by reading "
     "from internal caches rather than from the medium itself\""},
    {"int21.LockLogicalVolume int21.UnlockLogicalVolume", k9x,
     [](const Call& c, const History&) {
         return (c.arg(2) & 0xFF) == 1 && (c.arg(3) != kLockLogicalVolume || (c.arg(2) >> 8) == 0);
     },
     "every lock and unlock names drive A: (BL = 1, not 0, the default drive), and a lock is of level 0 (BH = 0)",
     "M98 Lock Logical Volume (Interrupt 21h Function 440Dh Minor Code 4Ah) and Unlock Logical Volume (Minor Code "
     "6Ah): BL = drive number, 0 for the default drive, 1 for A:; BH = lock level"},
    {"KERNEL32.CloseHandle", k9x,
     [](const Call& c, const History& h) {
         const auto found = h.handles.find(c.arg(1));
         return found == h.handles.end() || found->second.path != "\\\\.\\vwin32" ||
                Count(h, kLockDriveA) == Count(h, kUnlockDriveA);
     },
     "the lock of drive A: is released before VWIN32 is closed",
     "M00 Unlock Logical Volume (Interrupt 21h Function 440Dh Minor Code 6Ah): \"Unlocks the logical volume\"; "
     "Exclusive Volume Locking: a lock is held until released"},
    {"KERNEL32.CreateFileA", kAll,
     [](const Call& c, const History& h) { return h.verified || !IsDriveDevice(c.text(1)) || c.arg(6) == 0; },
     "without -v the drive is opened as it always was, with no flags",
     "the program's own promise: what -v adds changes nothing without it"},
    {"KERNEL32.CreateFileA", kNt,
     [](const Call& c, const History& h) {
         return !h.verified || !IsDriveDevice(c.text(1)) || (c.arg(6) & kUnbufferedWriteThrough) == kUnbufferedWriteThrough;
     },
     "with -v the drive is opened with FILE_FLAG_NO_BUFFERING and FILE_FLAG_WRITE_THROUGH, so that a track read back "
     "comes from the diskette and not from a cache",
     "KB Q99794: with FILE_FLAG_WRITE_THROUGH alone a read may be satisfied \"from cached data\"; "
     "FILE_FLAG_NO_BUFFERING \"eliminates all read-ahead file buffering and disk caching as well\""},
    {"KERNEL32.SetFilePointer", kNt,
     [](const Call& c, const History& h) {
         return !Unbuffered(h, c.arg(1)) || (c.arg(2) % kSectorSize == 0 && c.arg(3) == 0);
     },
     "an unbuffered handle is moved to sector boundaries only",
     "M98 CreateFile, FILE_FLAG_NO_BUFFERING: \"File access must begin at byte offsets within the file that are "
     "integer multiples of the volume's sector size.\"; KB Q99794"},
    {"KERNEL32.ReadFile KERNEL32.WriteFile", kNt,
     [](const Call& c, const History& h) {
         return !Unbuffered(h, c.arg(1)) || (c.arg(2) % kSectorSize == 0 && c.arg(3) % kSectorSize == 0);
     },
     "an unbuffered handle reads and writes whole sectors from and to sector-aligned buffers",
     "M98 CreateFile, FILE_FLAG_NO_BUFFERING: \"File access must be for numbers of bytes that are integer multiples "
     "of the volume's sector size\" and \"Buffer addresses for read and write operations must be aligned on "
     "addresses in memory that are integer multiples of the volume's sector size.\""},
    {"KERNEL32.DeviceIoControl", kNt,
     [](const Call& c, const History&) {
         return (c.arg(2) == kLockVolume || c.arg(2) == kDismountVolume) && c.arg(3) == 0 && c.arg(4) == 0 &&
                c.arg(5) == 0 && c.arg(6) == 0;
     },
     "only FSCTL_LOCK_VOLUME and FSCTL_DISMOUNT_VOLUME, which take no buffers",
     "M98 FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME"},
    {"KERNEL32.LoadLibraryExA", kNt,
     [](const Call& c, const History&) { return c.arg(2) == 0 && (c.arg(3) & ~kLoadLibraryFlagsOfTheTime) == 0; },
     "hFile is NULL, and only the flags of the time",
     "M98 LoadLibraryEx: \"This parameter is reserved for future use. It must be NULL.\""},
    {"KERNEL32.LoadLibraryExA", k9x,
     [](const Call& c, const History&) { return c.arg(2) == 0 && (c.arg(3) & ~kLoadLibraryFlags9x) == 0; },
     "hFile is NULL, and only LOAD_LIBRARY_AS_DATAFILE and LOAD_WITH_ALTERED_SEARCH_PATH",
     "M98 LoadLibraryEx: DONT_RESOLVE_DLL_REFERENCES is marked \"Windows NT\""},
    {"KERNEL32.LoadLibraryA KERNEL32.LoadLibraryExA", kAll,
     [](const Call& c, const History&) { return IsFullPath(c.text(1)); },
     "a DLL is loaded by its full path: a bare name is looked for in the program's folder first",
     "M98 LoadLibraryEx: a name without a path is looked for by the standard search strategy, which starts in the "
     "program's folder"},
    {"KERNEL32.CloseHandle", kNt, [](const Call& c, const History&) { return c.arg(1) != 0 && c.arg(1) != kInvalidHandle; },
     "never an invalid handle",
     "M00 CloseHandle: \"Windows NT/2000: Closing an invalid handle raises an exception when the application is "
     "running under a debugger.\""},
    {"KERNEL32.VirtualFree", kAll, [](const Call& c, const History&) { return !(c.arg(3) & kMemRelease) || c.arg(2) == 0; },
     "MEM_RELEASE with a size of 0",
     "VirtualFree: \"If this value is specified, the dwSize parameter must be zero, or the function fails.\""},
    {"user32.ExitWindowsEx", kNt, [](const Call&, const History&) { return false; },
     "a restart on the NT family needs the SE_SHUTDOWN_NAME privilege, which the program does not enable",
     "Win32 SDK ExitWindowsEx: \"Windows NT: The calling process must have the SE_SHUTDOWN_NAME privilege.\""},
    {"user32.DialogBoxParamA user32.CreateDialogParamA", kAll,
     [](const Call&, const History& h) { return h.count("comctl32.InitCommonControls") != 0; },
     "InitCommonControls comes before the first dialog",
     "IE4 SDK Progress Bar: \"To ensure that this DLL is loaded, use the InitCommonControls function first.\""},
    {"user32.DialogBoxParamA user32.CreateDialogParamA", kNt,
     [](const Call&, const History& h) { return h.count("loaded uxtheme.dll") != 0 && h.count("loaded dwmapi.dll") != 0; },
     "uxtheme.dll and dwmapi.dll, which the system's window code loads by name, are loaded by full path before the "
     "first dialog, where the search cannot be kept to the system folder",
     "SetDefaultDllDirectories (current reference): Windows 8, or 7 and Vista with KB2533623; M98 LoadLibraryEx: a "
     "name without a path is looked for in the program's folder first"},
    {"comctl32.InitCommonControls", kAll,
     [](const Call&, const History& h) {
         return h.count("user32.DialogBoxParamA") == 0 && h.count("user32.CreateDialogParamA") == 0;
     },
     "InitCommonControls comes before the first dialog", "the same"},
    {"user32.SendDlgItemMessageA", kAll,
     [](const Call& c, const History&) {
         return c.arg(3) != kEmStreamIn || (((c.arg(4) & 3) == 1 || (c.arg(4) & 3) == 2) && !(c.arg(4) & 0x10));
     },
     "EM_STREAMIN names SF_TEXT or SF_RTF, without Rich Edit 2.0's SF_UNICODE",
     "M98 EM_STREAMIN: \"This value must specify one of the following data formats.\""},
    {"user32.SendDlgItemMessageA", kAll,
     [](const Call& c, const History& h) {
         const std::string function = "user32.SendDlgItemMessageA";
         if (c.arg(3) == kEmExLimitText)
             return c.arg(4) == 0;
         return c.arg(3) != kEmStreamIn ||
                Count(h, KeyedName(function, kEmExLimitText)) > Count(h, KeyedName(function, kEmStreamIn));
     },
     "every EM_STREAMIN comes after an EM_EXLIMITTEXT of its own, which takes wParam 0",
     "EM_EXLIMITTEXT (current reference): \"it does limit the amount of text that you can stream into a rich edit "
     "control using the EM_STREAMIN message with lParam set to SF_RTF ... the default limit ... is 32,767 "
     "characters\"; M98 EM_EXLIMITTEXT: \"wParam = 0;\", Windows 95 and NT 3.51"},
};

std::vector<std::string> Names(const char* functions)
{
    std::istringstream words(functions);
    std::vector<std::string> names;
    for (std::string name; words >> name;)
        names.push_back(name);
    return names;
}

// Wine implements many KERNEL32 functions in kernelbase and may report
// either name.
std::string CanonicalName(std::string name)
{
    const size_t dot = name.find('.');
    std::string dll = name.substr(0, dot);
    for (char& ch : dll)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (dll == "kernelbase")
        dll = "kernel32";
    return dll + name.substr(dot);
}

std::string Unescape(const std::string& quoted)
{
    std::string text;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\' || i + 1 == quoted.size()) {
            text += quoted[i];
            continue;
        }
        const char next = quoted[++i];
        if (next == 'n')
            text += '\n';
        else if (next == 'r')
            text += '\r';
        else if (next == 't')
            text += '\t';
        else if (next == 'x' && i + 2 < quoted.size()) {
            text += static_cast<char>(std::strtoul(quoted.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else
            text += next;
    }
    return text;
}

// "0060fd94 \"C:\\\\x.dll\",00000000,00000008" into values and texts.
// An x86-64 trace shows every argument as a whole register, and a 32-bit
// argument's upper half there is whatever the register held; the rules are
// about the 32 bits the platform reads (INVALID_HANDLE_VALUE included).
// Handles and the pointers compared here differ in their low halves.
unsigned long Low32(unsigned long value)
{
    return value & 0xFFFFFFFFul;
}

void ParseArguments(const std::string& list, Call& call)
{
    size_t at = 0;
    while (at < list.size()) {
        size_t end = at;
        bool quoted = false;
        for (; end < list.size() && (quoted || list[end] != ','); ++end) {
            if (list[end] == '\\' && quoted)
                ++end;
            else if (list[end] == '"')
                quoted = !quoted;
        }
        const std::string argument = list.substr(at, end - at);
        call.values.push_back(Low32(std::strtoul(argument.c_str(), nullptr, 16)));
        // Wine cuts a long string and marks it with "...; what is shown is
        // already longer than any limit checked here.
        const size_t open = argument.find('"');
        const size_t close = argument.rfind('"');
        call.texts.push_back(open == close ? std::string() : Unescape(argument.substr(open + 1, close - open - 1)));
        at = end + 1;
    }
}

constexpr unsigned long kGenericWrite = 0x40000000;

// What a call of the program leaves behind for the rules of later calls.
void Remember(const Call& call, const std::string& thread, History& history)
{
    ++history.calls[call.function];
    if (const size_t key = KeyArgument(call.function))
        ++history.calls[KeyedName(call.function, call.arg(key))];
    if (call.function == "kernel32.LoadLibraryA" || call.function == "kernel32.LoadLibraryExA") {
        const std::string path = Lower(call.text(1));
        ++history.calls["loaded " + path.substr(path.rfind('\\') + 1)];
    }
    if (call.function == "kernel32.CreateFileA") {
        history.opening[thread] = OpenFile{Lower(call.text(1)), call.arg(2), call.arg(6)};
    } else if (call.function == "kernel32.FlushFileBuffers") {
        const auto found = history.handles.find(call.arg(1));
        if (found != history.handles.end())
            found->second.flushed = true;
    } else if (call.function == "kernel32.CloseHandle") {
        const auto found = history.handles.find(call.arg(1));
        if (found == history.handles.end())
            return;
        if (found->second.access & kGenericWrite) {
            if (found->second.flushed)
                history.closedUnflushed.erase(found->second.path);
            else
                history.closedUnflushed.insert(found->second.path);
        }
        history.handles.erase(found);
    }
}

// "<pid>:<tid>:trace:int21:DOSVM_Int21Handler AX=440d BX=0001 CX=084a ...":
// an MS-DOS request the program made through VWIN32; a lock or an unlock
// becomes the call to check. "... returning: ... EFL=<flags>" is its result.
bool DosRequest(const std::string& line, const std::string& thread, History& history, Call& call)
{
    const auto reg = [&](const char* name) {
        const size_t at = line.find(name);
        return at == std::string::npos ? 0 : std::strtoul(line.c_str() + at + 3, nullptr, 16);
    };
    if (line.find(" returning: ") != std::string::npos) {
        const auto pending = history.dosPending.find(thread);
        if (pending != history.dosPending.end() && !(reg("FL=") & 1))
            ++history.calls[pending->second];
        history.dosPending.erase(thread);
        return false;
    }
    const bool lock = reg("CX=") == kLockLogicalVolume;
    if (reg("AX=") != 0x440D || (!lock && reg("CX=") != 0x086A))
        return false;
    call.function = lock ? "int21.LockLogicalVolume" : "int21.UnlockLogicalVolume";
    call.values = {reg("AX="), reg("BX="), reg("CX="), reg("DX=")};
    history.dosPending[thread] = lock ? kLockDriveA : kUnlockDriveA;
    return true;
}

// "<pid>:<tid>:Ret  KERNEL32.CreateFileA() retval=<handle> ret=<address>":
// the handle a file open of the program got.
void RememberReturn(const std::string& line, const std::string& thread, History& history)
{
    const size_t retAt = line.find(":Ret  ");
    const size_t open = line.find('(', retAt);
    const size_t value = line.find("retval=");
    const auto pending = history.opening.find(thread);
    if (open == std::string::npos || value == std::string::npos || pending == history.opening.end())
        return;
    const std::string function = line.substr(retAt + 6, open - retAt - 6);
    if (function.find('.') == std::string::npos || CanonicalName(function) != "kernel32.CreateFileA")
        return;
    const unsigned long handle = Low32(std::strtoul(line.c_str() + value + 7, nullptr, 16));
    if (handle != kInvalidHandle)
        history.handles[handle] = pending->second;
    history.opening.erase(pending);
}

// Calls that no rule names but whose effects later rules look at.
constexpr const char* kRememberedFunctions =
    "KERNEL32.CreateFileA KERNEL32.FlushFileBuffers KERNEL32.CloseHandle user32.MessageBoxA";

int PrintFunctions()
{
    std::set<std::string> include;
    std::vector<const char*> lists{kRememberedFunctions};
    for (const Rule& rule : kRules)
        lists.push_back(rule.functions);
    for (const char* functions : lists)
        for (const std::string& name : Names(functions)) {
            const std::string canonical = CanonicalName(name);
            if (canonical.compare(0, 6, "int21.") == 0)
                continue;  // traced by +int21, not by the relay
            include.insert(canonical);
            if (canonical.compare(0, 9, "kernel32.") == 0)
                include.insert("kernelbase." + canonical.substr(9));
        }
    std::string joined;
    for (const std::string& name : include)
        joined += (joined.empty() ? "" : ";") + name;
    std::cout << joined << '\n';
    return 0;
}

int Check(const std::string& family, const std::string& exeName, unsigned long imageStart, unsigned long imageEnd,
          const char* tracePath)
{
    const int families = family.compare(0, 2, "9x") == 0 ? k9x : kNt;
    std::ifstream trace(tracePath);
    if (!trace) {
        std::cerr << "platform rules: cannot read " << tracePath << '\n';
        return 1;
    }
    // +pid lines start with the process id; the program's is the one that
    // loaded its exe (a batch run traces cmd.exe too).
    const std::string loaded = "\\\\" + exeName + "\" at ";
    std::string program;
    History history;
    history.verified = family.size() > 2 && family.compare(2, std::string::npos, "+v") == 0;
    int checked = 0;
    int broken = 0;
    const auto checkCall = [&](const Call& call, const std::string& line) {
        ++checked;
        for (const Rule& rule : kRules) {
            if (!(rule.families & families))
                continue;
            for (const std::string& name : Names(rule.functions))
                if (CanonicalName(name) == call.function && !rule.holds(call, history)) {
                    std::cout << "broken rule (" << family << "): " << call.function << ": " << rule.rule << "\n  "
                              << line << "\n  source: " << rule.source << '\n';
                    ++broken;
                }
        }
    };
    for (std::string line; std::getline(trace, line);) {
        const std::string process = line.substr(0, line.find(':'));
        if (program.empty()) {
            if (line.find(":trace:loaddll:") != std::string::npos && line.find(loaded) != std::string::npos)
                program = process;
            continue;
        }
        const std::string thread = line.substr(0, line.find(':', process.size() + 1));
        Call call;
        if (process == program && line.find(":trace:int21:DOSVM_Int21Handler ") != std::string::npos) {
            if (DosRequest(line, thread, history, call))
                checkCall(call, line);
            continue;
        }
        if (process == program && line.find(":Ret  ") != std::string::npos) {
            RememberReturn(line, thread, history);
            continue;
        }
        // "<pid>:<tid>:Call KERNEL32.CreateFileA(<arguments>) ret=<address>"
        const size_t callAt = line.find(":Call ");
        const size_t open = line.find('(', callAt);
        const size_t close = line.rfind(") ret=");
        if (process != program || callAt == std::string::npos || open == std::string::npos ||
            close == std::string::npos || close < open || line.find(' ', callAt + 6) < open)
            continue;  // not a call of a DLL function ("Call window proc", "Call PE DLL")
        const std::string function = line.substr(callAt + 6, open - callAt - 6);
        if (function.find('.') == std::string::npos)
            continue;
        const unsigned long returnAddress = std::strtoul(line.c_str() + close + 6, nullptr, 16);
        if (returnAddress < imageStart || returnAddress >= imageEnd)
            continue;  // a call made by a DLL on the program's behalf
        call.function = CanonicalName(function);
        ParseArguments(line.substr(open + 1, close - open - 1), call);
        checkCall(call, line);
        Remember(call, thread, history);
    }
    if (checked == 0) {
        std::cout << "no call of " << exeName << " in the trace\n";
        return 1;
    }
    return broken == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "functions") == 0)
        return PrintFunctions();
    if (argc == 7 && std::strcmp(argv[1], "check") == 0)
        return Check(argv[2], argv[3], std::strtoul(argv[4], nullptr, 16), std::strtoul(argv[5], nullptr, 16), argv[6]);
    std::cerr << "usage: platform_rules functions | check <9x|nt>[+v] <exe name> <image start> <image end> <trace>\n";
    return 2;
}
