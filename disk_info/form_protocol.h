// DiskInfoFormProtocol: what the setup side calls to put the drives into its form.
#pragma once

#include "runtime/uefi/hii.h"
#include "runtime/uefi/types.h"

inline EFI_GUID gDiskInfoFormProtocolGuid = {
    0x6C4D69E9, 0x6699, 0x4468, {0xA9, 0xE1, 0x69, 0x41, 0xF3, 0x8A, 0xC1, 0x89}};

typedef struct DISK_INFO_FORM_PROTOCOL DISK_INFO_FORM_PROTOCOL;
// Fills form 1 of the package list after its label 0xAE02. SlotCount is the number of
// NVMe and of ATA slots to try (ATA slots stop at the last row of the SATA port map): a
// model and a serial line for every drive found, then an optical drive's model line.
// Every language of the package list gets each string. Returns EFI_SUCCESS when an
// optical drive line was added, EFI_INVALID_PARAMETER when there is no optical drive
// (the form is still updated with the other lines), EFI_OUT_OF_RESOURCES, updating
// nothing, when its op-code or line buffers cannot be had. A form that cannot be
// rewritten (a package list that is not sound) is left as it was; that is not reported.
// No waits: the drives' identities were read when they were found.
typedef EFI_STATUS(EFIAPI *DISK_INFO_FILL_FORM)(DISK_INFO_FORM_PROTOCOL *This, UINT8 SlotCount,
                                                EFI_HII_HANDLE HiiHandle);
// The interface is the address of the FillForm field inside the driver's packed private
// data, so it has no alignment of its own.
#pragma pack(push, 1)
struct DISK_INFO_FORM_PROTOCOL {
  DISK_INFO_FILL_FORM FillForm;
};
#pragma pack(pop)
EFI_LAYOUT_SIZE(DISK_INFO_FORM_PROTOCOL, 8);
