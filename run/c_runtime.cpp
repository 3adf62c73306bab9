// The C library functions the program calls, for a program that links no C
// runtime DLL: msvcrt.dll is missing from the first releases of Windows 95
// and from NT 3.51, and a DLL that is not always resident could be planted
// beside the program. The compiler inlines the memory functions itself; a
// link error names any other that a change comes to need.
#include <windows.h>

#include <cstddef>

// Built with -fno-builtin and without loop-to-call rewriting (see
// CMakeLists.txt), so that none of these turns into a call of itself.
extern "C" {

std::size_t strlen(const char* text)
{
    return static_cast<std::size_t>(lstrlenA(text));
}

char* strchr(const char* text, int wanted)
{
    for (;; ++text) {
        if (*text == static_cast<char>(wanted))
            return const_cast<char*>(text);
        if (!*text)
            return nullptr;
    }
}

int strncmp(const char* left, const char* right, std::size_t count)
{
    for (; count > 0; --count, ++left, ++right) {
        const auto a = static_cast<unsigned char>(*left);
        const auto b = static_cast<unsigned char>(*right);
        if (a != b)
            return a < b ? -1 : 1;
        if (!a)
            return 0;
    }
    return 0;
}

}  // extern "C"
