// Filling and reading the VWIN32 register record of one track request.
#include <cstdint>

#include "transfer/disk_device.h"

void FillDiocRegisters(DIOC_REGISTERS& registers, unsigned char* trackBytes, int firstSector)
{
    registers.reg_EBX = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(trackBytes));
    registers.reg_EDX = static_cast<DWORD>(firstSector);
    registers.reg_ECX = DiskGeometry::sectorsPerTrack;
    registers.reg_EAX = DiskGeometry::driveNumber;
    registers.reg_EDI = 0;
    registers.reg_ESI = 0;
    registers.reg_Flags = 0;
}

bool DiocCallSucceeded(BOOL callResult, const DIOC_REGISTERS& registers)
{
    return callResult && !(registers.reg_Flags & kCarryFlag);
}
