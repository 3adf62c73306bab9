// Any command line, however long or strange, parses without reading out of
// bounds, each option is found exactly where a plain search finds it before
// the image file name, and the name is exactly where the rule puts it.
#include <algorithm>
#include <cctype>
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

// A tail that begins, perhaps after a quotation mark, with a drive letter, a
// colon and a slash of either kind, or with two backslashes.
bool IsFullPath(const std::string& tail)
{
    const std::size_t at = tail.compare(0, 1, "\"") == 0 ? 1 : 0;
    const bool letter = at < tail.size() && std::isalpha(static_cast<unsigned char>(tail[at])) &&
                        static_cast<unsigned char>(tail[at]) < 0x80;
    const bool driveRoot = letter && (tail.compare(at + 1, 2, ":\\") == 0 || tail.compare(at + 1, 2, ":/") == 0);
    return driveRoot || tail.compare(at, 2, "\\\\") == 0;
}

// Where the name starting at name ends: the tail's end; for a quoted name the
// next mark, when only blanks and tabs follow that, and then the mark itself
// is left out; for a name no mark closes, the tail's end without the mark.
void CheckName(const std::string& tail, std::size_t name, std::string_view found, LeadByteTest isLeadByte)
{
    std::size_t end = tail.size();
    if (name < tail.size() && tail[name] == '"') {
        const std::size_t closing = Find(tail.substr(name + 1), "\"", isLeadByte);
        if (closing == std::string::npos) {
            ++name;
        } else if (tail.find_first_not_of(" \t", name + 1 + closing + 1) == std::string::npos) {
            end = name + 1 + closing;
            ++name;
        }
    }
    Require(found.data() == tail.c_str() + name);
    Require(found.size() == end - name);
}

// A full path is the name and holds no option. Otherwise each flag stands
// for its own two texts alone, found before the first file option of either
// form, and after that option and one character comes the name. Without a
// file option the name is the default.
void CheckOptions(const std::string& tail, LeadByteTest isLeadByte)
{
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), isLeadByte);
    if (IsFullPath(tail)) {
        Require(!options.captureMode && !options.verify);
        CheckName(tail, 0, options.imageFileName, isLeadByte);
        return;
    }
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
    CheckName(tail, name, options.imageFileName, isLeadByte);
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
