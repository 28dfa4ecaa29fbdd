// CMOS registers of the second bank (index port 0x72, data port 0x73).
#pragma once

#include "runtime/uefi/types.h"

#define CMOS_BANK2_INDEX_PORT 0x72
#define CMOS_BANK2_DATA_PORT 0x73

#define CMOS_REG_OPTIONS 0x47
#define CMOS_REG_OVERRIDE_MARKER 0x50
#define CMOS_REG_HOLD_MARKER 0x58

#define CMOS_OVERRIDE_PRESENT 0xAA
#define CMOS_HOLD_PCH_SETUP 0xCC

UINT8 CmosRead(UINT8 Register);
VOID CmosWrite(UINT8 Register, UINT8 Value);
// Reads a register with interrupts held off between the index write and the data read,
// restoring the caller's interrupt state.
UINT8 CmosReadGuarded(UINT16 IndexPort, UINT16 DataPort, UINT8 Register);
// Register 0x47 bit 0 follows SetupConfig byte SETUP_BYTE_CMOS_OPTION0, bit 1 byte
// SETUP_BYTE_CMOS_OPTION1 (1 clears, else set).
VOID ProgramCmosOptions(const UINT8 *SetupConfig);
