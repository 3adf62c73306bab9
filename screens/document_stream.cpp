// Feeds the rich-edit control from a file already read into memory.
#include <cstring>

#include "screens/document_screen.h"

DWORD CALLBACK StreamFromBuffer(DWORD_PTR cookie, LPBYTE destination, LONG maxBytes, LONG* bytesDone)
{
    auto* source = reinterpret_cast<DocumentStreamSource*>(cookie);
    if (source->position >= source->length) {
        *bytesDone = 0;
        return 0;
    }
    const LONG remaining = source->length - source->position;
    const LONG chunk = maxBytes < remaining ? maxBytes : remaining;
    std::memcpy(destination, source->bytes + source->position, chunk);
    source->position += chunk;
    *bytesDone = chunk;
    return 0;
}
