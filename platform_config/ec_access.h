// The embedded controller's command interface (command/status port 0x25D, data port 0x25C).
#pragma once

#include "runtime/uefi/types.h"

#define EC_DATA_PORT 0x25C
#define EC_COMMAND_PORT 0x25D
#define EC_STATUS_PORT 0x25D
#define IO_DELAY_PORT 0xED

#define EC_STATUS_OUTPUT_FULL 0x01
#define EC_STATUS_INPUT_FULL 0x02

#define EC_COMMAND_WRITE_RAM 0x81
#define EC_COMMAND_EXTENDED 0x9A
#define EC_ACKNOWLEDGE 0x80

// Status polls before a wait gives up. Each poll is two port accesses (about 2 us on
// real hardware), so a controller gets well over 100 ms to take or offer a byte.
#define EC_POLL_LIMIT 100000u

// The waits and the routines built on them return EFI_TIMEOUT when the controller
// does not move within the poll limit; nothing further is sent after a time-out.
EFI_STATUS EcWaitInputEmpty(VOID);
EFI_STATUS EcWaitOutputFull(VOID);
EFI_STATUS EcSendCommand(UINT8 Command, UINT8 Data1, UINT8 Data2);
EFI_STATUS EcSendCommandLong(UINT8 Command, UINT8 Data1, UINT8 Data2, UINT8 Data3, UINT8 Data4, UINT8 Data5);
EFI_STATUS EcWriteRam(UINT16 Address, UINT8 Value);
// EFI_SUCCESS when the controller answers 0x80, EFI_DEVICE_ERROR for any other answer.
EFI_STATUS EcCommandWithAck(UINT8 ParameterA, UINT8 ParameterB, UINT16 Value);
