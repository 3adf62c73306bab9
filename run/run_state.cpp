// The record of the run and the platform family it runs on.
#include "run/run_state.h"

RunState runState;

namespace {

constexpr int kSaveAllowed = 0;
constexpr int kSaving = 1;
constexpr int kRunEnded = 2;

}  // namespace

bool BeginImageSave()
{
    int allowed = kSaveAllowed;
    return runState.savePhase.compare_exchange_strong(allowed, kSaving);
}

void EndImageSave()
{
    runState.savePhase = kSaveAllowed;
}

bool ImageSaveUnderWay()
{
    int allowed = kSaveAllowed;
    return !runState.savePhase.compare_exchange_strong(allowed, kRunEnded) && allowed == kSaving;
}

int FailureExitCode(DWORD error)
{
    return error != ERROR_SUCCESS ? static_cast<int>(error) : kExitNoErrorCode;
}

void RecordRunFailure(DWORD error)
{
    int none = 0;
    runState.failureExitCode.compare_exchange_strong(none, FailureExitCode(error));
}

bool IsDirectDeviceFamily()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);  // a failed query leaves identifier 0: direct device
    return version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS;
}
