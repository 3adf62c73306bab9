// Raw access to drive A: on both Windows families.
#ifndef STARTDISK_DISK_DEVICE_H
#define STARTDISK_DISK_DEVICE_H

#include <windows.h>

#include "transfer/disk_geometry.h"

// The VWIN32 register record of the 9x family (the layout its vwin32.h publishes).
struct DIOC_REGISTERS {
    DWORD reg_EBX;
    DWORD reg_EDX;
    DWORD reg_ECX;
    DWORD reg_EAX;
    DWORD reg_EDI;
    DWORD reg_ESI;
    DWORD reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "VWIN32 expects seven 32-bit registers");

constexpr DWORD VWIN32_DIOC_DOS_IOCTL = 1;  // an MS-DOS function (INT 21h)
constexpr DWORD VWIN32_DIOC_DOS_INT25 = 2;  // absolute disk read
constexpr DWORD VWIN32_DIOC_DOS_INT26 = 3;  // absolute disk write
constexpr DWORD kCarryFlag = 1;

constexpr const char* kDirectDevicePath = "\\\\.\\A:";
constexpr const char* kVwin32DevicePath = "\\\\.\\vwin32";

struct DiskDevice {
    bool direct = true;
    bool verify = false;  // every written track is read back from the diskette
    bool locked = false;  // 9x path with verify: drive A: is locked for this process
    HANDLE handle = INVALID_HANDLE_VALUE;
    DIOC_REGISTERS registers{};  // 9x path: the request of the current track
};

// The open is not checked here: a failed open shows up as a failed first
// track, so the user gets the usual retry prompt. With verify, reads must
// come from the diskette itself, not from a cache: the raw device is opened
// unbuffered and written through, and on the 9x path drive A: is locked.
DiskDevice OpenDiskDevice(bool directDevice, bool verify);
void FillDiocRegisters(DIOC_REGISTERS& registers, unsigned char* trackBytes, int firstSector);
// Moves one whole track; on the 9x path the registers must have been filled.
bool TransferTrack(DiskDevice& device, TransferDirection direction, unsigned char* trackBytes, int firstSector);
// A verified 9x transfer moves nothing without its lock: a read could then
// come from the cache instead of the diskette.
inline bool LockMissing(const DiskDevice& device)
{
    return !device.direct && device.verify && !device.locked;
}
inline bool CanReadDiskette(const DiskDevice& device)
{
    return device.handle != INVALID_HANDLE_VALUE && !LockMissing(device);
}
// 9x path: asks the system to drop what it holds for drive A:, so that the
// reads after it come from the diskette, not from the cache (an unlocked
// absolute read may be served from there). The raw device of the NT family
// keeps no such cache of its own.
void DropCachedTracks(const DiskDevice& device);
// Reads a track from the diskette into readBack (room for one track,
// sector-aligned), past any cache: a track just written, or one handled
// earlier that a retry checks again.
bool ReadTrackBack(DiskDevice& device, unsigned char* readBack, int firstSector);
// Releases a lock the device holds, then the device.
void CloseDiskDevice(DiskDevice& device);

// A VWIN32 service call succeeds only when the call itself did and the
// service left the carry flag clear.
bool DiocCallSucceeded(BOOL callResult, const DIOC_REGISTERS& registers);

#endif
