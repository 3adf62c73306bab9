#include "run/command_line.h"

namespace {

constexpr std::string_view kCaptureSlash = "/r";
constexpr std::string_view kCaptureDash = "-r";
constexpr std::string_view kFileSlash = "/f";
constexpr std::string_view kFileDash = "-f";

// The option, its two characters and the one separator after them.
constexpr std::string_view::size_type kFileOptionPrefix = 3;

// First occurrence of option that starts on a character boundary: under a
// double-byte code page a trail byte may look like '/' or '-'.
std::string_view::size_type FindOption(std::string_view tail, std::string_view option,
                                       LeadByteTest isLeadByte)
{
    std::string_view::size_type i = 0;
    while (i < tail.size()) {
        if (tail.compare(i, option.size(), option) == 0)
            return i;
        const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(tail[i]));
        i += (doubleByte && i + 1 < tail.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

}  // namespace

CommandLineOptions ParseCommandLine(std::string_view tail, LeadByteTest isLeadByte)
{
    CommandLineOptions options;
    options.captureMode = FindOption(tail, kCaptureSlash, isLeadByte) != std::string_view::npos ||
                          FindOption(tail, kCaptureDash, isLeadByte) != std::string_view::npos;

    auto pos = FindOption(tail, kFileSlash, isLeadByte);
    if (pos == std::string_view::npos)
        pos = FindOption(tail, kFileDash, isLeadByte);
    if (pos != std::string_view::npos) {
        // An option that ends the tail leaves no room for a name: the name is
        // empty, so opening the image file fails visibly later on.
        const auto nameStart = pos + kFileOptionPrefix;
        options.imageFileName = nameStart < tail.size() ? std::string(tail.substr(nameStart)) : std::string();
    }
    return options;
}

std::string_view CommandLineTail(std::string_view commandLine)
{
    std::string_view::size_type i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const auto closing = commandLine.find('"', 1);
        i = closing == std::string_view::npos ? commandLine.size() : closing + 1;
    } else {
        while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) > ' ')
            ++i;
    }
    while (i < commandLine.size() && commandLine[i] != '\0' && static_cast<unsigned char>(commandLine[i]) <= ' ')
        ++i;
    return commandLine.substr(i);
}
