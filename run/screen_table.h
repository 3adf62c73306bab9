// The six document screens the program can show. Portable: no Windows headers.
#ifndef STARTDISK_SCREEN_TABLE_H
#define STARTDISK_SCREEN_TABLE_H

struct ScreenSpec {
    const char* file;
    const char* title;
    const char* heading;
    const char* prompt;
    const char* acceptLabel;
    const char* declineLabel;
};

constexpr int kScreenCount = 6;
constexpr int kLicenceScreen = 0;          // the only screen that must be read to its end
constexpr int kPreTransferScreenCount = 5; // rows 0 to 4 come before the transfer
constexpr int kClosingScreen = 5;          // after a successful write on the 9x family
constexpr int kDeletedScreenCount = 4;     // rows 0 to 3 name the files deleted before a restart

extern const ScreenSpec ScreenTable[kScreenCount];

#endif
