#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "run/screen_table.h"
#include "transfer/disk_geometry.h"

namespace {

TEST(ScreenTable, PreTransferScreensAreNumberedOneToFive)
{
    for (int row = 0; row < kPreTransferScreenCount; ++row)
        EXPECT_EQ(std::string(ScreenTable[row].title),
                  "Partition Deletion Application Screen " + std::to_string(row + 1) + " of 5");
    EXPECT_STREQ(ScreenTable[kClosingScreen].title, "Partition Deletion Application");
}

TEST(ScreenTable, FileNamesKeepTheirCase)
{
    const char* files[kScreenCount] = {"LA001.RTF", "INST001.rtf", "INST002.rtf",
                                       "INST003.rtf", "INST004.rtf", "AFTR001.rtf"};
    for (int row = 0; row < kScreenCount; ++row)
        EXPECT_STREQ(ScreenTable[row].file, files[row]) << "row " << row;
}

TEST(ScreenTable, TextsThatMustSurviveExactly)
{
    EXPECT_STREQ(ScreenTable[0].prompt,
                 "Do you accept all the terms of the preceding License Agreement?  To enable the Yes button, you "
                 "must read the entire agreement.  If you choose No, Setup will close.  To install, you must "
                 "accept this agreement.");
    EXPECT_STREQ(ScreenTable[2].heading, "Restoration Software and Calbrin Disks");
    EXPECT_STREQ(ScreenTable[3].heading, "Retaining Personal Files on \"D:\" drive");
    EXPECT_STREQ(ScreenTable[4].prompt,
                 "If you have read and understand these instructions, insert a diskette into the A: drive and "
                 "press continue.");
    EXPECT_STREQ(ScreenTable[kClosingScreen].prompt, "") << "the closing screen clears its prompt";
    EXPECT_STREQ(ScreenTable[kClosingScreen].acceptLabel, "Reboot &Now");
    EXPECT_STREQ(ScreenTable[kClosingScreen].declineLabel, "Reboot &Later");
}

TEST(ScreenTable, SharedPromptsAndLabels)
{
    EXPECT_STREQ(ScreenTable[1].prompt, "If you have read and understand these instructions, press continue.");
    EXPECT_STREQ(ScreenTable[1].prompt, ScreenTable[2].prompt);
    for (int row : {1, 2, 4}) {
        EXPECT_STREQ(ScreenTable[row].acceptLabel, "Continue");
        EXPECT_STREQ(ScreenTable[row].declineLabel, "Cancel");
    }
    for (int row : {0, 3}) {
        EXPECT_STREQ(ScreenTable[row].acceptLabel, "&Yes");
        EXPECT_STREQ(ScreenTable[row].declineLabel, "&No");
    }
}

TEST(ScreenTable, OnlyTheFirstFourDocumentsAreDeletedBeforeARestart)
{
    ASSERT_EQ(kDeletedScreenCount, 4);
    EXPECT_STREQ(ScreenTable[kDeletedScreenCount - 1].file, "INST003.rtf");
}

TEST(DiskGeometry, TracksTileTheWholeImage)
{
    const int lastTrack = DiskGeometry::tracks - 1;
    EXPECT_EQ(lastTrack * DiskGeometry::sectorsPerTrack, 2862);
    EXPECT_EQ(lastTrack * DiskGeometry::bytesPerTrack, 1465344);
    EXPECT_EQ((lastTrack + 1) * DiskGeometry::bytesPerTrack, DiskGeometry::imageSize);
}

}  // namespace
