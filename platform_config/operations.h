// The operations and notifications of PlatformConfigDxe.
#pragma once

#include "platform_config/config_protocol.h"
#include "runtime/uefi/system_table.h"

EFI_STATUS EFIAPI PlatformConfigDxeEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

VOID EFIAPI VariableWriteNotify(EFI_EVENT Event, VOID *Context);
VOID EFIAPI SetupDataNotify(EFI_EVENT Event, VOID *Context);

EFI_STATUS EFIAPI UpdateSetupPolicy(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig);
EFI_STATUS EFIAPI LoadPlatformConfig(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig);
EFI_STATUS EFIAPI GetCmosOverride(PLATFORM_CONFIG_PROTOCOL *This, UINT8 *Value);
EFI_STATUS EFIAPI SignalEmbeddedController(PLATFORM_CONFIG_PROTOCOL *This);
EFI_STATUS EFIAPI ReservedOperation(PLATFORM_CONFIG_PROTOCOL *This, UINT64 Argument, UINT8 Selector);
