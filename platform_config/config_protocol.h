// PlatformConfigProtocol: the interface other firmware components call. Its layout is
// fixed: callers in other images index its slots directly.
#pragma once

#include "platform_config/setup_config.h"
#include "runtime/uefi/setup_data_protocol.h"
#include "runtime/uefi/types.h"

struct PLATFORM_CONFIG_PROTOCOL;

typedef EFI_STATUS(EFIAPI *PLATFORM_CONFIG_UPDATE_SETUP_POLICY)(struct PLATFORM_CONFIG_PROTOCOL *This,
                                                                UINT8 *SetupConfig);
typedef EFI_STATUS(EFIAPI *PLATFORM_CONFIG_LOAD)(struct PLATFORM_CONFIG_PROTOCOL *This, UINT8 *SetupConfig);
typedef EFI_STATUS(EFIAPI *PLATFORM_CONFIG_GET_CMOS_OVERRIDE)(struct PLATFORM_CONFIG_PROTOCOL *This, UINT8 *Value);
typedef EFI_STATUS(EFIAPI *PLATFORM_CONFIG_SIGNAL_EC)(struct PLATFORM_CONFIG_PROTOCOL *This);
typedef EFI_STATUS(EFIAPI *PLATFORM_CONFIG_RESERVED)(struct PLATFORM_CONFIG_PROTOCOL *This, UINT64 Argument,
                                                     UINT8 Selector);

#pragma pack(push, 1)
struct PLATFORM_CONFIG_PROTOCOL {
  PLATFORM_CONFIG_UPDATE_SETUP_POLICY UpdateSetupPolicy;
  PLATFORM_CONFIG_LOAD LoadPlatformConfig;
  PLATFORM_CONFIG_GET_CMOS_OVERRIDE GetCmosOverride;
  PLATFORM_CONFIG_SIGNAL_EC SignalEmbeddedController;
  PLATFORM_CONFIG_RESERVED ReservedOperation;
  UINT64 Reserved;
};
#pragma pack(pop)
typedef struct PLATFORM_CONFIG_PROTOCOL PLATFORM_CONFIG_PROTOCOL;
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, UpdateSetupPolicy, 0);
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, LoadPlatformConfig, 8);
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, GetCmosOverride, 16);
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, SignalEmbeddedController, 24);
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, ReservedOperation, 32);
EFI_LAYOUT_OFFSET(PLATFORM_CONFIG_PROTOCOL, Reserved, 40);
EFI_LAYOUT_SIZE(PLATFORM_CONFIG_PROTOCOL, 48);
