// Hosted stand-ins for the two services the form routines use (pool and the HII
// database's export and update), so the op-code builder and the form rewrite can be
// driven directly on any bytes, by tests and by the fuzzer.
#pragma once

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "disk_info/disk_info.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"

namespace formhost {

struct Host {
  EFI_BOOT_SERVICES bs{};
  EFI_HII_DATABASE_PROTOCOL database{};
  std::vector<uint8_t> exported;  // what ExportPackageLists hands out
  EFI_STATUS firstExport = EFI_BUFFER_TOO_SMALL;
  std::vector<uint8_t> updated;  // the list UpdatePackageList received
  bool updateCalled = false;
  std::set<void *> live;      // pool blocks not yet freed
  size_t failAllocation = 0;  // 1-based index of the allocation that fails; 0 none
  size_t allocations = 0;

  static Host *&Current() {
    static Host *current = nullptr;
    return current;
  }
  Host() {
    Current() = this;
    bs.AllocatePool = AllocatePool;
    bs.FreePool = FreePool;
    database.ExportPackageLists = Export;
    database.UpdatePackageList = Update;
    gBS = &bs;
    gHiiDatabase = &database;
  }
  ~Host() {
    gBS = nullptr;
    gHiiDatabase = nullptr;
    Current() = nullptr;
  }

  static EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE, UINTN size, VOID **buffer) {
    Host &host = *Current();
    if (++host.allocations == host.failAllocation) return EFI_OUT_OF_RESOURCES;
    *buffer = std::malloc(size == 0 ? 1 : size);
    host.live.insert(*buffer);
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI FreePool(VOID *buffer) {
    Host &host = *Current();
    if (host.live.erase(buffer) == 0) return EFI_INVALID_PARAMETER;
    std::free(buffer);
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI Export(const EFI_HII_DATABASE_PROTOCOL *, EFI_HII_HANDLE, UINTN *size,
                                  EFI_HII_PACKAGE_LIST_HEADER *buffer) {
    Host &host = *Current();
    if (*size < host.exported.size()) {
      *size = host.exported.size();
      return host.firstExport;
    }
    if (!host.exported.empty()) std::memcpy(buffer, host.exported.data(), host.exported.size());
    *size = host.exported.size();
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI Update(const EFI_HII_DATABASE_PROTOCOL *, EFI_HII_HANDLE,
                                  const EFI_HII_PACKAGE_LIST_HEADER *list) {
    Host &host = *Current();
    host.updateCalled = true;
    const auto *bytes = reinterpret_cast<const uint8_t *>(list);
    host.updated.assign(bytes, bytes + list->PackageLength);
    return EFI_SUCCESS;
  }
};

}  // namespace formhost
