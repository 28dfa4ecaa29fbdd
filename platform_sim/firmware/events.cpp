#include "platform_sim/firmware/events.h"

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/memory/arena.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {

EFI_STATUS EventManager::Create(uint32_t type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, void *context,
                                const EFI_GUID *group, const std::string &owner, EFI_EVENT *event) {
  if (event == nullptr) return EFI_INVALID_PARAMETER;
  // The two special signal types are groups in their own right: one given a group as
  // well is contradictory.
  if (type == EVT_SIGNAL_EXIT_BOOT_SERVICES || type == EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE) {
    if (group != nullptr) return EFI_INVALID_PARAMETER;
    group = type == EVT_SIGNAL_EXIT_BOOT_SERVICES ? &gExitBootServicesGroupGuid : &gEfiEventVirtualAddressChangeGuid;
  }
  if ((type & EVT_NOTIFY_SIGNAL) != 0 && (type & EVT_NOTIFY_WAIT) != 0) return EFI_INVALID_PARAMETER;
  bool notifies = (type & (EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT)) != 0;
  if (notifies && (notify == nullptr || tpl <= TPL_APPLICATION || tpl >= TPL_HIGH_LEVEL)) {
    return EFI_INVALID_PARAMETER;
  }
  EventRecord record;
  record.id = arena_.AllocateFirmware(16);
  record.type = type;
  record.tpl = tpl;
  record.notify = notify;
  record.context = context;
  if (group != nullptr) record.group = *group;
  record.owner = owner;
  events_[record.id] = record;
  *event = record.id;
  return EFI_SUCCESS;
}

void EventManager::MarkPending(EventRecord &record) {
  record.signals++;
  if ((record.type & EVT_NOTIFY_SIGNAL) == 0 || record.pending) return;
  record.pending = true;
  pendingOrder_[record.id] = order_++;
}

EFI_STATUS EventManager::Signal(EFI_EVENT event) {
  auto it = events_.find(event);
  if (it == events_.end()) return EFI_INVALID_PARAMETER;
  if (it->second.group) {
    SignalGroup(*it->second.group);
    return EFI_SUCCESS;
  }
  MarkPending(it->second);
  Dispatch();
  return EFI_SUCCESS;
}

void EventManager::SignalGroup(const EFI_GUID &group) {
  for (auto &[id, record] : events_) {
    if (record.group && SameGuid(*record.group, group)) MarkPending(record);
  }
  Dispatch();
}

EFI_STATUS EventManager::Close(EFI_EVENT event) {
  auto it = events_.find(event);
  if (it == events_.end()) return EFI_INVALID_PARAMETER;
  events_.erase(it);
  pendingOrder_.erase(event);
  closed_[event]++;
  return EFI_SUCCESS;
}

EFI_TPL EventManager::Raise(EFI_TPL tpl) {
  EFI_TPL old = tpl_;
  if (tpl > tpl_) tpl_ = tpl;
  return old;
}

void EventManager::Restore(EFI_TPL tpl) {
  tpl_ = tpl;
  Dispatch();
}

// Runs pending notifications whose TPL is above the current one: highest TPL first,
// in signal order within a level.
void EventManager::Dispatch() {
  for (;;) {
    EventRecord *next = nullptr;
    uint64_t nextOrder = 0;
    for (auto &[id, order] : pendingOrder_) {
      EventRecord &record = events_.at(id);
      if (record.tpl <= tpl_) continue;
      if (next == nullptr || record.tpl > next->tpl || (record.tpl == next->tpl && order < nextOrder)) {
        next = &record;
        nextOrder = order;
      }
    }
    if (next == nullptr) return;
    next->pending = false;
    pendingOrder_.erase(next->id);
    next->notifications++;
    EventRecord snapshot = *next;  // the notify function may close its own event
    EFI_TPL old = tpl_;
    tpl_ = snapshot.tpl;
    runner_(snapshot);
    tpl_ = old;
  }
}

const EventRecord *EventManager::Find(EFI_EVENT event) const {
  auto it = events_.find(event);
  return it == events_.end() ? nullptr : &it->second;
}

uint32_t EventManager::CloseCount(EFI_EVENT event) const {
  auto it = closed_.find(event);
  return it == closed_.end() ? 0 : it->second;
}

std::vector<const EventRecord *> EventManager::Open() const {
  std::vector<const EventRecord *> result;
  for (const auto &[id, record] : events_) result.push_back(&record);
  return result;
}

}  // namespace sim
