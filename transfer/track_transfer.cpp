#include "transfer/track_transfer.h"

#include <commctrl.h>

#include "run/run_state.h"
#include "transfer/disk_device.h"

namespace {

constexpr const char* kFailedTrackText =
    "Disk is either write protected, bad or not in floppy drive.\r\n"
    "Please correct and hit OK to continue or Cancel to abort.";
constexpr const char* kDirectFailedTrackCaption = "Error writing to floppy";
constexpr const char* kVwin32FailedTrackCaption = "Floppy Disk Error";
constexpr const char* kVwin32FailedTrackDebugLine = "Error writing to floppy\r\n";
constexpr const char* kReadBackDifferedDebugFormat = "Track %d did not read back as written\r\n";

// Asks whether to try the failed track again.
bool UserWantsRetry(bool direct)
{
    if (!direct)
        OutputDebugStringA(kVwin32FailedTrackDebugLine);
    return MessageBoxA(runState.progressWindow, kFailedTrackText,
                       direct ? kDirectFailedTrackCaption : kVwin32FailedTrackCaption,
                       MB_OKCANCEL | MB_ICONERROR) == IDOK;
}

// Reads the track just written back from the diskette and compares it. The
// buffer first gets bytes that cannot equal the track, so a read that moves
// nothing and still reports success cannot pass.
bool TrackReadsBack(DiskDevice& device, const unsigned char* trackBytes, unsigned char* readBack, int track)
{
    for (int i = 0; i < DiskGeometry::bytesPerTrack; ++i)
        readBack[i] = static_cast<unsigned char>(~trackBytes[i]);
    if (!ReadTrackBack(device, readBack, track * DiskGeometry::sectorsPerTrack))
        return false;
    for (int i = 0; i < DiskGeometry::bytesPerTrack; ++i)
        if (readBack[i] != trackBytes[i]) {
            char line[64];
            wsprintfA(line, kReadBackDifferedDebugFormat, track);
            OutputDebugStringA(line);
            return false;
        }
    return true;
}

// Readies the device for another attempt at the same track. VWIN32 is always
// reopened; the raw device only when it never opened, since an invalid
// handle could never succeed however the user corrects the drive. A good
// raw handle has its volume released again.
void PrepareRetry(DiskDevice& device, unsigned char* trackBytes, int firstSector)
{
    if (!device.direct) {
        CloseDiskDevice(device);
        device = OpenDiskDevice(false, device.verify);
        FillDiocRegisters(device.registers, trackBytes, firstSector);
    } else if (device.handle == INVALID_HANDLE_VALUE) {
        device = OpenDiskDevice(true, device.verify);
    } else {
        ReleaseVolumeForRawAccess(device);
    }
}

}  // namespace

bool TransferDisk(unsigned char* image, HWND progressBar, TransferDirection direction, unsigned char* readBack)
{
    if (IsWindow(progressBar)) {
        SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, DiskGeometry::tracks));
        SendMessageA(progressBar, PBM_SETPOS, 0, 0);
    }

    DiskDevice device = OpenDiskDevice(runState.directDevice, readBack != nullptr);
    bool result = true;
    for (int track = 0; track < DiskGeometry::tracks && result; ++track) {
        unsigned char* trackBytes = image + track * DiskGeometry::bytesPerTrack;
        const int firstSector = track * DiskGeometry::sectorsPerTrack;
        if (!device.direct)
            FillDiocRegisters(device.registers, trackBytes, firstSector);

        while (!TransferTrack(device, direction, trackBytes, firstSector) ||
               (readBack && !TrackReadsBack(device, trackBytes, readBack, track))) {
            if (!UserWantsRetry(device.direct)) {
                result = false;
                break;
            }
            PrepareRetry(device, trackBytes, firstSector);
        }

        if (IsWindow(progressBar))
            SendMessageA(progressBar, PBM_SETPOS, track, 0);
        // A hidden progress window means the user pressed Escape or Enter.
        if (!IsWindowVisible(runState.progressWindow))
            result = false;
    }
    CloseDiskDevice(device);
    return result;
}

bool WriteDisk(unsigned char* image, HWND progressBar, unsigned char* readBack)
{
    return TransferDisk(image, progressBar, TransferDirection::Write, readBack);
}

bool ReadDisk(unsigned char* image, HWND progressBar)
{
    return TransferDisk(image, progressBar, TransferDirection::Read);
}
