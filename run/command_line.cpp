#include "run/command_line.h"

#include <cstring>

namespace {

constexpr const char* kCaptureSlash = "/r";
constexpr const char* kCaptureDash = "-r";
constexpr const char* kVerifySlash = "/v";
constexpr const char* kVerifyDash = "-v";
constexpr const char* kFileSlash = "/f";
constexpr const char* kFileDash = "-f";
constexpr std::size_t kOptionLength = 2;

// First occurrence of option that starts on a character boundary before end
// (null: the end of the tail): under a double-byte code page a trail byte may
// look like '/' or '-'.
const char* FindOption(const char* tail, const char* option, LeadByteTest isLeadByte, const char* end = nullptr)
{
    for (const char* at = tail; *at && at != end;) {
        if (std::strncmp(at, option, kOptionLength) == 0)
            return at;
        const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(*at));
        at += (doubleByte && at[1]) ? 2 : 1;
    }
    return nullptr;
}

}  // namespace

CommandLineOptions ParseCommandLine(const char* tail, LeadByteTest isLeadByte)
{
    CommandLineOptions options;
    const char* slashFile = FindOption(tail, kFileSlash, isLeadByte);
    const char* dashFile = FindOption(tail, kFileDash, isLeadByte);
    const char* option = slashFile ? slashFile : dashFile;

    // The name runs to the end of the tail, so nothing in it is an option:
    // "-f win98-rescue.img" names an image to write, not one to capture
    // over. The flags end at the first file option of either form, so that
    // the "/r" of "-f C:/rescue/a.img" is part of the name too.
    const char* flagsEnd = slashFile && dashFile ? (slashFile < dashFile ? slashFile : dashFile) : option;
    options.captureMode = FindOption(tail, kCaptureSlash, isLeadByte, flagsEnd) ||
                          FindOption(tail, kCaptureDash, isLeadByte, flagsEnd);
    options.verify = FindOption(tail, kVerifySlash, isLeadByte, flagsEnd) ||
                     FindOption(tail, kVerifyDash, isLeadByte, flagsEnd);

    if (option) {
        // The option and the one character after it, the separator: under a
        // double-byte code page that may take two bytes (a full-width
        // space). An option that ends the tail leaves no room for a name: the
        // name is empty, so opening the image file fails visibly later on.
        const char* separator = option + kOptionLength;
        const bool doubleByte = *separator && isLeadByte && isLeadByte(static_cast<unsigned char>(*separator));
        const char* name = separator + (doubleByte && separator[1] ? 2 : 1);
        options.imageFileName = *separator ? name : separator;
    }
    return options;
}

const char* CommandLineTail(const char* commandLine)
{
    const char* at = commandLine;
    if (*at == '"') {
        const char* closing = std::strchr(at + 1, '"');
        at = closing ? closing + 1 : at + std::strlen(at);
    } else {
        while (static_cast<unsigned char>(*at) > ' ')
            ++at;
    }
    while (*at && static_cast<unsigned char>(*at) <= ' ')
        ++at;
    return at;
}
