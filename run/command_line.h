// Reading the three command-line options. Portable: no Windows headers, and no
// allocation, so the program needs no more of the C++ runtime than this.
#ifndef STARTDISK_COMMAND_LINE_H
#define STARTDISK_COMMAND_LINE_H

#include <string_view>

constexpr std::string_view kDefaultImageFileName = "MYFILE.BIN";

struct CommandLineOptions {
    bool captureMode = false;  // read the diskette into the image file
    bool verify = false;       // every written track is read back from the diskette and compared
    // Lies in the tail, or is the default. A name that runs to the end of the
    // tail ends in the tail's NUL; a quoted one ends at its closing mark.
    std::string_view imageFileName = kDefaultImageFileName;
};

// Tells whether a byte starts a double-byte character of the ANSI code page.
// Null means a single-byte code page.
using LeadByteTest = bool (*)(unsigned char);

// The options are found as plain substrings of the raw tail: no tokenising,
// no case folding. The first file option of either form names the image
// file: what follows it runs to the end of the tail, or, when it is in
// quotation marks with nothing but blanks after them, is what stands between
// them. -r and -v count only before that option, never inside the name. A
// tail that is a full path, as Windows passes a file dropped on the program,
// is the name, quoted by the same rule, and holds no option.
CommandLineOptions ParseCommandLine(const char* tail, LeadByteTest isLeadByte = nullptr);

// The process command line without the program name and the control
// characters and blanks that follow it; points into commandLine.
const char* CommandLineTail(const char* commandLine);

#endif
