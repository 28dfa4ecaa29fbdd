// The library initialisers that every deliverable draws its list from.
#pragma once

#include "runtime/uefi/system_table.h"

EFI_STATUS EFIAPI InitBootServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitRuntimeServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitNothing(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitHobList(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitDxeServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitHiiProtocols(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitTscFrequency(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
EFI_STATUS EFIAPI InitSmmServicesTable(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
