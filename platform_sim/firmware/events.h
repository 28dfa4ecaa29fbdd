// Events and task priority levels as UEFI defines them: a signalled notify-signal
// event's function runs as soon as the current TPL is below the event's TPL, at the
// event's TPL; otherwise it waits until RestoreTPL lowers the level. Events of type
// EVT_SIGNAL_EXIT_BOOT_SERVICES and EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE join the event
// group of that name, as common firmware implements them.
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

// The event group of EVT_SIGNAL_EXIT_BOOT_SERVICES events.
inline EFI_GUID gExitBootServicesGroupGuid = {
    0x27ABF055, 0xB1B8, 0x4C26, {0x80, 0x48, 0x74, 0x8F, 0x37, 0xBA, 0xA2, 0xDF}};

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
  // The level only moves up here and only down in Restore; the boot services record
  // a caller that asks otherwise before they get here.
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
