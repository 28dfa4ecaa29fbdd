// Events and task priority levels as UEFI defines them: a signalled notify-signal
// event's function runs as soon as the current TPL is below the event's TPL, at the
// event's TPL; otherwise it waits until RestoreTPL lowers the level.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/uefi/types.h"

namespace sim {

class Arena;

struct EventRecord {
  EFI_EVENT id = nullptr;
  uint32_t type = 0;
  EFI_TPL tpl = 0;
  EFI_EVENT_NOTIFY notify = nullptr;
  void *context = nullptr;
  std::optional<EFI_GUID> group;
  bool pending = false;
  uint32_t signals = 0;
  uint32_t notifications = 0;
  std::string owner;  // image whose function the event calls
};

class EventManager {
 public:
  // Runs a notify function: lets the platform attribute what it does to its image.
  using NotifyRunner = std::function<void(const EventRecord &)>;

  EventManager(Arena &arena, NotifyRunner runner) : arena_(arena), runner_(std::move(runner)) {}

  EFI_STATUS Create(uint32_t type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, void *context, const EFI_GUID *group,
                    const std::string &owner, EFI_EVENT *event);
  EFI_STATUS Signal(EFI_EVENT event);
  EFI_STATUS Close(EFI_EVENT event);
  EFI_TPL Raise(EFI_TPL tpl);
  void Restore(EFI_TPL tpl);
  EFI_TPL CurrentTpl() const { return tpl_; }

  // Signals every event of a group (for example the virtual-address-change group).
  void SignalGroup(const EFI_GUID &group);

  bool IsOpen(EFI_EVENT event) const { return events_.count(event) != 0; }
  const EventRecord *Find(EFI_EVENT event) const;
  uint32_t CloseCount(EFI_EVENT event) const;
  std::vector<const EventRecord *> Open() const;

 private:
  void Dispatch();
  void MarkPending(EventRecord &record);

  Arena &arena_;
  NotifyRunner runner_;
  EFI_TPL tpl_ = TPL_APPLICATION;
  std::map<EFI_EVENT, EventRecord> events_;
  std::map<EFI_EVENT, uint32_t> closed_;
  uint64_t order_ = 0;
  std::map<EFI_EVENT, uint64_t> pendingOrder_;
};

}  // namespace sim
