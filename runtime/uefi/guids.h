// GUIDs of the tables and protocols the runtime and the drivers look up or publish.
// Each image gets its own copy; they are constant-initialised, so no start-up code runs.
#pragma once

#include "runtime/uefi/types.h"

// Every GUID once: X(variable, the name the host platform prints for it, value). The
// definitions below and the simulator's names both come from this list.
#define RUNTIME_GUID_LIST(X)                                                                                           \
  /* Configuration tables. */                                                                                          \
  X(gEfiHobListGuid, "HobList", {0x7739F24C, 0x93D7, 0x11D4, {0x9A, 0x3A, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}})        \
  X(gEfiDxeServicesTableGuid, "DxeServicesTable",                                                                      \
    {0x05AD34BA, 0x6F02, 0x4214, {0x95, 0x2E, 0x4D, 0xA0, 0x39, 0x8E, 0x2B, 0xB9}})                                    \
  X(gTscFrequencyGuid, "TscFrequency", {0xDBA6A7E3, 0xBB57, 0x4BE7, {0x8A, 0xF8, 0xD5, 0x78, 0xDB, 0x7E, 0x56, 0x87}}) \
  /* UEFI protocols. */                                                                                                \
  X(gEfiLoadedImageProtocolGuid, "LoadedImage",                                                                        \
    {0x5B1B31A1, 0x9562, 0x11D2, {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}})                                    \
  X(gEfiVariableWriteArchProtocolGuid, "VariableWriteArch",                                                            \
    {0x6441F818, 0x6362, 0x4E44, {0xB5, 0x70, 0x7D, 0xBA, 0x31, 0xDD, 0x24, 0x53}})                                    \
  X(gEfiHiiStringProtocolGuid, "HiiString",                                                                            \
    {0x0FD96974, 0x23AA, 0x4CDC, {0xB9, 0xCB, 0x98, 0xD1, 0x77, 0x50, 0x32, 0x2A}})                                    \
  X(gEfiHiiDatabaseProtocolGuid, "HiiDatabase",                                                                        \
    {0xEF9FC172, 0xA1B2, 0x4693, {0xB3, 0x27, 0x6D, 0x32, 0xFC, 0x41, 0x60, 0x42}})                                    \
  X(gEfiHiiConfigRoutingProtocolGuid, "HiiConfigRouting",                                                              \
    {0x587E72D7, 0xCC50, 0x4F79, {0x82, 0x09, 0xCA, 0x29, 0x1F, 0xC1, 0xA1, 0x0F}})                                    \
  X(gEfiHiiFontProtocolGuid, "HiiFont",                                                                                \
    {0xE9CA4775, 0x8657, 0x47FC, {0x97, 0xE7, 0x7E, 0xD6, 0x5A, 0x08, 0x43, 0x24}})                                    \
  X(gEfiHiiImageProtocolGuid, "HiiImage",                                                                              \
    {0x31A6406A, 0x6BDF, 0x4E46, {0xB2, 0xA2, 0xEB, 0xAA, 0x89, 0xC4, 0x09, 0x20}})                                    \
  /* PI protocols. */                                                                                                  \
  X(gEfiSmmBase2ProtocolGuid, "SmmBase2",                                                                              \
    {0xF4CCBFB7, 0xF6E0, 0x47FD, {0x9D, 0xD4, 0x10, 0xA8, 0xF1, 0x50, 0xC1, 0x91}})                                    \
  X(gPcdProtocolGuid, "Pcd", {0x11B34006, 0xD85B, 0x4D0A, {0xA2, 0x90, 0xD5, 0xA5, 0x71, 0x31, 0x0E, 0xF7}})           \
  X(gEfiPcdProtocolGuid, "EfiPcd", {0x13A3F0F6, 0x264A, 0x3EF0, {0xF2, 0xE0, 0xDE, 0xC5, 0x12, 0x34, 0x2F, 0x34}})     \
  /* Platform protocols and variables of this platform. */                                                             \
  X(gPlatformConfigProtocolGuid, "PlatformConfigProtocol",                                                             \
    {0x754F7701, 0x3C51, 0x4F73, {0x8F, 0xEF, 0x31, 0x4F, 0xDF, 0xA6, 0xDC, 0x5B}})                                    \
  X(gSetupDataProtocolGuid, "SetupDataProtocol",                                                                       \
    {0xFE3542FE, 0xC1D3, 0x4EF8, {0x65, 0x7C, 0x80, 0x48, 0x60, 0x6F, 0xF6, 0x70}})                                    \
  X(gPowerEventLogProtocolGuid, "PowerEventLogProtocol",                                                               \
    {0xE7A498F7, 0xCEF5, 0x47C1, {0x9E, 0x77, 0xE9, 0x80, 0x4B, 0x51, 0x3D, 0xDB}})                                    \
  X(gAdministerSecureBootVariableGuid, "AdministerSecureBootVendor",                                                   \
    {0x59D1C24F, 0x50F1, 0x401A, {0xB1, 0x01, 0xF3, 0x3E, 0x0D, 0xAE, 0xD4, 0x43}})                                    \
  /* Configuration variables and the flash access protocol of the configuration driver. */                             \
  X(gSetupVariableGuid, "SetupVariable",                                                                               \
    {0xA04A27F4, 0xDF00, 0x4D42, {0xB5, 0x52, 0x39, 0x51, 0x13, 0x02, 0x11, 0x3D}})                                    \
  X(gPchSetupVariableGuid, "PchSetupVariable",                                                                         \
    {0x4570B7F1, 0xADE8, 0x4943, {0x8D, 0xC3, 0x40, 0x64, 0x72, 0x84, 0x23, 0x84}})                                    \
  X(gLoadFlagVariableGuid, "LoadFlagVariable",                                                                         \
    {0xC148B9F7, 0x9C29, 0x4430, {0xBE, 0x6F, 0xCB, 0x3C, 0x69, 0x43, 0x81, 0x7C}})                                    \
  X(gMasterPasswordVariableGuid, "MasterPasswordVariable",                                                             \
    {0xF904F004, 0x154E, 0x455F, {0x8F, 0x29, 0x04, 0x31, 0xFE, 0x33, 0x6B, 0xF3}})                                    \
  X(gUserPasswordVariableGuid, "UserPasswordVariable",                                                                 \
    {0x5E448E9B, 0x0F59, 0x4F6F, {0xBA, 0x0F, 0xF2, 0xC7, 0xD1, 0xED, 0x80, 0xBA}})                                    \
  X(gFlashAccessProtocolGuid, "FlashAccessProtocol",                                                                   \
    {0xBD99C1DA, 0x24D9, 0x4C8D, {0x94, 0x78, 0xE6, 0x8C, 0x50, 0xD8, 0x39, 0xE1}})                                    \
  /* Flash tag store and the flash layer beneath it. */                                                                \
  X(gTagStoreTableProtocolGuid, "TagStoreTable",                                                                       \
    {0x771A7422, 0x3F9F, 0x4990, {0xBF, 0x1B, 0x72, 0x38, 0x93, 0xF2, 0x5F, 0x93}})                                    \
  X(gChipsetSpiProtocolGuid, "ChipsetSpi",                                                                             \
    {0x00C7D289, 0x1347, 0x4DE0, {0xBF, 0x42, 0x0E, 0x26, 0x9D, 0x0E, 0xF3, 0x4A}})                                    \
  X(gChipsetSmmSpiProtocolGuid, "ChipsetSmmSpi",                                                                       \
    {0x56521F06, 0x0A62, 0x4822, {0x99, 0x63, 0xDF, 0x01, 0x9D, 0x72, 0xC7, 0xE1}})                                    \
  X(gRegionFlashProtocolGuid, "RegionFlash",                                                                           \
    {0x17565311, 0x4B71, 0x4340, {0x88, 0xAA, 0xDC, 0x9F, 0x44, 0x22, 0xE5, 0x3A}})                                    \
  /* The four PCD token spaces of the flash device candidate table. */                                                 \
  X(gFlashDescriptorTokenSpaceGuid, "FlashDescriptorSpace",                                                            \
    {0xCBDEF572, 0x719D, 0x426E, {0x8A, 0x43, 0x75, 0xAE, 0x91, 0x3C, 0xFF, 0xB2}})                                    \
  X(gFlashCommandTokenSpaceGuid, "FlashCommandSpace",                                                                  \
    {0xEC17A54E, 0xFEC1, 0x431B, {0xAD, 0x9C, 0xB4, 0xF0, 0xBC, 0x6E, 0x2E, 0x56}})                                    \
  X(gFlashFirstNameTokenSpaceGuid, "FlashFirstNameSpace",                                                              \
    {0x2F779836, 0x610C, 0x4615, {0xA4, 0x62, 0x54, 0xE7, 0x3E, 0xF1, 0x61, 0x92}})                                    \
  X(gFlashSecondNameTokenSpaceGuid, "FlashSecondNameSpace",                                                            \
    {0xE9A68F2A, 0x13F1, 0x4505, {0xB6, 0xA1, 0xE1, 0x82, 0x18, 0x8A, 0xC4, 0x9A}})                                    \
  /* Event groups. */                                                                                                  \
  X(gEfiEventVirtualAddressChangeGuid, "VirtualAddressChange",                                                         \
    {0x13FA7698, 0xC831, 0x49C7, {0x87, 0xEA, 0x8F, 0x43, 0xFC, 0xC2, 0x51, 0x96}})                                    \
  /* PCD information, SMM and S3 protocols of the PI specification and the firmware. */                                \
  X(gPcdInfoProtocolGuid, "PcdInfo", {0x5BE40F57, 0xFA68, 0x4610, {0xBB, 0xBF, 0xE9, 0xC5, 0xFC, 0xDA, 0xD3, 0x65}})   \
  X(gEfiGetPcdInfoProtocolGuid, "EfiGetPcdInfo",                                                                       \
    {0xFD0F4478, 0x0EFD, 0x461D, {0xBA, 0x2D, 0xE5, 0x8C, 0x45, 0xFD, 0x5F, 0x5E}})                                    \
  X(gEfiSmmAccess2ProtocolGuid, "SmmAccess2",                                                                          \
    {0xC2702B74, 0x800C, 0x4131, {0x87, 0x46, 0x8F, 0xB5, 0xB8, 0x9C, 0xE4, 0xAC}})                                    \
  X(gEfiSmmCommunicationProtocolGuid, "SmmCommunication",                                                              \
    {0xC68ED8E2, 0x9DC6, 0x4CBD, {0x9D, 0x94, 0xDB, 0x65, 0xAC, 0xC5, 0xC3, 0x32}})                                    \
  X(gEfiDxeSmmReadyToLockProtocolGuid, "DxeSmmReadyToLock",                                                            \
    {0x60FF8964, 0xE906, 0x41D0, {0xAF, 0xED, 0xF2, 0x41, 0xE9, 0x74, 0xE0, 0x8E}})                                    \
  X(gEfiSmmSxDispatch2ProtocolGuid, "SmmSxDispatch2",                                                                  \
    {0x456D2859, 0xA84B, 0x4E47, {0xA2, 0xEE, 0x32, 0x76, 0xD8, 0x86, 0x99, 0x7D}})                                    \
  X(gEfiSmmVariableProtocolGuid, "SmmVariable",                                                                        \
    {0xED32D533, 0x99E6, 0x4209, {0x9C, 0xC0, 0x2D, 0x72, 0xCD, 0xD9, 0x98, 0xA7}})                                    \
  /* The platform's pointer fix-up at the change to virtual addressing. */                                             \
  X(gAddressFixupProtocolGuid, "AddressFixupProtocol",                                                                 \
    {0x1C2E4602, 0xE3BA, 0x4B07, {0xE3, 0xB8, 0x35, 0x55, 0xA5, 0x1C, 0x61, 0x3A}})                                    \
  /* S3 boot script: the token space of the private-record PCD, the lock-box */                                        \
  /* communication header and the three lock boxes saved at the ready-to-lock point. */                                \
  X(gS3BootScriptTokenSpaceGuid, "S3BootScriptTokenSpace",                                                             \
    {0xA1AFF049, 0xFDEB, 0x442A, {0xB3, 0x20, 0x13, 0xAB, 0x4C, 0xB7, 0x2B, 0xBC}})                                    \
  X(gLockBoxCommunicationGuid, "LockBoxCommunication",                                                                 \
    {0x2A3CFEBD, 0x27E8, 0x4D0A, {0x8B, 0x79, 0xD6, 0x88, 0xC2, 0xA3, 0xE1, 0xC0}})                                    \
  X(gS3ScriptTableLockBoxGuid, "S3ScriptTable",                                                                        \
    {0xAEA6B965, 0xDCF5, 0x4311, {0xB4, 0xB8, 0x0F, 0x12, 0x46, 0x44, 0x94, 0xD2}})                                    \
  X(gS3ScriptTableUsedLockBoxGuid, "S3ScriptTableUsed",                                                                \
    {0xB5AF1D7A, 0xB8CF, 0x4EB3, {0x89, 0x25, 0xA8, 0x20, 0xE1, 0x6B, 0x68, 0x7D}})                                    \
  X(gS3BootScriptPrivateLockBoxGuid, "S3BootScriptPrivate",                                                            \
    {0x1810AB4A, 0x2314, 0x4DF6, {0x81, 0xEB, 0x67, 0xC6, 0xEC, 0x05, 0x85, 0x91}})                                    \
  /* The empty list head shared between images. */                                                                     \
  X(gSharedListHeadProtocolGuid, "SharedListHead",                                                                     \
    {0xD1D417D5, 0x5264, 0x4369, {0xA3, 0x83, 0xF5, 0xF3, 0xC6, 0x19, 0x49, 0x28}})

#define RUNTIME_GUID_DEFINE(Name, Text, ...) inline EFI_GUID Name = __VA_ARGS__;
RUNTIME_GUID_LIST(RUNTIME_GUID_DEFINE)
#undef RUNTIME_GUID_DEFINE
