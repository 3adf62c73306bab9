// The record of the run and the platform family it runs on.
#include "run/run_state.h"

RunState runState;

bool IsDirectDeviceFamily()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);  // a failed query leaves identifier 0: direct device
    return version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS;
}
