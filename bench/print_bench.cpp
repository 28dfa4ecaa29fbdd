// The print engine against the C library's snprintf on the same formats, in one
// process: every format is a pair of benchmarks, "engine/<case>" and
// "snprintf/<case>", writing the same text into the same kind of buffer.
// scripts/bench.sh turns the pairs into ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/print/format.h"

namespace {

constexpr size_t kBufferSize = 160;

UINT64 Ptr(const void *P) { return (UINT64)(uintptr_t)P; }

// Plain text, kept as literals so that both sides see a constant format.
#define SHORT_TEXT "Platform configuration driver started"
#define LONG_TEXT                                                                                                      \
  "The setup policy is in line with the manufacturing flags; the platform continues to boot without a reset"
const char kName[] = "PchSetup";

template <typename Call>
void Measure(benchmark::State &State, Call Format) {
  char Buffer[kBufferSize];
  for (auto _ : State) {
    benchmark::DoNotOptimize(Format(Buffer));
    benchmark::ClobberMemory();
  }
}

// Registers one format's pair. The calls are passed by type so that each loop
// calls its formatter directly, with no indirection that would blur the ratio.
template <typename EngineCall, typename CCall>
bool Pair(const char *Name, EngineCall Engine, CCall C) {
  // The pair must print the same text, or the ratio compares different work.
  char EngineText[kBufferSize];
  char CText[kBufferSize];
  Engine(EngineText);
  C(CText);
  if (std::string(EngineText) != CText) {
    fprintf(stderr, "case %s: engine '%s' but snprintf '%s'\n", Name, EngineText, CText);
    return false;
  }
  benchmark::RegisterBenchmark((std::string("engine/") + Name).c_str(),
                               [Engine](benchmark::State &State) { Measure(State, Engine); });
  benchmark::RegisterBenchmark((std::string("snprintf/") + Name).c_str(),
                               [C](benchmark::State &State) { Measure(State, C); });
  return true;
}

// The formats the drivers print and the conversions a debug line is made of.
// Where the engine's spelling differs from C's ("l" for 64-bit, "a" for an
// ASCII string, upper-case hex), the two formats still produce the same text.
bool RegisterCases() {
  bool Ok = true;
  Ok &= Pair(
      "text_short", [](char *B) { return FormatAscii(B, kBufferSize, SHORT_TEXT); },
      [](char *B) { return snprintf(B, kBufferSize, SHORT_TEXT); });
  Ok &= Pair(
      "text_long", [](char *B) { return FormatAscii(B, kBufferSize, LONG_TEXT); },
      [](char *B) { return snprintf(B, kBufferSize, LONG_TEXT); });
  Ok &= Pair(
      "d_small", [](char *B) { return FormatAscii(B, kBufferSize, "%d", (UINT64)42); },
      [](char *B) { return snprintf(B, kBufferSize, "%d", 42); });
  Ok &= Pair(
      "d_negative", [](char *B) { return FormatAscii(B, kBufferSize, "%d", (UINT64)(INT64)-123456); },
      [](char *B) { return snprintf(B, kBufferSize, "%d", -123456); });
  Ok &= Pair(
      "u_32bit", [](char *B) { return FormatAscii(B, kBufferSize, "%u", (UINT64)4000000000u); },
      [](char *B) { return snprintf(B, kBufferSize, "%u", 4000000000u); });
  Ok &= Pair(
      "x_32bit", [](char *B) { return FormatAscii(B, kBufferSize, "%X", (UINT64)0xBEEF); },
      [](char *B) { return snprintf(B, kBufferSize, "%X", 0xBEEFu); });
  Ok &= Pair(
      "08X", [](char *B) { return FormatAscii(B, kBufferSize, "%08X", (UINT64)0x1A2B); },
      [](char *B) { return snprintf(B, kBufferSize, "%08X", 0x1A2Bu); });
  Ok &= Pair(
      "5d", [](char *B) { return FormatAscii(B, kBufferSize, "%5d", (UINT64)(INT64)-42); },
      [](char *B) { return snprintf(B, kBufferSize, "%5d", -42); });
  Ok &= Pair(
      "ld", [](char *B) { return FormatAscii(B, kBufferSize, "%ld", (UINT64)(INT64)-1234567890123456ll); },
      [](char *B) { return snprintf(B, kBufferSize, "%lld", -1234567890123456ll); });
  Ok &= Pair(
      "lu", [](char *B) { return FormatAscii(B, kBufferSize, "%lu", (UINT64)18446744073709551615ull); },
      [](char *B) { return snprintf(B, kBufferSize, "%llu", 18446744073709551615ull); });
  Ok &= Pair(
      "lX", [](char *B) { return FormatAscii(B, kBufferSize, "%lX", (UINT64)0x123456789ABCDEF0ull); },
      [](char *B) { return snprintf(B, kBufferSize, "%llX", 0x123456789ABCDEF0ull); });
  Ok &= Pair(
      "p", [](char *B) { return FormatAscii(B, kBufferSize, "%p", (UINT64)0xFFD80100ull); },
      [](char *B) { return snprintf(B, kBufferSize, "%llX", 0xFFD80100ull); });
  Ok &= Pair(
      "string", [](char *B) { return FormatAscii(B, kBufferSize, "%a", Ptr(kName)); },
      [](char *B) { return snprintf(B, kBufferSize, "%s", kName); });
  Ok &= Pair(
      "string_field", [](char *B) { return FormatAscii(B, kBufferSize, "%-20a|", Ptr(kName)); },
      [](char *B) { return snprintf(B, kBufferSize, "%-20s|", kName); });
  Ok &= Pair(
      "post_code", [](char *B) { return FormatAscii(B, kBufferSize, "TraceHub : POSTCODE=<%02x>", (UINT64)0x41); },
      [](char *B) { return snprintf(B, kBufferSize, "TraceHub : POSTCODE=<%02X>", 0x41u); });
  Ok &= Pair(
      "debug_line",
      [](char *B) {
        return FormatAscii(B, kBufferSize, "Setup byte %d at offset 0x%x of %a: %lu bytes left", (UINT64)233,
                           (UINT64)0x1E9, Ptr(kName), (UINT64)1567);
      },
      [](char *B) {
        return snprintf(B, kBufferSize, "Setup byte %d at offset 0x%X of %s: %llu bytes left", 233, 0x1E9u, kName,
                        1567ull);
      });
  return Ok;
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  if (!RegisterCases()) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
