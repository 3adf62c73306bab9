// Any command line, however long or strange, parses without reading out of
// bounds, each option is found exactly where a word begins with it before
// the image file name, and the name is exactly where the rule puts it.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// Where the words begin: at 0, and after each character that is a single
// byte of code 32 or less and stands after an even number of quotation
// marks, counted by characters from the tail's start.
std::vector<std::size_t> WordStarts(const std::string& tail, LeadByteTest isLeadByte)
{
    std::vector<std::size_t> starts = {0};
    std::size_t marks = 0;
    for (std::size_t at = 0; at < tail.size();) {
        const std::size_t next = Next(tail, at, isLeadByte);
        marks += tail[at] == '"' ? 1 : 0;
        if (marks % 2 == 0 && next == at + 1 && static_cast<unsigned char>(tail[at]) <= ' ')
            starts.push_back(next);
        at = next;
    }
    return starts;
}

bool Begins(const std::string& tail, std::size_t at, const char* text)
{
    return tail.compare(at, std::strlen(text), text) == 0;
}

// What begins, perhaps after a quotation mark, with a drive letter, a colon
// and a slash of either kind, or with two backslashes.
bool IsFullPath(const std::string& tail, std::size_t at)
{
    at += Begins(tail, at, "\"") ? 1 : 0;
    const bool letter = at < tail.size() && std::isalpha(static_cast<unsigned char>(tail[at])) &&
                        static_cast<unsigned char>(tail[at]) < 0x80;
    const bool driveRoot = letter && (Begins(tail, at + 1, ":\\") || Begins(tail, at + 1, ":/"));
    return driveRoot || Begins(tail, at, "\\\\");
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

// Each flag stands for its own two texts alone, at the start of a word, or
// after a quotation mark that starts one, before the first word that is a
// file option of either form or a full path. A full path is the name; after a file option and one character
// comes the name. Without either the name is the default.
void CheckOptions(const std::string& tail, LeadByteTest isLeadByte)
{
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), isLeadByte);
    const std::vector<std::size_t> words = WordStarts(tail, isLeadByte);
    std::size_t option = std::string::npos;
    bool capture = false, verify = false;
    for (std::size_t word : words) {
        if (word == tail.size())
            break;
        if (Begins(tail, word, "/f") || Begins(tail, word, "-f") || IsFullPath(tail, word)) {
            option = word;
            break;
        }
        const std::size_t flag = word + (Begins(tail, word, "\"") ? 1 : 0);
        capture = capture || Begins(tail, flag, "/r") || Begins(tail, flag, "-r");
        verify = verify || Begins(tail, flag, "/v") || Begins(tail, flag, "-v");
    }
    Require(options.captureMode == capture);
    Require(options.verify == verify);
    if (option == std::string::npos) {
        Require(options.imageFileName == kDefaultImageFileName);
        return;
    }
    if (IsFullPath(tail, option)) {
        CheckName(tail, option, options.imageFileName, isLeadByte);
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
