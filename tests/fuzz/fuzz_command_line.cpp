// Any command line, however long or strange, parses without reading out of
// bounds, each option is found exactly where a plain search finds it before
// the image file name, and the name is always the tail's end or the default.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "run/command_line.h"

namespace {

bool EvenBytesLead(unsigned char byte)
{
    return byte >= 0x80 && (byte & 1) == 0;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// A plain reference search: where text first starts at a character boundary
// of tail, or npos.
std::size_t Find(const std::string& tail, const char* text, LeadByteTest isLeadByte)
{
    for (std::size_t at = 0; at < tail.size();) {
        if (tail.compare(at, 2, text) == 0)
            return at;
        const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(tail[at]));
        at += (doubleByte && at + 1 < tail.size()) ? 2 : 1;
    }
    return std::string::npos;
}

bool Occurs(const std::string& tail, const char* slash, const char* dash, LeadByteTest isLeadByte)
{
    return Find(tail, slash, isLeadByte) != std::string::npos || Find(tail, dash, isLeadByte) != std::string::npos;
}

// Each flag stands for its own two texts alone, found before the first file
// option of either form; the name is the tail's end after a file option, or
// the default without one.
void CheckOptions(const std::string& tail, LeadByteTest isLeadByte)
{
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), isLeadByte);
    const std::string beforeName = tail.substr(0, std::min(Find(tail, "/f", isLeadByte), Find(tail, "-f", isLeadByte)));
    Require(options.captureMode == Occurs(beforeName, "/r", "-r", isLeadByte));
    Require(options.verify == Occurs(beforeName, "/v", "-v", isLeadByte));
    const char* begin = tail.c_str();
    const char* end = begin + tail.size();
    const bool intoTail = options.imageFileName >= begin && options.imageFileName <= end;
    Require(intoTail == Occurs(tail, "/f", "-f", isLeadByte));
    if (intoTail)
        Require(options.imageFileName + std::strlen(options.imageFileName) == end);
    else
        Require(std::strcmp(options.imageFileName, kDefaultImageFileName) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The platform hands over a NUL-terminated line: cut at the first NUL.
    const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    const char* tail = CommandLineTail(line.c_str());
    Require(tail >= line.c_str() && tail <= line.c_str() + line.size());

    const std::string tailCopy(tail);
    CheckOptions(tailCopy, nullptr);
    CheckOptions(tailCopy, EvenBytesLead);
    return 0;
}
