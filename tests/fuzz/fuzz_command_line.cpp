// Any command line, however long or strange, parses without reading out of
// bounds, and the image file name is always the tail's end or the default.
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

void CheckOptions(const std::string& tail, const CommandLineOptions& options)
{
    const char* begin = tail.c_str();
    const char* end = begin + tail.size();
    const bool intoTail = options.imageFileName >= begin && options.imageFileName <= end;
    const bool isDefault = std::strcmp(options.imageFileName, kDefaultImageFileName) == 0;
    Require(intoTail || isDefault);
    if (intoTail)
        Require(options.imageFileName + std::strlen(options.imageFileName) == end);
    const bool hasFileOption = tail.find("/f") != std::string::npos || tail.find("-f") != std::string::npos;
    if (!hasFileOption)
        Require(!intoTail && isDefault);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The platform hands over a NUL-terminated line: cut at the first NUL.
    const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    const char* tail = CommandLineTail(line.c_str());
    Require(tail >= line.c_str() && tail <= line.c_str() + line.size());

    const std::string tailCopy(tail);
    const CommandLineOptions singleByte = ParseCommandLine(tailCopy.c_str());
    CheckOptions(tailCopy, singleByte);
    const bool hasCapture = tailCopy.find("/r") != std::string::npos || tailCopy.find("-r") != std::string::npos;
    Require(singleByte.captureMode == hasCapture);

    // Under a double-byte code page fewer places count as option starts.
    const CommandLineOptions doubleByte = ParseCommandLine(tailCopy.c_str(), EvenBytesLead);
    CheckOptions(tailCopy, doubleByte);
    Require(!doubleByte.captureMode || singleByte.captureMode);
    return 0;
}
