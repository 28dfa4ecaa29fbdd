// Shared between the probe images and the tests that load them.
#pragma once

#include "runtime/uefi/types.h"

// Module values an image holds after its library initialisers, as the probe reports
// them in the volatile variable "ProbeState".
#pragma pack(push, 1)
typedef struct {
  UINT64 SystemTable;
  UINT64 BootServices;
  UINT64 RuntimeServices;
  UINT64 HobList;
  UINT64 DxeServices;
  UINT64 HiiString;
  UINT64 HiiDatabase;
  UINT64 HiiConfigRouting;
  UINT64 HiiFont;
  UINT64 HiiImage;
  UINT64 TscFrequency;
  UINT64 Smst;
} PROBE_STATE;
#pragma pack(pop)

inline EFI_GUID gProbeVariableGuid = {0x3B0D7A44, 0x1C5E, 0x4F0B, {0x9E, 0x21, 0x6A, 0x44, 0x0C, 0x8F, 0x12, 0x7D}};
inline EFI_GUID gProbeProtocolGuid = {0x8E2C1F70, 0x4B3A, 0x4D6E, {0xA1, 0x5C, 0x2F, 0x90, 0x33, 0x71, 0xBE, 0x05}};

// Internal routines of PlatformConfigDxe published by its probe image so that tests
// can drive them one by one.
typedef struct {
  UINT8(EFIAPI *CmosReadGuarded)(UINT16 IndexPort, UINT16 DataPort, UINT8 Register);
  VOID(EFIAPI *ProgramCmosOptions)(const UINT8 *SetupConfig);
  EFI_STATUS(EFIAPI *EcWriteRam)(UINT16 Address, UINT8 Value);
  EFI_STATUS(EFIAPI *EcCommandWithAck)(UINT8 A, UINT8 B, UINT16 Value);
  VOID(EFIAPI *MicroSecondDelay)(UINTN MicroSeconds);
  EFI_STATUS(EFIAPI *AddressFixupRegister)(VOID *PointerVariable);
  EFI_STATUS(EFIAPI *AddressFixupRemove)(VOID *PointerVariable);
  EFI_STATUS(EFIAPI *SaveLockBox)(const EFI_GUID *Guid, const VOID *Buffer, UINTN Length);
  EFI_STATUS(EFIAPI *SetLockBoxAttributes)(const EFI_GUID *Guid, UINT64 Attributes);
  VOID(EFIAPI *ReadManufacturingRecord)(UINT32 Tag, UINT8 *Buffer);
} PLATFORM_CONFIG_PROBE;

// Post-code and trace-hub routines of the runtime, published by the trace probe images
// (on the boot-services database, or on the SMM one when loaded into SMM).
inline EFI_GUID gTraceProbeProtocolGuid = {
    0x51C0E7D2, 0x9A4B, 0x4C38, {0x8D, 0x16, 0x7B, 0xE2, 0x04, 0x5F, 0xA9, 0x3C}};

typedef struct {
  UINT32(EFIAPI *EmitPostCode)(UINT32 Code);
  BOOLEAN(EFIAPI *PostCodeReportingEnabled)(VOID);
  EFI_STATUS(EFIAPI *TraceHubWriteText)(UINT32 Severity, const CHAR8 *Text, UINTN Length, BOOLEAN LengthFollows);
  EFI_STATUS(EFIAPI *TraceHubChannelAddress)(UINT32 Master, UINT32 Channel, UINT64 *Address);
} TRACE_PROBE;

// What RuntimeProbeSmm's initialisers left, as it reports them in "ProbeSmmState".
#pragma pack(push, 1)
typedef struct {
  UINT64 Pcd;
  UINT64 PiPcd;
  UINT64 PcdInfo;
  UINT64 PiPcdInfo;
  UINT64 SmramRanges;
  UINT64 SmramRangeCount;
} PROBE_SMM_STATE;
#pragma pack(pop)

inline EFI_GUID gSmmProbeProtocolGuid = {0x5F1D3C2B, 0x7A90, 0x4E61, {0x8C, 0x3D, 0x19, 0xB4, 0x6E, 0x02, 0xA7, 0x58}};

// RuntimeProbeSmm's SMM-aware free, published for tests.
typedef struct {
  VOID(EFIAPI *FreePool)(VOID *Buffer);
} RUNTIME_PROBE_SMM;

// EngineProbeDxe: the engine's own probe. Its entry registers for its own protocol and
// then installs it, so its notify function runs while the image is inside a boot
// service; its members pass many arguments, fault on request, and reset the platform.
inline EFI_GUID gEngineProbeProtocolGuid = {
    0x2A7F4C19, 0x6D3E, 0x4B82, {0x9F, 0x40, 0x1E, 0x5B, 0xC7, 0x33, 0x08, 0xD6}};

enum ENGINE_PROBE_FAULT : UINT32 {
  EngineProbeReadUnmapped = 0,
  EngineProbeCallNull = 1,
  EngineProbeInvalidInstruction = 2,
  EngineProbeEndlessLoop = 3,
};

typedef struct {
  UINT64(EFIAPI *Mix)(UINT64 A, UINT64 B, UINT64 C, UINT64 D, UINT64 E, UINT64 F, UINT64 G);
  VOID(EFIAPI *Fault)(UINT32 Kind);
  VOID(EFIAPI *Reset)(VOID);
  // Calls whatever lies at Address, as a wild function pointer would.
  VOID(EFIAPI *CallAddress)(UINT64 Address);
  // How deep the notify function ran: 1 when it ran inside the image's own
  // InstallProtocolInterface call (set by the entry before the install, cleared after).
  UINT32 NotifiedInsideInstall;
  UINT32 Notifications;
} ENGINE_PROBE;
