// Reading the two command-line options. Portable: no Windows headers.
#ifndef STARTDISK_COMMAND_LINE_H
#define STARTDISK_COMMAND_LINE_H

#include <string>
#include <string_view>

constexpr const char* kDefaultImageFileName = "MYFILE.BIN";

struct CommandLineOptions {
    bool captureMode = false;  // read the diskette into the image file
    std::string imageFileName = kDefaultImageFileName;
};

// Tells whether a byte starts a double-byte character of the ANSI code page.
// Null means a single-byte code page.
using LeadByteTest = bool (*)(unsigned char);

// The options are found as plain substrings of the raw tail: no tokenising,
// no case folding, and the file name runs to the end of the tail.
CommandLineOptions ParseCommandLine(std::string_view tail, LeadByteTest isLeadByte = nullptr);

// The process command line without the program name and the control
// characters and blanks that follow it.
std::string_view CommandLineTail(std::string_view commandLine);

#endif
