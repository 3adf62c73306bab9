// Moving a whole diskette between memory and drive A:, track by track.
#ifndef STARTDISK_TRACK_TRANSFER_H
#define STARTDISK_TRACK_TRANSFER_H

#include <windows.h>

#include "transfer/disk_geometry.h"

// image holds DiskGeometry::imageSize bytes. Returns true only when all
// tracks were moved and the user did not cancel.
bool TransferDisk(unsigned char* image, HWND progressBar, TransferDirection direction);
bool WriteDisk(unsigned char* image, HWND progressBar);
bool ReadDisk(unsigned char* image, HWND progressBar);

#endif
