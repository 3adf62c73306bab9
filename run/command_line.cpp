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

bool StartsWith(const char* at, const char* text)
{
    return std::strncmp(at, text, std::strlen(text)) == 0;
}

// The character after the one at at: under a double-byte code page a lead
// byte and the byte after it are one character. Windows' trail bytes start
// at 40h, so none is '/', '-', '"' or a blank; the walk matters for
// malformed text, where a lead byte directly before one of them is taken as
// one character with it.
const char* NextCharacter(const char* at, LeadByteTest isLeadByte)
{
    const bool doubleByte = isLeadByte && isLeadByte(static_cast<unsigned char>(*at)) && at[1];
    return at + (doubleByte ? 2 : 1);
}

// First occurrence of text that starts on a character boundary.
const char* Find(const char* tail, const char* text, LeadByteTest isLeadByte)
{
    for (const char* at = tail; *at; at = NextCharacter(at, isLeadByte))
        if (StartsWith(at, text))
            return at;
    return nullptr;
}

// Where the word after the one at at begins: right after the next blank or
// control character outside quotation marks, or at the end of the tail. A
// quoted blank is part of a name, as the command prompt passes one: the
// "-r" in "backup -r.img" starts no word. A word begins outside any marks,
// so pairing them from it pairs them as from the tail's start; a mark left
// open runs to the tail's end. The walk goes by characters, so a lead byte
// and the byte after it are one character: never a blank, never a mark.
const char* NextWord(const char* at, LeadByteTest isLeadByte)
{
    bool quoted = false;
    while (*at) {
        const char* next = NextCharacter(at, isLeadByte);
        if (*at == *kQuotationMark)
            quoted = !quoted;
        else if (!quoted && next == at + 1 && static_cast<unsigned char>(*at) <= ' ')
            return next;
        at = next;
    }
    return at;
}

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A word that begins as a full path ("C:\...", "c:/...", "\\server\..."),
// bare or quoted, is how Windows passes a file dropped on the program or on
// a shortcut to it, after the shortcut's own options, and how Send To and
// "Open with" do: it names the image, from there to the end of the tail.
bool IsFullPath(const char* word)
{
    const char* path = *word == *kQuotationMark ? word + 1 : word;
    const bool driveRoot = IsDriveLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return driveRoot || StartsWith(path, kUncPrefix);
}

bool NamesImage(const char* word)
{
    return StartsWith(word, kFileSlash) || StartsWith(word, kFileDash) || IsFullPath(word);
}

// Whether a word before end begins with either form of an option, bare or
// right after the mark that opens the word: Windows' own argument splitting
// reads "-r" as -r.
bool OptionGiven(const char* tail, const char* end, const char* slash, const char* dash, LeadByteTest isLeadByte)
{
    for (const char* word = tail; word != end; word = NextWord(word, isLeadByte)) {
        const char* option = *word == *kQuotationMark ? word + 1 : word;
        if (StartsWith(option, slash) || StartsWith(option, dash))
            return true;
    }
    return false;
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
    // Options count only where a word begins, and only before the first
    // word that names the image: a file option, or a full path. Nothing in
    // "-v C:\Downloads\win98-rescue.img" or in "a-r.img" asks for a capture.
    const char* naming = tail;
    while (*naming && !NamesImage(naming))
        naming = NextWord(naming, isLeadByte);

    CommandLineOptions options;
    options.captureMode = OptionGiven(tail, naming, kCaptureSlash, kCaptureDash, isLeadByte);
    options.verify = OptionGiven(tail, naming, kVerifySlash, kVerifyDash, isLeadByte);
    if (!*naming)
        return options;
    if (IsFullPath(naming)) {
        options.imageFileName = ImageFileName(naming, isLeadByte);
    } else {
        // The option and the one character after it, normally a blank. An
        // option that ends the tail leaves no room for a name: the name is
        // empty, so opening the image file fails visibly later on.
        const char* separator = naming + std::strlen(kFileDash);
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
