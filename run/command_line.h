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

// An option counts only where a word begins: at the tail's start or right
// after a blank or control character outside quotation marks, which pair up
// from the tail's start; no case folding. -r and -v count also right after
// the mark that opens a word. The first word that names the image ends the
// options: the first file option of either form, whose name follows it, or
// a full path, as Windows passes a file dropped on the program or on a
// shortcut to it. The name runs to the end of the tail, or, when it is in
// quotation marks with nothing but blanks after them, is what stands
// between them.
CommandLineOptions ParseCommandLine(const char* tail, LeadByteTest isLeadByte = nullptr);

// The process command line without the program name and the control
// characters and blanks that follow it; points into commandLine.
const char* CommandLineTail(const char* commandLine);

#endif
