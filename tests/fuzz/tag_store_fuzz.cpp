// The tag store on arbitrary flash contents: the 8-KiB block is the input's tail, and
// a short program of reads, writes, flushes and injected flash faults runs against it.
// A model of what each record must hold checks every read and every completed flush.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "tests/fuzz/fuzz_platform.h"

namespace {

constexpr uint64_t kBase = sim::kTagStoreBase;
constexpr size_t kBlock = 0x2000;
constexpr size_t kSpan = 5376;

struct Record {
  uint32_t tag;
  uint32_t offset;
  uint32_t size;
  uint32_t mirror;  // tag of the partner that receives the same bytes, or 0
};

constexpr uint32_t Tag(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint8_t(d);
}

const std::array<Record, 9> kRecords = {{
    {Tag('C', 'N', 'F', 'G'), 0x0000, 256, 0},
    {Tag('M', 'F', 'G', '0'), 0x0100, 256, 0},
    {Tag('S', 'L', 'P', '2'), 0x0200, 512, Tag('O', 'E', 'M', '2')},
    {Tag('O', 'E', 'M', '2'), 0x0400, 512, Tag('S', 'L', 'P', '2')},
    {Tag('S', 'L', 'P', '3'), 0x0600, 512, Tag('O', 'E', 'M', '5')},
    {Tag('O', 'E', 'M', '5'), 0x0800, 512, Tag('S', 'L', 'P', '3')},
    {Tag('_', 'D', 'M', 'I'), 0x0A00, 2048, 0},
    {Tag('C', 'N', 'F', '1'), 0x1200, 256, 0},
    {Tag('P', 'L', 'O', 'G'), 0x1300, 512, 0},
}};

const Record *Find(uint32_t tag) {
  for (const Record &record : kRecords) {
    if (record.tag == tag) return &record;
  }
  return nullptr;
}

[[noreturn]] void Fail(const char *what, uint32_t tag) {
  std::fprintf(stderr, "tag store invariant broken: %s (tag 0x%08X)\n", what, tag);
  std::abort();
}

enum Op : uint8_t { kRead, kWrite, kFlush, kFailErase, kFailProgram, kUnknownTag, kOpCount };

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::ProbePlatform::Get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::ProbePlatform &harness = fuzz::ProbePlatform::Get();
  sim::Platform &platform = harness.Platform();
  TAG_STORE_PROBE &probe = harness.Probe();
  FuzzedDataProvider input(data, size);

  // The program first, the block from what is left (erased where the input ends).
  size_t steps = input.ConsumeIntegralInRange<size_t>(0, 12);
  struct Step {
    Op op;
    uint8_t record;
    uint8_t fill;
    uint8_t nth;
  };
  std::vector<Step> program;
  for (size_t index = 0; index < steps; ++index) {
    program.push_back({static_cast<Op>(input.ConsumeIntegralInRange<uint8_t>(0, kOpCount - 1)),
                       input.ConsumeIntegralInRange<uint8_t>(0, kRecords.size() - 1), input.ConsumeIntegral<uint8_t>(),
                       input.ConsumeIntegralInRange<uint8_t>(1, 24)});
  }
  std::vector<uint8_t> block = input.ConsumeRemainingBytes<uint8_t>();
  block.resize(kBlock, 0xFF);

  // Fresh flash and an unloaded table: the state of a new boot.
  platform.Flash().Load(kBase, block);
  platform.Flash().Faults() = sim::FlashFaults{};
  TagStoreEntry *table = probe.Table();
  for (size_t index = 0; index < kRecords.size(); ++index) {
    table[index].Loaded = 0;
    table[index].Dirty = 0;
  }

  // What each record holds for the store's users.
  std::map<uint32_t, std::vector<uint8_t>> model;
  for (const Record &record : kRecords) {
    model[record.tag].assign(block.begin() + record.offset, block.begin() + record.offset + record.size);
  }

  std::vector<uint8_t> buffer(2048 + 16);
  for (const Step &step : program) {
    const Record &record = kRecords[step.record];
    UINT64 reported = 0xA5A5;
    switch (step.op) {
      case kRead: {
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        if (!probe.Read(record.tag, &reported, buffer.data())) Fail("read refused", record.tag);
        if (reported != record.size) Fail("read size", record.tag);
        if (!std::equal(buffer.begin(), buffer.begin() + record.size, model[record.tag].begin()))
          Fail("read content", record.tag);
        if (buffer[record.size] != 0xEE) Fail("read past the record", record.tag);
        break;
      }
      case kWrite: {
        std::vector<uint8_t> bytes(record.size);
        for (size_t index = 0; index < bytes.size(); ++index) bytes[index] = uint8_t(step.fill + index * 7);
        if (!probe.Write(record.tag, &reported, bytes.data())) Fail("write refused", record.tag);
        model[record.tag] = bytes;
        uint32_t sizeSeen = record.size;
        if (record.mirror != 0) {
          const Record *partner = Find(record.mirror);
          model[partner->tag].assign(bytes.begin(), bytes.begin() + partner->size);
          sizeSeen = partner->size;
        }
        if (reported != sizeSeen) Fail("write size", record.tag);
        break;
      }
      case kFailErase:
        platform.Flash().Faults().failEraseNth = platform.Flash().Monitor().Erases() + step.nth % 3 + 1;
        break;
      case kFailProgram:
        platform.Flash().Faults().failProgramNth = platform.Flash().Monitor().Programs() + step.nth;
        break;
      case kUnknownTag: {
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        uint32_t unknown = record.tag ^ (uint32_t(step.fill) | 0x01000000u);
        if (probe.Read(unknown, &reported, buffer.data()) || probe.Write(unknown, &reported, buffer.data()))
          Fail("unknown tag accepted", unknown);
        if (reported != 0xA5A5 || buffer[0] != 0xEE) Fail("unknown tag touched the caller", unknown);
        break;
      }
      case kFlush: {
        bool faultArmed = platform.Flash().Faults().failEraseNth > platform.Flash().Monitor().Erases() ||
                          platform.Flash().Faults().failProgramNth > platform.Flash().Monitor().Programs();
        bool anyDirty = false;
        for (size_t index = 0; index < kRecords.size(); ++index) anyDirty |= table[index].Dirty != 0;
        const uint64_t erases = platform.Flash().Monitor().Erases();
        const std::vector<uint8_t> past = platform.Flash().Peek(kBase + kSpan, kBlock - kSpan);
        BOOLEAN flushed = probe.Flush();
        if (faultArmed) break;  // what a failing command leaves is the power-cut sweep's business
        if (!flushed) Fail("flush failed without a fault", 0);
        if (!anyDirty) break;
        auto flash = platform.Flash().Peek(kBase, kBlock);
        for (const Record &each : kRecords) {
          if (!std::equal(model[each.tag].begin(), model[each.tag].end(), flash.begin() + each.offset))
            Fail("flushed record", each.tag);
        }
        // An erasing flush leaves the bytes past the records erased; one that only clears
        // bits programs the records in place and leaves those bytes as they were.
        const bool erased = platform.Flash().Monitor().Erases() != erases;
        for (size_t index = kSpan; index < kBlock; ++index) {
          if (flash[index] != (erased ? 0xFF : past[index - kSpan])) Fail("bytes past the records changed", 0);
        }
        for (size_t index = 0; index < kRecords.size(); ++index) {
          if (table[index].Dirty != 0) Fail("dirty after a clean flush", kRecords[index].tag);
        }
        break;
      }
      default: break;
    }
  }
  harness.Tidy();
  return 0;
}
