// Moving a whole diskette between memory and drive A:, track by track.
#ifndef STARTDISK_TRACK_TRANSFER_H
#define STARTDISK_TRACK_TRANSFER_H

#include <windows.h>

#include "transfer/disk_geometry.h"

// image holds DiskGeometry::imageSize bytes. Returns true only when all
// tracks were moved and the user did not cancel. With readBack (room for one
// track, sector-aligned; writes only) every written track is read back from
// the diskette and compared, and a track that differs fails like a failed
// write.
bool TransferDisk(unsigned char* image, HWND progressBar, TransferDirection direction,
                  unsigned char* readBack = nullptr);
bool WriteDisk(unsigned char* image, HWND progressBar, unsigned char* readBack = nullptr);
bool ReadDisk(unsigned char* image, HWND progressBar);

#endif
