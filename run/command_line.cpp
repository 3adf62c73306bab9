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

// The character after the one at at: under a double-byte code page a lead
// byte and its trail byte are one character.
const char* NextCharacter(const char* at, LeadByteTest isLeadByte)
{
    const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(*at)) && at[1];
    return at + (doubleByte ? 2 : 1);
}

// First occurrence of text that starts on a character boundary before end
// (null: the end of the tail): under a double-byte code page a trail byte may
// look like '/', '-' or '"'.
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

}  // namespace

CommandLineOptions ParseCommandLine(const char* tail, LeadByteTest isLeadByte)
{
    CommandLineOptions options;
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
        const char* name = *separator ? NextCharacter(separator, isLeadByte) : separator;
        const char* end = name + std::strlen(name);
        // A quoted name, as the command prompt passes a path with blanks:
        // no Windows file name holds a quotation mark.
        if (*name == *kQuotationMark) {
            ++name;
            if (const char* closing = Find(name, kQuotationMark, isLeadByte))
                end = closing;
        }
        options.imageFileName = std::string_view(name, static_cast<std::size_t>(end - name));
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
