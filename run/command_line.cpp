#include "run/command_line.h"

#include <cstring>

namespace {

constexpr const char* kCaptureSlash = "/r";
constexpr const char* kCaptureDash = "-r";
constexpr const char* kVerifySlash = "/v";
constexpr const char* kVerifyDash = "-v";
constexpr const char* kFileSlash = "/f";
constexpr const char* kFileDash = "-f";
constexpr const char* kQuotationMark = "\"";
constexpr const char* kBlanks = " \t";
constexpr const char* kUncPrefix = "\\\\";

// The character after the one at at: under a double-byte code page a lead
// byte and the byte after it are one character.
const char* NextCharacter(const char* at, LeadByteTest isLeadByte)
{
    const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(*at)) && at[1];
    return at + (doubleByte ? 2 : 1);
}

// First occurrence of text that starts on a character boundary before end
// (null: the end of the tail). Windows' trail bytes start at 40h, so none is
// '/', '-' or '"'; the walk matters for malformed text, where a lead byte
// directly before one of them is taken as one character with it.
const char* Find(const char* tail, const char* text, LeadByteTest isLeadByte, const char* end = nullptr)
{
    const std::size_t length = std::strlen(text);
    for (const char* at = tail; *at && at != end; at = NextCharacter(at, isLeadByte))
        if (std::strncmp(at, text, length) == 0)
            return at;
    return nullptr;
}

const char* Earlier(const char* left, const char* right)
{
    return left && right ? (left < right ? left : right) : (left ? left : right);
}

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A tail that is one full path ("C:\...", "c:/...", "\\server\..."), bare or
// quoted, is how Windows starts a program with a file dropped on it, and how
// Send To and "Open with" do: the whole tail names the image.
bool IsFullPath(const char* tail)
{
    const char* path = *tail == *kQuotationMark ? tail + 1 : tail;
    const bool driveRoot = IsDriveLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return driveRoot || std::strncmp(path, kUncPrefix, std::strlen(kUncPrefix)) == 0;
}

bool OnlyBlanks(const char* text)
{
    while (*text && std::strchr(kBlanks, *text))
        ++text;
    return !*text;
}

// The image file's name, from where it starts to the end of the tail. A
// quoted name (the command prompt's way with blanks) is what stands between
// its marks, but only when nothing but blanks follows: a quoted part inside a
// longer name, or an option after it, must not be dropped, so the name is
// then the rest of the tail as it stands, which opens nothing. A name with
// no closing mark runs to the end of the tail.
std::string_view ImageFileName(const char* name, LeadByteTest isLeadByte)
{
    const char* end = name + std::strlen(name);
    if (*name == *kQuotationMark) {
        const char* closing = Find(name + 1, kQuotationMark, isLeadByte);
        if (!closing) {
            ++name;
        } else if (OnlyBlanks(closing + 1)) {
            ++name;
            end = closing;
        }
    }
    return std::string_view(name, static_cast<std::size_t>(end - name));
}

}  // namespace

CommandLineOptions ParseCommandLine(const char* tail, LeadByteTest isLeadByte)
{
    CommandLineOptions options;
    if (IsFullPath(tail)) {
        options.imageFileName = ImageFileName(tail, isLeadByte);
        return options;
    }
    // The first file option of either form: the "/f" of "-f C:/floppies/a.img"
    // lies inside the name.
    const char* option = Earlier(Find(tail, kFileSlash, isLeadByte), Find(tail, kFileDash, isLeadByte));

    // What follows the file option is the name, so nothing in it is an
    // option: "-f win98-rescue.img" names an image to write, not one to
    // capture over.
    options.captureMode = Find(tail, kCaptureSlash, isLeadByte, option) || Find(tail, kCaptureDash, isLeadByte, option);
    options.verify = Find(tail, kVerifySlash, isLeadByte, option) || Find(tail, kVerifyDash, isLeadByte, option);

    if (option) {
        // The option and the one character after it, normally a blank. An
        // option that ends the tail leaves no room for a name: the name is
        // empty, so opening the image file fails visibly later on.
        const char* separator = option + std::strlen(kFileDash);
        options.imageFileName = ImageFileName(*separator ? NextCharacter(separator, isLeadByte) : separator, isLeadByte);
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
