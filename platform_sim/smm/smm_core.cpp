#include "platform_sim/smm/smm_core.h"

#include <algorithm>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/firmware/protocol_database.h"
#include "platform_sim/engine/engine.h"
#include "platform_sim/memory/arena.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/status.h"

namespace sim {

namespace {
std::string OwnerOr(Platform &platform, const void *code) {
  std::string owner = platform.Images().OwnerOf(code);
  return owner.empty() ? platform.Actor() : owner;
}
}  // namespace

EFI_STATUS SmmCore::Install(EFI_HANDLE *handle, const EFI_GUID &guid, void *interface, const std::string &installer) {
  EFI_STATUS status = protocols_.Install(handle, guid, interface, installer);
  if (status != EFI_SUCCESS) return status;
  // A notification may register or remove others: walk a copy.
  std::vector<Notify> notifies = notifies_;
  for (const Notify &notify : notifies) {
    if (!SameGuid(notify.guid, guid)) continue;
    ActorScope actor(platform_, OwnerOr(platform_, reinterpret_cast<const void *>(notify.function)));
    platform_.Call(notify.function, &guid, interface, *handle);
  }
  return EFI_SUCCESS;
}

EFI_STATUS SmmCore::RegisterNotify(const EFI_GUID &guid, EFI_SMM_NOTIFY_FN function, void **registration) {
  if (registration == nullptr) return EFI_INVALID_PARAMETER;
  if (function == nullptr) {
    auto it = std::find_if(notifies_.begin(), notifies_.end(), [&](const Notify &notify) {
      return notify.key == *registration && SameGuid(notify.guid, guid);
    });
    if (it == notifies_.end()) return EFI_NOT_FOUND;
    notifies_.erase(it);
    return EFI_SUCCESS;
  }
  void *key = arena_.AllocateFirmware(16, EfiRuntimeServicesData, Region::Smram);
  notifies_.push_back(Notify{guid, function, key});
  *registration = key;
  return EFI_SUCCESS;
}

EFI_STATUS SmmCore::RegisterHandler(EFI_SMM_HANDLER_ENTRY_POINT2 handler, const EFI_GUID *type, EFI_HANDLE *dispatch) {
  if (handler == nullptr || dispatch == nullptr) return EFI_INVALID_PARAMETER;
  *dispatch = arena_.AllocateFirmware(16, EfiRuntimeServicesData, Region::Smram);
  handlers_.push_back(Handler{*dispatch, handler, type ? std::optional<EFI_GUID>(*type) : std::nullopt});
  return EFI_SUCCESS;
}

EFI_STATUS SmmCore::UnregisterHandler(EFI_HANDLE dispatch) {
  auto it = std::find_if(handlers_.begin(), handlers_.end(),
                         [&](const Handler &handler) { return handler.dispatch == dispatch; });
  if (it == handlers_.end()) return EFI_INVALID_PARAMETER;
  handlers_.erase(it);
  return EFI_SUCCESS;
}

EFI_STATUS SmmCore::Manage(const EFI_GUID *type, const void *context, void *commBuffer, UINTN *commBufferSize) {
  std::vector<Handler> handlers;
  for (const Handler &handler : handlers_) {
    bool match = type == nullptr ? !handler.type.has_value() : handler.type && SameGuid(*handler.type, *type);
    if (match) handlers.push_back(handler);
  }
  bool handled = false;
  for (const Handler &handler : handlers) {
    ActorScope actor(platform_, OwnerOr(platform_, reinterpret_cast<const void *>(handler.function)));
    handled = platform_.Call(handler.function, handler.dispatch, context, commBuffer, commBufferSize) == EFI_SUCCESS ||
              handled;
  }
  return handled ? EFI_SUCCESS : EFI_NOT_FOUND;
}

void SmmCore::RaiseSmi(const std::string &source) {
  if (smiLost_) {
    platform_.Record(EffectKind::Note, "SMI (" + source + ") lost: never dispatched");
    return;
  }
  ++smiCount_;
  platform_.Record(EffectKind::Note, "SMI (" + source + ")");
  SmiScope smi(*this);
  try {
    Manage(nullptr, nullptr, nullptr, nullptr);
  } catch (const ImageFault &fault) {
    Fault(std::string("in an SMI: ") + fault.what());
  }
}

void SmmCore::Fault(const std::string &what) {
  faults_.push_back(what);
  platform_.Record(EffectKind::Fault, what);
}

}  // namespace sim
