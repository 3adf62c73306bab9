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

bool UserEndedTransfer()
{
    // A hidden progress window means the user pressed Escape or Enter, or
    // closed it.
    return !IsWindowVisible(runState.progressWindow);
}

// Asks whether to try the failed track again. Once the user has ended the
// transfer nobody is there to answer, and a prompt left up would keep the
// worker (and on a verified 9x write the lock of drive A:) past the run. A
// prompt that cannot be shown is no answer of the user's: it fails the run,
// with the platform's error code.
bool UserWantsRetry(bool direct)
{
    if (!direct)
        OutputDebugStringA(kVwin32FailedTrackDebugLine);
    if (UserEndedTransfer())
        return false;
    // The failed track left its own code; a prompt that fails without one
    // must not pass that off as the reason.
    SetLastError(ERROR_SUCCESS);
    const int answer = MessageBoxA(runState.progressWindow, kFailedTrackText,
                                   direct ? kDirectFailedTrackCaption : kVwin32FailedTrackCaption,
                                   MB_OKCANCEL | MB_ICONERROR);
    if (answer != IDOK && answer != IDCANCEL) {
        const DWORD error = GetLastError();
        if (!UserEndedTransfer())
            RecordRunFailure(error);
    }
    return answer == IDOK;
}

// Reads a track from the diskette into readBack; true when the read worked.
// The buffer first gets bytes that cannot equal trackBytes, so a read that
// moves nothing and still reports success cannot pass for the track.
bool ReadTrackForComparison(DiskDevice& device, const unsigned char* trackBytes, unsigned char* readBack, int track)
{
    for (int i = 0; i < DiskGeometry::bytesPerTrack; ++i)
        readBack[i] = static_cast<unsigned char>(~trackBytes[i]);
    return ReadTrackBack(device, readBack, track * DiskGeometry::sectorsPerTrack);
}

bool SameTrack(const unsigned char* left, const unsigned char* right)
{
    for (int i = 0; i < DiskGeometry::bytesPerTrack; ++i)
        if (left[i] != right[i])
            return false;
    return true;
}

// Reads the track just written back from the diskette and compares it.
bool TrackReadsBack(DiskDevice& device, const unsigned char* trackBytes, unsigned char* readBack, int track)
{
    if (!ReadTrackForComparison(device, trackBytes, readBack, track))
        return false;
    if (!SameTrack(readBack, trackBytes)) {
        char line[64];
        wsprintfA(line, kReadBackDifferedDebugFormat, track);
        OutputDebugStringA(line);
        return false;
    }
    return true;
}

// After OK at a failed track: the user's correction may have been another
// diskette, which must then get the tracks before this one as well (or give
// them, when capturing). Returns the first track that cannot be read or does
// not hold what the image has for it, or failedTrack when all do. It costs
// failedTrack reads at most, and only after an OK; it stops early when the
// user ends the transfer meanwhile. A device that cannot read at all tells
// nothing about the diskette: its failed track is tried again and fails, so
// the user is asked again.
int FirstTrackToRedo(DiskDevice& device, const unsigned char* image, int failedTrack)
{
    if (failedTrack == 0 || !CanReadDiskette(device))
        return failedTrack;
    // The tracks just handled may still be in the system's cache.
    DropCachedTracks(device);
    // Page-aligned, as unbuffered reads of the raw device need.
    auto* buffer = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, DiskGeometry::bytesPerTrack, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!buffer)
        return 0;  // nothing can be compared: every track is done again
    int track = 0;
    for (; track < failedTrack && !UserEndedTransfer(); ++track) {
        const unsigned char* handled = image + track * DiskGeometry::bytesPerTrack;
        if (!ReadTrackForComparison(device, handled, buffer, track) || !SameTrack(buffer, handled))
            break;
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    return track;
}

// Readies the device for another attempt at the same track: it is opened
// afresh on both paths, so that the attempt reaches the drive as the user has
// just put it right. A handle opened before may be tied to a drive that has
// gone (unplugged and plugged in again) or to none at all.
void PrepareRetry(DiskDevice& device, unsigned char* trackBytes, int firstSector)
{
    CloseDiskDevice(device);
    device = OpenDiskDevice(device.direct, device.verify);
    if (!device.direct)
        FillDiocRegisters(device.registers, trackBytes, firstSector);
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
            const int redo = FirstTrackToRedo(device, image, track);
            if (UserEndedTransfer()) {
                result = false;
                break;
            }
            if (redo < track) {
                // Carry on from there: the track before it counts as the
                // one just handled, for the bar as for the loop.
                track = redo - 1;
                break;
            }
        }

        if (IsWindow(progressBar))
            SendMessageA(progressBar, PBM_SETPOS, track > 0 ? track : 0, 0);
        if (UserEndedTransfer())
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
