// Any command line, however long or strange, parses without reading out of
// bounds, each option is found exactly where a plain search finds it before
// the image file name, and the name is exactly where the rule puts it.
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

// The character after the one at index at.
std::size_t Next(const std::string& tail, std::size_t at, LeadByteTest isLeadByte)
{
    const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(tail[at])) && at + 1 < tail.size();
    return at + (doubleByte ? 2 : 1);
}

// A plain reference search: where text first starts at a character boundary
// of tail, or npos.
std::size_t Find(const std::string& tail, const char* text, LeadByteTest isLeadByte)
{
    for (std::size_t at = 0; at < tail.size();) {
        if (tail.compare(at, std::strlen(text), text) == 0)
            return at;
        at = Next(tail, at, isLeadByte);
    }
    return std::string::npos;
}

bool Occurs(const std::string& tail, const char* slash, const char* dash, LeadByteTest isLeadByte)
{
    return Find(tail, slash, isLeadByte) != std::string::npos || Find(tail, dash, isLeadByte) != std::string::npos;
}

// Each flag stands for its own two texts alone, found before the first file
// option of either form. After that option and one character comes the
// name: to the tail's end, or from a quotation mark to the next one (or the
// end). Without a file option the name is the default.
void CheckOptions(const std::string& tail, LeadByteTest isLeadByte)
{
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), isLeadByte);
    const std::size_t option = std::min(Find(tail, "/f", isLeadByte), Find(tail, "-f", isLeadByte));
    const std::string beforeName = tail.substr(0, option);
    Require(options.captureMode == Occurs(beforeName, "/r", "-r", isLeadByte));
    Require(options.verify == Occurs(beforeName, "/v", "-v", isLeadByte));
    if (option == std::string::npos) {
        Require(options.imageFileName == kDefaultImageFileName);
        return;
    }
    std::size_t name = std::min(option + 2, tail.size());
    if (name < tail.size())
        name = Next(tail, name, isLeadByte);
    std::size_t end = tail.size();
    if (name < tail.size() && tail[name] == '"') {
        ++name;
        const std::size_t closing = Find(tail.substr(name), "\"", isLeadByte);
        if (closing != std::string::npos)
            end = name + closing;
    }
    Require(options.imageFileName.data() == tail.c_str() + name);
    Require(options.imageFileName.size() == end - name);
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
