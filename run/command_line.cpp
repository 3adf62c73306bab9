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

// The option's two characters and the one separator after them.
constexpr std::size_t kFileOptionPrefix = kOptionLength + 1;

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
    const char* option = FindOption(tail, kFileSlash, isLeadByte);
    if (!option)
        option = FindOption(tail, kFileDash, isLeadByte);

    // The name runs to the end of the tail, so nothing in it is an option:
    // "-f win98-rescue.img" names an image to write, not one to capture over.
    options.captureMode = FindOption(tail, kCaptureSlash, isLeadByte, option) ||
                          FindOption(tail, kCaptureDash, isLeadByte, option);
    options.verify = FindOption(tail, kVerifySlash, isLeadByte, option) ||
                     FindOption(tail, kVerifyDash, isLeadByte, option);

    if (option) {
        // An option that ends the tail leaves no room for a name: the name is
        // empty, so opening the image file fails visibly later on.
        const std::size_t rest = std::strlen(option);
        options.imageFileName = rest > kFileOptionPrefix ? option + kFileOptionPrefix : option + rest;
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
