// The platform's start-up hands the run to RunProgram.
#include "run/command_line.h"
#include "run/run_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The tail is taken from the raw command line so that its quotation
    // marks and trailing blanks stay exactly as typed.
    return RunProgram(instance, CommandLineTail(GetCommandLineA()));
}
