#include "run/screen_table.h"

namespace {

constexpr const char* kSeenInstructions = "If you have read and understand these instructions, press continue.";

}  // namespace

const ScreenSpec ScreenTable[kScreenCount] = {
    {"LA001.RTF", "Partition Deletion Application Screen 1 of 5", "Software License Agreement",
     "Do you accept all the terms of the preceding License Agreement?  To enable the Yes button, you must "
     "read the entire agreement.  If you choose No, Setup will close.  To install, you must accept this agreement.",
     "&Yes", "&No"},
    {"INST001.rtf", "Partition Deletion Application Screen 2 of 5", "Purpose of Program", kSeenInstructions,
     "Continue", "Cancel"},
    {"INST002.rtf", "Partition Deletion Application Screen 3 of 5", "Restoration Software and Calbrin Disks",
     kSeenInstructions, "Continue", "Cancel"},
    {"INST003.rtf", "Partition Deletion Application Screen 4 of 5", "Retaining Personal Files on \"D:\" drive",
     "Do You Wish To Continue?", "&Yes", "&No"},
    {"INST004.rtf", "Partition Deletion Application Screen 5 of 5", "Risk of Deleting Partition",
     "If you have read and understand these instructions, insert a diskette into the A: drive and press continue.",
     "Continue", "Cancel"},
    {"AFTR001.rtf", "Partition Deletion Application", "Installation Instruction", "", "Reboot &Now",
     "Reboot &Later"},
};
