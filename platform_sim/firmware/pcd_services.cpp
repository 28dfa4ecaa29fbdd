// The two PCD protocols over the platform's PCD database.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/pcd.h"
#include "runtime/uefi/status.h"

namespace sim {
namespace {

PcdDatabase &Pcd() { return Platform::Current().Pcds(); }

UINT32 EFIAPI Get32(UINTN token) { return static_cast<UINT32>(Pcd().Number(Pcd().Find(token))); }

EFI_STATUS EFIAPI Set32(UINTN token, UINT32 value) {
  PcdEntry *entry = Pcd().Find(token);
  if (entry == nullptr) return EFI_NOT_FOUND;
  Pcd().SetNumber(*entry, value, 4);
  return EFI_SUCCESS;
}

UINT64 EFIAPI Get64(CONST EFI_GUID *space, UINTN token) {
  return space == nullptr ? 0 : Pcd().Number(Pcd().Find(*space, token));
}

// Pointer values are handed out as copies in simulated memory, one per boot.
VOID *EFIAPI GetPtr(CONST EFI_GUID *space, UINTN token) {
  if (space != nullptr) {
    char text[24];
    std::snprintf(text, sizeof(text), " 0x%llX", static_cast<unsigned long long>(token));
    Platform::Current().Core().CallLog().push_back("PcdGetPtr " + GuidName(*space) + text);
  }
  PcdEntry *entry = space == nullptr ? nullptr : Pcd().Find(*space, token);
  if (entry == nullptr) return nullptr;
  void *copy = Platform::Current().Memory().AllocateFirmware(entry->value.size());
  if (!entry->value.empty()) std::memcpy(copy, entry->value.data(), entry->value.size());
  return copy;
}

UINTN EFIAPI GetSize(CONST EFI_GUID *space, UINTN token) {
  PcdEntry *entry = space == nullptr ? nullptr : Pcd().Find(*space, token);
  return entry == nullptr ? 0 : entry->value.size();
}

EFI_STATUS EFIAPI Set64(CONST EFI_GUID *space, UINTN token, UINT64 value) {
  PcdEntry *entry = space == nullptr ? nullptr : Pcd().Find(*space, token);
  if (entry == nullptr) return EFI_NOT_FOUND;
  Pcd().SetNumber(*entry, value, 8);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetNextToken(CONST EFI_GUID *space, UINTN *token) {
  if (space == nullptr || token == nullptr) return EFI_INVALID_PARAMETER;
  auto next = Pcd().Next(*space, *token);
  *token = next.value_or(0);
  return next ? EFI_SUCCESS : EFI_NOT_FOUND;
}

// Every member by slot, for the ones the platform does not model.
constexpr const char *kPcdMembers[] = {"Pcd.SetSku",
                                       "Pcd.Get8",
                                       "Pcd.Get16",
                                       "Pcd.Get32",
                                       "Pcd.Get64",
                                       "Pcd.GetPtr",
                                       "Pcd.GetBool",
                                       "Pcd.GetSize",
                                       "Pcd.Get8Ex",
                                       "Pcd.Get16Ex",
                                       "Pcd.Get32Ex",
                                       "Pcd.Get64Ex",
                                       "Pcd.GetPtrEx",
                                       "Pcd.GetBoolEx",
                                       "Pcd.GetSizeEx",
                                       "Pcd.Set8",
                                       "Pcd.Set16",
                                       "Pcd.Set32",
                                       "Pcd.Set64",
                                       "Pcd.SetPtr",
                                       "Pcd.SetBool",
                                       "Pcd.Set8Ex",
                                       "Pcd.Set16Ex",
                                       "Pcd.Set32Ex",
                                       "Pcd.Set64Ex",
                                       "Pcd.SetPtrEx",
                                       "Pcd.SetBoolEx",
                                       "Pcd.CallbackOnSet",
                                       "Pcd.CancelCallback",
                                       "Pcd.GetNextToken",
                                       "Pcd.GetNextTokenSpace"};
static_assert(std::size(kPcdMembers) == sizeof(PCD_PROTOCOL) / sizeof(VOID *), "one name per PCD member");
constexpr const char *kEfiPcdMembers[] = {"EfiPcd.SetSku",         "EfiPcd.Get8",         "EfiPcd.Get16",
                                          "EfiPcd.Get32",          "EfiPcd.Get64",        "EfiPcd.GetPtr",
                                          "EfiPcd.GetBool",        "EfiPcd.GetSize",      "EfiPcd.Set8",
                                          "EfiPcd.Set16",          "EfiPcd.Set32",        "EfiPcd.Set64",
                                          "EfiPcd.SetPtr",         "EfiPcd.SetBool",      "EfiPcd.CallbackOnSet",
                                          "EfiPcd.CancelCallback", "EfiPcd.GetNextToken", "EfiPcd.GetNextTokenSpace"};
static_assert(std::size(kEfiPcdMembers) == sizeof(EFI_PCD_PROTOCOL) / sizeof(VOID *), "one name per member");

// The PCD information protocols: this platform has one SKU, 0.
struct PcdInfoInterface {
  UINTN(EFIAPI *GetSku)();
};

UINTN EFIAPI GetSku() { return 0; }

}  // namespace

void *BuildPcdInfoProtocol(Arena &arena) {
  auto *protocol = arena.NewFirmware<PcdInfoInterface>(EfiRuntimeServicesData);
  protocol->GetSku = GetSku;
  return protocol;
}

PCD_PROTOCOL *BuildPcdProtocol(Arena &arena) {
  auto *protocol = arena.NewFirmware<PCD_PROTOCOL>(EfiRuntimeServicesData);
  protocol->Get32 = Get32;
  protocol->Set32 = Set32;
  FillEmptySlots<kPcdMembers>(reinterpret_cast<VOID **>(protocol), std::make_index_sequence<std::size(kPcdMembers)>());
  return protocol;
}

EFI_PCD_PROTOCOL *BuildEfiPcdProtocol(Arena &arena) {
  auto *protocol = arena.NewFirmware<EFI_PCD_PROTOCOL>(EfiRuntimeServicesData);
  protocol->Get64 = Get64;
  protocol->GetPtr = GetPtr;
  protocol->GetSize = GetSize;
  protocol->Set64 = Set64;
  protocol->GetNextToken = GetNextToken;
  FillEmptySlots<kEfiPcdMembers>(reinterpret_cast<VOID **>(protocol),
                                 std::make_index_sequence<std::size(kEfiPcdMembers)>());
  return protocol;
}

}  // namespace sim
