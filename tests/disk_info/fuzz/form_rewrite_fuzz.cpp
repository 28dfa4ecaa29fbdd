// UpdateForm and the forms-package rewrite on any exported package list: no read or
// write outside the buffers, no endless walk, nothing leaked, and a list handed to the
// database only when it is whole.
#include <cstdlib>

#include "tests/disk_info/form_host.h"

static OpCodeHandle *StartHandle(unsigned lines) {
  OpCodeHandle *handle = NewOpCodeHandle();
  UINT8 *label = CreateGuidOpCode(handle, &gIfrLabelGuid, nullptr, 21);
  label[18] = 0;
  label[19] = 0x02;
  label[20] = 0xAE;
  for (unsigned line = 0; line < lines; ++line) CreateTextOpCode(handle, 0x40 + line, 1, 0x60 + line);
  return handle;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  formhost::Host host;
  host.exported.assign(data + 1, data + size);
  OpCodeHandle *start = StartHandle(data[0] % 18);
  const EFI_STATUS status = UpdateForm(nullptr, nullptr, 1, start);
  if (status == EFI_SUCCESS) {
    // The new list is as long as its header says, and longer than the export's list.
    uint32_t length = 0;
    std::memcpy(&length, host.updated.data() + 16, 4);
    if (!host.updateCalled || length != host.updated.size() || length < 20) std::abort();
  } else if (host.updateCalled) {
    std::abort();
  }
  FreeOpCodeHandle(start);
  if (!host.live.empty()) std::abort();

  // The package rewrite alone, into a buffer of exactly the room it may use.
  if (size >= 5) {
    formhost::Host direct;
    OpCodeHandle *handle = StartHandle(data[0] % 5);
    const uint32_t packageLength = static_cast<uint32_t>(size - 1);
    std::vector<UINT8> output(packageLength + handle->Position);
    UINT32 written = 0;
    if (RewriteFormsPackage(data + 1, packageLength, output.data(), output.size(), nullptr, 1, handle, &written) ==
            EFI_SUCCESS &&
        written > output.size()) {
      std::abort();
    }
    FreeOpCodeHandle(handle);
  }
  return 0;
}
