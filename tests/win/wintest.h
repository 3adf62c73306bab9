// A small test harness in the manner of Wine's own tests: ok() records a
// failure with its place and goes on; the exit code is the failure count.
#ifndef STARTDISK_WINTEST_H
#define STARTDISK_WINTEST_H

#include <cstdarg>
#include <cstdio>

// The import-table slot of a system function, for a test that puts a stand-in
// there: i386 decorates a stdcall name with an underscore and its argument
// bytes, x86-64 does not.
#ifdef _WIN64
#define IMPORT_SLOT(name, argumentBytes) "__imp_" #name
#else
#define IMPORT_SLOT(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif

inline int testFailures = 0;
inline int testChecks = 0;

inline void OkAt(const char* file, int line, bool condition, const char* format, ...)
{
    ++testChecks;
    if (condition)
        return;
    ++testFailures;
    std::fprintf(stderr, "%s:%d: Test failed: ", file, line);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

#define ok(condition, ...) OkAt(__FILE__, __LINE__, (condition), __VA_ARGS__)

inline int TestSummary(const char* name)
{
    std::printf("%s: %d checks, %d failures\n", name, testChecks, testFailures);
    return testFailures;
}

#endif
