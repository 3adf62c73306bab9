// A small test harness in the manner of Wine's own tests: ok() records a
// failure with its place and goes on; the exit code is the failure count.
#ifndef STARTDISK_WINTEST_H
#define STARTDISK_WINTEST_H

#include <cstdarg>
#include <cstdio>

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
