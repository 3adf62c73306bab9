// A stand-in for the diskette device whose track requests fail on cue, so
// that the transfer loop's retries can be driven where Wine never fails.
#ifndef STARTDISK_SCRIPTED_DISK_DEVICE_H
#define STARTDISK_SCRIPTED_DISK_DEVICE_H

#include <string>
#include <vector>

struct DeviceScript {
    std::vector<int> failingCalls;     // 0-based track requests that fail
    std::vector<int> failingOpens;     // 0-based opens that give an invalid handle
    std::vector<int> differingReadBacks;  // 0-based read-backs with one byte changed
    std::vector<int> failingReadBacks;    // 0-based read-backs that cannot be read
    int hideAtCall = -1;      // the progress window is hidden, as by a close, during this
    int hideAtReadBack = -1;  // track request or read-back
    std::vector<std::string> events;   // "open 9x #1", "track 18 #1", "close #1", ...
    int trackCalls = 0;
    int opens = 0;
    int readBacks = 0;
};

extern DeviceScript deviceScript;

#endif
