#include "transfer/disk_device.h"

#include <winioctl.h>

#ifdef STARTDISK_RECORD_REQUESTS
// Test builds observe every track request that reaches the platform.
void RecordDiskRequest(TransferDirection direction, int firstSector);
#endif

namespace {

// Since Vista the NT family refuses raw writes to a mounted volume. Locking
// and dismounting first makes the writes possible there; older systems
// simply fail these requests, which changes nothing. The lock ends with the
// handle.
void ReleaseVolumeForRawAccess(HANDLE device)
{
    DWORD returned = 0;
    DeviceIoControl(device, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    DeviceIoControl(device, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
}

// MS-DOS services of the 9x family through VWIN32, for a verified write.
constexpr DWORD kGenericIoctl = 0x440D;
constexpr DWORD kLockLogicalVolume = 0x084A;    // category 08h, minor code 4Ah
constexpr DWORD kUnlockLogicalVolume = 0x086A;  // category 08h, minor code 6Ah
// BH = lock level 0, the level the documentation prefers and the only one
// under which a user interface (the retry prompt) may run; BL = drive A:.
constexpr DWORD kLevel0OfDriveA = 0x0001;
constexpr DWORD kResetDrive = 0x710D;
constexpr DWORD kFlushAndInvalidate = 1;  // CX: flush the buffers and drop the drive's cache
constexpr DWORD kDriveA = 1;              // DX: 1 is A:

// Windows refuses a level-0 lock while any program has a file or a folder
// window open on the drive, and the prompt that follows speaks only of the
// diskette.
constexpr const char* kLockRefusedDebugLine =
    "Drive A: could not be locked: close every window and program that uses A:\r\n";

// Unbuffered I/O goes to the medium itself; writing through also leaves
// nothing in the drive's own cache.
constexpr DWORD kVerifyFlags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH;

// An INT 21h function through VWIN32. The carry flag is preset, so that a
// request nobody carried out does not pass for one that succeeded.
bool CallDos(const DiskDevice& device, DWORD eax, DWORD ebx, DWORD ecx, DWORD edx)
{
    DIOC_REGISTERS registers{ebx, edx, ecx, eax, 0, 0, kCarryFlag};
    DWORD returned = 0;
    const BOOL called = DeviceIoControl(device.handle, VWIN32_DIOC_DOS_IOCTL, &registers, sizeof registers,
                                        &registers, sizeof registers, &returned, nullptr);
    return DiocCallSucceeded(called, registers);
}

bool TransferDirectTrack(HANDLE device, TransferDirection direction, unsigned char* trackBytes, int firstSector)
{
    SetFilePointer(device, firstSector * DiskGeometry::bytesPerSector, nullptr, FILE_BEGIN);
    DWORD moved = 0;
    const BOOL done = direction == TransferDirection::Write
                          ? WriteFile(device, trackBytes, DiskGeometry::bytesPerTrack, &moved, nullptr)
                          : ReadFile(device, trackBytes, DiskGeometry::bytesPerTrack, &moved, nullptr);
    // A short transfer would leave the diskette or the image incomplete.
    return done && moved == static_cast<DWORD>(DiskGeometry::bytesPerTrack);
}

bool TransferVwin32Track(const DiskDevice& device, TransferDirection direction, DIOC_REGISTERS& registers)
{
    const DWORD service = direction == TransferDirection::Write ? VWIN32_DIOC_DOS_INT26 : VWIN32_DIOC_DOS_INT25;
    DWORD returned = 0;
    const BOOL called = DeviceIoControl(device.handle, service, &registers, sizeof registers, &registers,
                                        sizeof registers, &returned, nullptr);
    return DiocCallSucceeded(called, registers);
}

}  // namespace

DiskDevice OpenDiskDevice(bool directDevice, bool verify)
{
    DiskDevice device;
    device.direct = directDevice;
    device.verify = verify;
    if (directDevice) {
        // One handle for the writes and the read-backs: once the volume is
        // locked, no other handle may reach it.
        device.handle = CreateFileA(kDirectDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, verify ? kVerifyFlags : 0, nullptr);
        if (device.handle != INVALID_HANDLE_VALUE)
            ReleaseVolumeForRawAccess(device.handle);
    } else {
        device.handle = CreateFileA(kVwin32DevicePath, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        // Without a lock the absolute disk read may be served from the
        // system's caches rather than the diskette. It fails while anything
        // has a file or a window open on A:; the first track then fails and
        // the user can close it before trying again.
        if (verify && device.handle != INVALID_HANDLE_VALUE) {
            device.locked = CallDos(device, kGenericIoctl, kLevel0OfDriveA, kLockLogicalVolume, 0);
            if (!device.locked)
                OutputDebugStringA(kLockRefusedDebugLine);
        }
    }
    return device;
}

bool TransferTrack(DiskDevice& device, TransferDirection direction, unsigned char* trackBytes, int firstSector)
{
    if (LockMissing(device))
        return false;
#ifdef STARTDISK_RECORD_REQUESTS
    RecordDiskRequest(direction, device.direct ? firstSector : static_cast<int>(device.registers.reg_EDX));
#endif
    return device.direct ? TransferDirectTrack(device.handle, direction, trackBytes, firstSector)
                         : TransferVwin32Track(device, direction, device.registers);
}

void DropCachedTracks(const DiskDevice& device)
{
    // Reset Drive is documented as an MS-DOS function with no return value,
    // and VWIN32_DIOC_DOS_IOCTL only for the IOCTL functions 4400h to 4411h:
    // nothing says that VWIN32 carries this one, nor whether it was carried
    // out. It is asked for anyway, since it costs one request and without it
    // a changed diskette might seem to match from the cache; its result is
    // not read, and the reads that follow are what the check goes by.
    if (!device.direct)
        CallDos(device, kResetDrive, 0, kFlushAndInvalidate, kDriveA);
}

bool ReadTrackBack(DiskDevice& device, unsigned char* readBack, int firstSector)
{
    if (LockMissing(device))
        return false;
#ifdef STARTDISK_RECORD_REQUESTS
    RecordDiskRequest(TransferDirection::Read, firstSector);
#endif
    if (device.direct)
        return TransferDirectTrack(device.handle, TransferDirection::Read, readBack, firstSector);
    // Under the lock the read reaches the diskette anyway; this only drops
    // what the cache still holds. Without -v the read stays the one request
    // it always was.
    if (device.verify)
        DropCachedTracks(device);
    DIOC_REGISTERS request;
    FillDiocRegisters(request, readBack, firstSector);
    return TransferVwin32Track(device, TransferDirection::Read, request);
}

void CloseDiskDevice(DiskDevice& device)
{
    if (device.locked)
        CallDos(device, kGenericIoctl, kLevel0OfDriveA, kUnlockLogicalVolume, 0);
    device.locked = false;
    if (device.handle != INVALID_HANDLE_VALUE)
        CloseHandle(device.handle);
    device.handle = INVALID_HANDLE_VALUE;
}
