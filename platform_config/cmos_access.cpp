#include "platform_config/cmos_access.h"

#include "platform_config/operations.h"
#include "platform_config/setup_config.h"
#include "runtime/base/cpu.h"
#include "runtime/uefi/status.h"

UINT8 CmosRead(UINT8 Register) {
  IoWrite8(CMOS_BANK2_INDEX_PORT, Register);
  return IoRead8(CMOS_BANK2_DATA_PORT);
}

VOID CmosWrite(UINT8 Register, UINT8 Value) {
  IoWrite8(CMOS_BANK2_INDEX_PORT, Register);
  IoWrite8(CMOS_BANK2_DATA_PORT, Value);
}

UINT8 CmosReadGuarded(UINT16 IndexPort, UINT16 DataPort, UINT8 Register) {
  UINT16 Flags = (UINT16)CpuReadFlags();
  CpuDisableInterrupts();
  IoWrite8(IndexPort, Register);
  UINT8 Value = IoRead8(DataPort);
  if ((Flags & CPU_FLAGS_INTERRUPT_ENABLE) != 0) {
    CpuEnableInterrupts();
  }
  return Value;
}

static VOID ProgramCmosOptionBit(UINT8 Mask, UINT8 SetupValue) {
  UINT8 Value = CmosRead(CMOS_REG_OPTIONS);
  Value = (SetupValue == 1) ? (UINT8)(Value & ~Mask) : (UINT8)(Value | Mask);
  CmosWrite(CMOS_REG_OPTIONS, Value);
}

VOID ProgramCmosOptions(const UINT8 *SetupConfig) {
  ProgramCmosOptionBit(0x01, SetupConfig[SETUP_BYTE_CMOS_OPTION0]);
  ProgramCmosOptionBit(0x02, SetupConfig[SETUP_BYTE_CMOS_OPTION1]);
}

EFI_STATUS EFIAPI GetCmosOverride(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *Value) {
  (void)This;
  if (Value == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (CmosRead(CMOS_REG_OVERRIDE_MARKER) != CMOS_OVERRIDE_PRESENT) {
    return EFI_UNSUPPORTED;
  }
  *Value = 0;
  return EFI_SUCCESS;
}
