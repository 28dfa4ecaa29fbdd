#include "platform_sim/report/s3_boot_script_record.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "platform_sim/platform.h"
#include "platform_sim/trace/hex_text.h"
#include "runtime/shared_state/s3_boot_script.h"
#include "runtime/uefi/guids.h"

namespace sim {

nlohmann::ordered_json DescribeS3BootScriptRecord(Platform &platform) {
  const uint64_t address =
      platform.Pcds().Number(platform.Pcds().Find(gS3BootScriptTokenSpaceGuid, S3_BOOT_SCRIPT_PRIVATE_PCD));
  const Allocation *block = address == 0 ? nullptr : platform.Memory().Find(address);
  if (block == nullptr || block->address + block->size < address + sizeof(S3_BOOT_SCRIPT_PRIVATE)) return nullptr;
  S3_BOOT_SCRIPT_PRIVATE record;
  std::memcpy(&record, reinterpret_cast<const void *>(address), sizeof(record));
  return {{"address", HexNumber(address)},
          {"memoryType", MemoryTypeName(block->type)},
          {"table", HexNumber(record.TableAddress)},
          {"bytesUsed", record.BytesUsed},
          {"pages", record.TablePages},
          {"closed", record.Closed != 0}};
}

}  // namespace sim
