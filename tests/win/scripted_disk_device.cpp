#include "tests/win/scripted_disk_device.h"

#include <algorithm>

#include "run/run_state.h"
#include "transfer/disk_device.h"

DeviceScript deviceScript;

namespace {

bool Listed(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::string HandleName(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? "invalid" : "#" + std::to_string(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

DiskDevice OpenDiskDevice(bool directDevice, bool verify)
{
    const int open = deviceScript.opens++;
    DiskDevice device;
    device.direct = directDevice;
    device.verify = verify;
    device.locked = verify && !directDevice;
    device.handle = Listed(deviceScript.failingOpens, open) ? INVALID_HANDLE_VALUE
                                                            : reinterpret_cast<HANDLE>(open + 1);
    deviceScript.events.push_back(std::string("open ") + (directDevice ? "direct " : "9x ") + HandleName(device.handle));
    return device;
}

bool TransferTrack(DiskDevice& device, TransferDirection, unsigned char*, int firstSector)
{
    const int call = deviceScript.trackCalls++;
    const int sector = device.direct ? firstSector : static_cast<int>(device.registers.reg_EDX);
    deviceScript.events.push_back("track " + std::to_string(sector) + " " + HandleName(device.handle));
    if (call == deviceScript.hideAtCall)
        ShowWindow(runState.progressWindow, SW_HIDE);
    if (device.handle == INVALID_HANDLE_VALUE)
        return false;
    // A failed request leaves its code behind, as a write-protected diskette's does.
    if (Listed(deviceScript.failingCalls, call))
        SetLastError(ERROR_WRITE_PROTECT);
    if (device.direct)
        return !Listed(deviceScript.failingCalls, call);
    // VWIN32 reports a failed service only through the carry flag; a record
    // that is not filled afresh keeps it and fails again.
    if (Listed(deviceScript.failingCalls, call))
        device.registers.reg_Flags |= kCarryFlag;
    return DiocCallSucceeded(TRUE, device.registers);
}

// Reads back what the last track request wrote, unless the script spoils it.
bool ReadTrackBack(DiskDevice& device, unsigned char* readBack, int firstSector)
{
    const int read = deviceScript.readBacks++;
    deviceScript.events.push_back("read back " + std::to_string(firstSector) + " " + HandleName(device.handle));
    if (read == deviceScript.hideAtReadBack)
        ShowWindow(runState.progressWindow, SW_HIDE);
    if (device.handle == INVALID_HANDLE_VALUE || Listed(deviceScript.failingReadBacks, read))
        return false;
    for (int i = 0; i < DiskGeometry::bytesPerTrack; ++i)
        readBack[i] = static_cast<unsigned char>(~readBack[i]);
    if (Listed(deviceScript.differingReadBacks, read))
        readBack[DiskGeometry::bytesPerTrack - 1] ^= 1;
    return true;
}

void DropCachedTracks(const DiskDevice& device)
{
    deviceScript.events.push_back("drop cache " + HandleName(device.handle));
}

void CloseDiskDevice(DiskDevice& device)
{
    deviceScript.events.push_back("close " + HandleName(device.handle));
    device.handle = INVALID_HANDLE_VALUE;
}
