// Fixed layout of a 1.44 MB high-density diskette in drive A:.
#ifndef STARTDISK_DISK_GEOMETRY_H
#define STARTDISK_DISK_GEOMETRY_H

struct DiskGeometry {
    static constexpr int bytesPerSector = 512;
    static constexpr int sectorsPerTrack = 18;
    static constexpr int tracks = 160;
    static constexpr int bytesPerTrack = bytesPerSector * sectorsPerTrack;
    static constexpr int sectors = sectorsPerTrack * tracks;
    static constexpr int imageSize = bytesPerSector * sectors;
    static constexpr int driveNumber = 0;  // drive A: for the 9x absolute-disk services
};

static_assert(DiskGeometry::bytesPerTrack == 9216, "a track is 18 sectors of 512 bytes");
static_assert(DiskGeometry::sectors == 2880, "a 1.44 MB diskette has 2,880 sectors");
static_assert(DiskGeometry::imageSize == 1474560, "a 1.44 MB diskette holds 1,474,560 bytes");

enum class TransferDirection { Read, Write };

#endif
