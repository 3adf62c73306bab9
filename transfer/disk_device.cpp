#include "transfer/disk_device.h"

#include <winioctl.h>

#ifdef STARTDISK_RECORD_REQUESTS
// Test builds observe every track request that reaches the platform.
void RecordDiskRequest(TransferDirection direction, int firstSector);
#endif

// Since Vista the NT family refuses raw writes to a mounted volume. Locking
// and dismounting first makes the writes possible there; older systems
// simply fail these requests, which changes nothing. The lock ends with the
// handle.
void ReleaseVolumeForRawAccess(const DiskDevice& device)
{
    DWORD returned = 0;
    DeviceIoControl(device.handle, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    DeviceIoControl(device.handle, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
}

namespace {

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

bool TransferVwin32Track(DiskDevice& device, TransferDirection direction)
{
    const DWORD service = direction == TransferDirection::Write ? VWIN32_DIOC_DOS_INT26 : VWIN32_DIOC_DOS_INT25;
    DWORD returned = 0;
    const BOOL called = DeviceIoControl(device.handle, service, &device.registers, sizeof device.registers,
                                        &device.registers, sizeof device.registers, &returned, nullptr);
    return DiocCallSucceeded(called, device.registers);
}

}  // namespace

DiskDevice OpenDiskDevice(bool directDevice)
{
    DiskDevice device;
    device.direct = directDevice;
    if (directDevice) {
        device.handle = CreateFileA(kDirectDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (device.handle != INVALID_HANDLE_VALUE)
            ReleaseVolumeForRawAccess(device);
    } else {
        device.handle = CreateFileA(kVwin32DevicePath, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    return device;
}

bool TransferTrack(DiskDevice& device, TransferDirection direction, unsigned char* trackBytes, int firstSector)
{
#ifdef STARTDISK_RECORD_REQUESTS
    RecordDiskRequest(direction, device.direct ? firstSector : static_cast<int>(device.registers.reg_EDX));
#endif
    return device.direct ? TransferDirectTrack(device.handle, direction, trackBytes, firstSector)
                         : TransferVwin32Track(device, direction);
}

void CloseDiskDevice(DiskDevice& device)
{
    if (device.handle != INVALID_HANDLE_VALUE)
        CloseHandle(device.handle);
    device.handle = INVALID_HANDLE_VALUE;
}
