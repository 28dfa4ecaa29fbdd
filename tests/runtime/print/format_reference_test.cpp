// The engine with its fast paths against the frozen copy of the engine before
// them: generated formats over the whole directive language, every pair of
// format and output widths, odd addresses and buffers that cut the text short.
// Output bytes (up to and past the NUL) and counts must be identical.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/print/format.h"
#include "tests/runtime/print/reference_format.h"

namespace {

constexpr int kSlots = 12;

const char kAsciiText[] = "ascii \x80\xFF text %d \r\n";
const char16_t kWideText[] = u"wide \u0141\uFF25%\u0125\u0A0D!";
const EFI_GUID kGuid = {0x5B1B31A1, 0x9562, 0x11D2, {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
EFI_TIME MakeTime() {
  EFI_TIME Time = {};
  Time.Year = 2026;
  Time.Month = 12;
  Time.Day = 7;
  Time.Hour = 9;
  Time.Minute = 5;
  return Time;
}
const EFI_TIME kTime = MakeTime();

UINT64 Ptr(const void *P) { return (UINT64)(uintptr_t)P; }

UINT64 PickNumber(std::mt19937_64 &Rng) {
  static const UINT64 kEdges[] = {0,          1,           9,           10,          99,
                                  100,        999,         1000,        0x7FFFFFFF,  0x80000000,
                                  0xFFFFFFFF, 0x100000000, 9999999999,  10000000000, 0x7FFFFFFFFFFFFFFF,
                                  0x8000000000000000,      ~0ull,       (UINT64)-1000};
  switch (Rng() % 3) {
  case 0:
    return kEdges[Rng() % (sizeof kEdges / sizeof kEdges[0])];
  case 1:
    return Rng() >> (Rng() % 64);
  default:
    return Rng();
  }
}

// A format as 16-bit units (masked to bytes for an ASCII format) and the
// argument slots its directives take.
struct Generated {
  std::vector<UINT16> Units;
  UINT64 Slots[kSlots] = {};
};

Generated Generate(std::mt19937_64 &Rng) {
  static const char kLiterals[] = "abcXYZ 019:-_|=<>.,\t";
  static const char kFlags[] = " +,-.lL0123456789*";
  static const char kDirectives[] = "duxXpasScgtr%i\n\rqZ";
  Generated G;
  int Slot = 0;
  auto Take = [&](UINT64 Value) { G.Slots[Slot++] = Value; };
  // A directive takes at most six slots: five "*" and its argument.
  int Pieces = 1 + (int)(Rng() % 10);
  for (int P = 0; P < Pieces && Slot <= kSlots - 6; P++) {
    switch (Rng() % 4) {
    case 0: { // a literal run, sometimes with characters above 0x7F or 0xFF
      int Length = 1 + (int)(Rng() % 40);
      for (int K = 0; K < Length; K++) {
        UINT16 Ch = (UINT16)kLiterals[Rng() % (sizeof kLiterals - 1)];
        if (Rng() % 16 == 0) {
          // Masked to a byte in an ASCII format this may give "\n" or "\r",
          // but never NUL or a "%" that would take an argument.
          Ch = (UINT16)(0x80 + Rng() % 0x7F80);
          if ((Ch & 0xFF) == 0 || (Ch & 0xFF) == '%') {
            Ch |= 0x40;
          }
        }
        G.Units.push_back(Ch);
      }
      break;
    }
    case 1: // line ends in every order
      G.Units.push_back(Rng() % 2 ? '\n' : '\r');
      if (Rng() % 2) {
        G.Units.push_back(Rng() % 2 ? '\n' : '\r');
      }
      break;
    default: { // a directive
      G.Units.push_back('%');
      int Flags = (int)(Rng() % 5);
      for (int K = 0; K < Flags; K++) {
        char Ch = kFlags[Rng() % (sizeof kFlags - 1)];
        G.Units.push_back((UINT16)Ch);
        if (Ch == '*') {
          // Mostly small; now and then a width far beyond any buffer.
          Take(Rng() % 8 == 0 ? ~0ull - Rng() % 4 : Rng() % 40);
        }
      }
      char D = kDirectives[Rng() % (sizeof kDirectives - 1)];
      G.Units.push_back((UINT16)D);
      switch (D) {
      case 'a':
        Take(Rng() % 5 == 0 ? 0 : Ptr(kAsciiText));
        break;
      case 's':
      case 'S':
        Take(Rng() % 5 == 0 ? 0 : Ptr(kWideText));
        break;
      case 'g':
        Take(Rng() % 5 == 0 ? 0 : Ptr(&kGuid));
        break;
      case 't':
        Take(Rng() % 5 == 0 ? 0 : Ptr(&kTime));
        break;
      case 'r':
        Take(Rng() % 2 ? (Rng() % 40) | (Rng() % 2 ? 0x8000000000000000ull : 0) : Rng());
        break;
      case 'd':
      case 'u':
      case 'x':
      case 'X':
      case 'p':
      case 'c':
        Take(PickNumber(Rng));
        break;
      default:
        break;
      }
      break;
    }
    }
  }
  if (Rng() % 10 == 0) {
    G.Units.push_back('%'); // a format that ends inside a directive
  }
  return G;
}

// Runs one engine on a format laid out at an odd or even offset, into an output
// at an odd or even offset, and returns every output byte (NUL and past it).
template <typename Engine>
std::vector<UINT8> RunEngine(Engine Call, const Generated &G, UINTN Mode, UINTN Size, UINTN Shift, UINTN *Count) {
  const bool FormatWide = (Mode & FORMAT_UCS2_FORMAT) != 0;
  const bool OutputWide = (Mode & FORMAT_UCS2_OUTPUT) != 0;
  std::vector<UINT8> Format(1 + (G.Units.size() + 1) * 2, 0);
  UINT8 *F = Format.data() + Shift;
  for (size_t I = 0; I < G.Units.size(); I++) {
    if (FormatWide) {
      F[I * 2] = (UINT8)G.Units[I];
      F[I * 2 + 1] = (UINT8)(G.Units[I] >> 8);
    } else {
      F[I] = (UINT8)G.Units[I];
    }
  }
  std::vector<UINT8> Out(1 + 600 * 2, 0xA5);
  const UINT64 *S = G.Slots;
  *Count = Call(Out.data() + Shift, Size, Mode, F, S[0], S[1], S[2], S[3], S[4], S[5], S[6], S[7], S[8], S[9], S[10],
                S[11]);
  Out.resize(1 + (OutputWide ? 2 : 1) * 600);
  return Out;
}

TEST(FormatReference, FastPathsMatchTheEngineBeforeThemOnGeneratedFormats) {
  std::mt19937_64 Rng(0xF0A7u);
  static const UINTN kModes[] = {0, FORMAT_UCS2_OUTPUT, FORMAT_UCS2_FORMAT, FORMAT_UCS2_OUTPUT | FORMAT_UCS2_FORMAT};
  for (int Round = 0; Round < 20000; Round++) {
    Generated G = Generate(Rng);
    if (Rng() % 8 == 0 && !G.Units.empty()) {
      // A NUL inside the format ends it there.
      G.Units[Rng() % G.Units.size()] = 0;
    }
    UINTN Mode = kModes[Rng() % 4];
    // Mostly roomy; often a buffer that ends inside some piece of the text.
    UINTN Size = Rng() % 3 == 0 ? 1 + Rng() % 40 : 600;
    UINTN Shift = Rng() % 2;
    SCOPED_TRACE(::testing::Message() << "round " << Round << ", mode 0x" << std::hex << Mode << std::dec
                                      << ", size " << Size << ", shift " << Shift);

    UINTN NewCount = 0;
    UINTN OldCount = 0;
    std::vector<UINT8> New = RunEngine(FormatWithFlags, G, Mode, Size, Shift, &NewCount);
    std::vector<UINT8> Old = RunEngine(reference_print::FormatWithFlags, G, Mode, Size, Shift, &OldCount);
    ASSERT_EQ(NewCount, OldCount);
    ASSERT_EQ(New, Old);
  }
}

} // namespace
