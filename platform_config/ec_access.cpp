#include "platform_config/ec_access.h"

#include "platform_config/operations.h"
#include "runtime/base/cpu.h"
#include "runtime/uefi/status.h"

static EFI_STATUS EcWaitStatus(UINT8 Mask, UINT8 Wanted) {
  for (UINT32 Poll = 0; Poll < EC_POLL_LIMIT; Poll++) {
    IoWrite8(IO_DELAY_PORT, 0x00);
    if ((IoRead8(EC_STATUS_PORT) & Mask) == Wanted) {
      return EFI_SUCCESS;
    }
  }
  return EFI_TIMEOUT;
}

EFI_STATUS EcWaitInputEmpty(VOID) { return EcWaitStatus(EC_STATUS_INPUT_FULL, 0); }

EFI_STATUS EcWaitOutputFull(VOID) { return EcWaitStatus(EC_STATUS_OUTPUT_FULL, EC_STATUS_OUTPUT_FULL); }

// A byte goes out only once the controller has taken the previous one.
static EFI_STATUS EcWriteWhenReady(UINT16 Port, UINT8 Value) {
  EFI_STATUS Status = EcWaitInputEmpty();
  if (!EFI_ERROR(Status)) {
    IoWrite8(Port, Value);
  }
  return Status;
}

static EFI_STATUS EcSendBytes(UINT8 Command, const UINT8 *Data, UINTN Count) {
  EFI_STATUS Status = EcWriteWhenReady(EC_COMMAND_PORT, Command);
  for (UINTN Index = 0; Index < Count && !EFI_ERROR(Status); Index++) {
    Status = EcWriteWhenReady(EC_DATA_PORT, Data[Index]);
  }
  return Status;
}

EFI_STATUS EcSendCommand(UINT8 Command, UINT8 Data1, UINT8 Data2) {
  const UINT8 Data[2] = {Data1, Data2};
  return EcSendBytes(Command, Data, 2);
}

EFI_STATUS EcSendCommandLong(UINT8 Command, UINT8 Data1, UINT8 Data2, UINT8 Data3, UINT8 Data4, UINT8 Data5) {
  const UINT8 Data[5] = {Data1, Data2, Data3, Data4, Data5};
  return EcSendBytes(Command, Data, 5);
}

EFI_STATUS EcWriteRam(UINT16 Address, UINT8 Value) {
  EFI_STATUS Status = EcSendCommand(EC_COMMAND_WRITE_RAM, (UINT8)(Address >> 8), (UINT8)Address);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  return EcWriteWhenReady(EC_DATA_PORT, Value);
}

EFI_STATUS EcCommandWithAck(UINT8 ParameterA, UINT8 ParameterB, UINT16 Value) {
  EFI_STATUS Status = EcSendCommandLong(EC_COMMAND_EXTENDED, 0x00, 0x08, ParameterA, ParameterB, 0x00);
  if (!EFI_ERROR(Status)) {
    Status = EcWriteWhenReady(EC_DATA_PORT, (UINT8)Value);
  }
  if (!EFI_ERROR(Status)) {
    Status = EcWriteWhenReady(EC_DATA_PORT, (UINT8)(Value >> 8));
  }
  if (!EFI_ERROR(Status)) {
    Status = EcWaitOutputFull();
  }
  if (EFI_ERROR(Status)) {
    return Status;
  }
  return IoRead8(EC_DATA_PORT) == EC_ACKNOWLEDGE ? EFI_SUCCESS : EFI_DEVICE_ERROR;
}

// The controller's answers are not checked: an unacknowledged command is followed by
// the next one all the same. Only a controller that stops responding ends the
// sequence, and that is reported as EFI_TIMEOUT rather than success.
EFI_STATUS EFIAPI SignalEmbeddedController(PLATFORM_CONFIG_PROTOCOL *This) {
  (void)This;
  if (EcWriteRam(0x07FE, 0x80) == EFI_TIMEOUT) {
    return EFI_TIMEOUT;
  }
  for (UINTN Attempt = 0; Attempt < 2; Attempt++) {
    if (EcCommandWithAck(0x16, 0x00, 0x0010) == EFI_TIMEOUT) {
      return EFI_TIMEOUT;
    }
  }
  return EFI_SUCCESS;
}
