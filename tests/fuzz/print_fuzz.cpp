// The print engine on arbitrary formats and arguments, in all four width pairs and
// with any buffer size. Argument slots follow the directives: a directive that takes a
// pointer gets one to input bytes (or null), the others get input integers.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/print/format.h"
#include "runtime/uefi/types.h"

namespace {

constexpr size_t kSlots = 12;

enum class Slot { Integer, Pointer };

// Which slots the engine will read, in order: '*' takes an integer, the conversions
// a, s, S, g and t a pointer, d u x X p c r an integer. Mirrors the engine's reading of
// flags; a directive past the last slot ends the format there.
template <typename Char>
size_t PlanSlots(std::vector<Char> &format, std::vector<Slot> &plan) {
  for (size_t index = 0; index < format.size() && format[index] != 0; ++index) {
    if (format[index] != '%') continue;
    size_t start = index;
    ++index;
    while (index < format.size() && format[index] != 0) {
      Char ch = format[index];
      if (ch == '*') {
        plan.push_back(Slot::Integer);
      } else if (!(ch == ' ' || ch == '+' || ch == ',' || ch == '-' || ch == '.' || ch == 'l' || ch == 'L' ||
                   (ch >= '0' && ch <= '9'))) {
        break;
      }
      ++index;
    }
    if (plan.size() > kSlots) {
      format[start] = 0;
      break;
    }
    if (index >= format.size() || format[index] == 0) break;
    Char ch = format[index];
    if (ch == 'a' || ch == 's' || ch == 'S' || ch == 'g' || ch == 't') {
      plan.push_back(Slot::Pointer);
    } else if (ch == 'd' || ch == 'u' || ch == 'x' || ch == 'X' || ch == 'p' || ch == 'c' || ch == 'r') {
      plan.push_back(Slot::Integer);
    }
    if (plan.size() > kSlots) {
      format[start] = 0;
      break;
    }
  }
  return plan.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider input(data, size);
  UINTN mode = (input.ConsumeBool() ? FORMAT_UCS2_OUTPUT : 0) | (input.ConsumeBool() ? FORMAT_UCS2_FORMAT : 0);
  size_t bufferSize = input.ConsumeIntegralInRange<size_t>(0, 300);

  // Pointer targets: an ASCII and a UCS-2 string, a GUID and a time, all from the input
  // and terminated; a slot picks one of them or null.
  std::vector<char> ascii = input.ConsumeBytes<char>(input.ConsumeIntegralInRange<size_t>(0, 64));
  // Three zero bytes: whatever width the engine reads the string with, it finds its end
  // (a UCS-2 read of it needs an aligned zero unit).
  // Every target holds at least 16 bytes as well, what a GUID or a time directive reads.
  ascii.insert(ascii.end(), {0, 0, 0});
  if (ascii.size() < 34) ascii.resize(34, 0);
  std::vector<char16_t> wide;
  for (char ch : input.ConsumeBytes<char>(input.ConsumeIntegralInRange<size_t>(0, 64)))
    wide.push_back(char16_t(ch * 257));
  wide.resize(std::max<size_t>(wide.size() + 1, 17), 0);
  std::vector<uint8_t> guidAndTime = input.ConsumeBytes<uint8_t>(32);
  guidAndTime.resize(34, 0);  // a GUID, a time, and a zero unit for a string read of them
  UINT64 integers[kSlots];
  uint8_t targets[kSlots];
  for (size_t slot = 0; slot < kSlots; ++slot) {
    integers[slot] = input.ConsumeIntegral<UINT64>();
    targets[slot] = input.ConsumeIntegral<uint8_t>();
  }

  std::vector<Slot> plan;
  UINT64 args[kSlots] = {};
  std::vector<char> format8;
  std::vector<char16_t> format16;
  std::vector<uint8_t> rest = input.ConsumeRemainingBytes<uint8_t>();
  if (mode & FORMAT_UCS2_FORMAT) {
    for (size_t index = 0; index + 1 < rest.size(); index += 2)
      format16.push_back(char16_t(rest[index] | rest[index + 1] << 8));
    format16.push_back(0);
    PlanSlots(format16, plan);
  } else {
    format8.assign(rest.begin(), rest.end());
    format8.push_back(0);
    PlanSlots(format8, plan);
  }
  for (size_t slot = 0; slot < plan.size() && slot < kSlots; ++slot) {
    if (plan[slot] == Slot::Integer) {
      args[slot] = integers[slot];
      continue;
    }
    switch (targets[slot] % 5) {
      case 0: args[slot] = 0; break;
      case 1: args[slot] = reinterpret_cast<UINT64>(ascii.data()); break;
      case 2: args[slot] = reinterpret_cast<UINT64>(wide.data()); break;
      default: args[slot] = reinterpret_cast<UINT64>(guidAndTime.data() + 16 * (targets[slot] % 2)); break;
    }
  }
  size_t unit = (mode & FORMAT_UCS2_OUTPUT) ? 2 : 1;
  std::vector<uint8_t> out(bufferSize * unit);  // exactly the size given: an overrun is a report
  const void *format = (mode & FORMAT_UCS2_FORMAT) ? static_cast<const void *>(format16.data())
                                                   : static_cast<const void *>(format8.data());
  UINTN written =
      FormatWithFlags(out.empty() ? nullptr : out.data(), bufferSize, mode, format, args[0], args[1], args[2], args[3],
                      args[4], args[5], args[6], args[7], args[8], args[9], args[10], args[11]);
  if (bufferSize == 0) {
    if (written != 0) std::abort();
    return 0;
  }
  if (written >= bufferSize) {
    std::fprintf(stderr, "wrote %zu characters into a buffer of %zu\n", size_t(written), bufferSize);
    std::abort();
  }
  // The text ends in a NUL right after the characters counted.
  bool terminated = unit == 1 ? out[written] == 0 : (out[2 * written] == 0 && out[2 * written + 1] == 0);
  if (!terminated) std::abort();
  return 0;
}
