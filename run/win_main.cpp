// Where the platform hands the process to RunProgram.
//
// The program has its own entry point instead of MinGW's start-up code: that
// code is built for the Pentium Pro and later (it uses CMOV), and would stop
// the program on the Pentium-class machines the 9x family runs on. It links
// no C runtime either (see c_runtime.cpp), so nothing runs before this
// routine: every global of the program must be initialised at compile time
// (the compatibility test checks the exe).
#include "run/command_line.h"
#include "run/run_state.h"
#include "run/system_library.h"

extern "C" void WinMainCRTStartup()
{
    // Our own prompt handles a drive that is not ready or a write-protected
    // diskette; without this the system puts up its own critical-error box
    // first (on the 9x family from the worker's INT 25h/26h).
    SetErrorMode(SEM_FAILCRITICALERRORS);
    RestrictDllSearchToSystem();
    PreloadWindowingLibraries();
    // The tail is taken from the raw command line so that its quotation
    // marks and trailing blanks stay exactly as typed.
    ExitProcess(static_cast<UINT>(RunProgram(GetModuleHandleA(nullptr), CommandLineTail(GetCommandLineA()))));
}
