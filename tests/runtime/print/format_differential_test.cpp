// Integer directives compared with the host C library's snprintf, over
// generated formats in the part of the language where both define the same
// text. The engine's own rules decide everything outside that part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "runtime/print/format.h"

namespace {

struct Directive {
  std::string Engine;  // format text for the engine ("l" for 64-bit)
  std::string C;       // format text for snprintf ("ll" for 64-bit)
  char Conversion = 0;
  bool Is64 = false;
  UINT64 Slot = 0;  // what the engine's 64-bit slot holds
};

UINT64 PickValue(std::mt19937_64 &Rng) {
  static const UINT64 kEdges[] = {0,
                                  1,
                                  9,
                                  10,
                                  999,
                                  1000,
                                  0x7FFFFFFF,
                                  0x80000000,
                                  0xFFFFFFFF,
                                  0x100000000ull,
                                  0x7FFFFFFFFFFFFFFFull,
                                  0x8000000000000000ull,
                                  0xFFFFFFFFFFFFFFFFull,
                                  (UINT64)-1000,
                                  (UINT64)-1};
  switch (Rng() % 4) {
    case 0: return kEdges[Rng() % (sizeof kEdges / sizeof kEdges[0])];
    case 1: return Rng() % 2000 - 1000;    // small, either sign
    case 2: return Rng() >> (Rng() % 64);  // any magnitude
    default: return Rng();
  }
}

Directive Generate(std::mt19937_64 &Rng) {
  static const char kConversions[] = {'d', 'u', 'x', 'X'};
  Directive D;
  D.Conversion = kConversions[Rng() % 4];
  D.Is64 = Rng() % 2 == 0;
  D.Slot = PickValue(Rng);
  if (!D.Is64 && Rng() % 2 == 0) {
    // The engine must ignore whatever the upper half of a 32-bit slot holds.
    D.Slot = (D.Slot & 0xFFFFFFFFull) | (Rng() << 32);
  }

  bool Signed = D.Conversion == 'd';
  bool HasWidth = Rng() % 3 != 0;
  bool HasPrecision = Rng() % 3 == 0;
  bool Left = Rng() % 4 == 0;
  // The engine prints "+" and " " for x and X and keeps " " for u, where C
  // defines them only for signed conversions: they stay with d.
  bool Plus = Signed && Rng() % 4 == 0;
  bool Blank = Signed && Rng() % 4 == 0;
  // With a precision the engine's zero fill and C's "0" both give way, but the
  // two rules are worded differently; that combination is left to the unit tests.
  bool Zero = !HasPrecision && Rng() % 3 == 0;
  // X always zero-fills in the engine, so a right-justified X field without a
  // precision matches C only with C's "0" flag; give it that flag explicitly.
  if (D.Conversion == 'X' && HasWidth && !Left && !HasPrecision) {
    Zero = true;
  }

  std::string Flags;
  if (Left) {
    Flags += '-';
  }
  if (Plus) {
    Flags += '+';
  }
  if (Blank) {
    Flags += ' ';
  }
  if (Zero) {
    Flags += '0';
  }
  // Flag order is free in both languages.
  std::shuffle(Flags.begin(), Flags.end(), Rng);

  std::string Layout = Flags;
  if (HasWidth) {
    Layout += std::to_string(1 + Rng() % 30);
  }
  if (HasPrecision) {
    // Always with digits: a bare "." means precision 0 in C but leaves the
    // engine's default precision of 1.
    Layout += "." + std::to_string(Rng() % 25);
  }
  D.Engine = "%" + Layout + (D.Is64 ? "l" : "") + D.Conversion;
  D.C = "%" + Layout + (D.Is64 ? "ll" : "") + D.Conversion;
  return D;
}

std::string CFormat(const Directive &D) {
  char Buffer[128];
  UINT32 Low = (UINT32)D.Slot;
  if (D.Conversion == 'd') {
    if (D.Is64) {
      snprintf(Buffer, sizeof Buffer, D.C.c_str(), (long long)(INT64)D.Slot);
    } else {
      snprintf(Buffer, sizeof Buffer, D.C.c_str(), (int)(INT32)Low);
    }
  } else if (D.Is64) {
    snprintf(Buffer, sizeof Buffer, D.C.c_str(), (unsigned long long)D.Slot);
  } else {
    snprintf(Buffer, sizeof Buffer, D.C.c_str(), (unsigned)Low);
  }
  return Buffer;
}

std::string Upper(std::string S) {
  for (char &C : S) {
    if (C >= 'a' && C <= 'f') {
      C = (char)(C - 'a' + 'A');
    }
  }
  return S;
}

TEST(FormatDifferential, IntegerDirectivesMatchSnprintf) {
  std::mt19937_64 Rng(0x5EED2026u);
  for (int Round = 0; Round < 4000; Round++) {
    // One to three directives between literal text, so field edges and the
    // order of argument slots both show.
    int Count = 1 + (int)(Rng() % 3);
    Directive D[3];
    std::string EngineFormat = "[";
    std::string Expected = "[";
    for (int I = 0; I < Count; I++) {
      D[I] = Generate(Rng);
      EngineFormat += D[I].Engine + "|";
      Expected += CFormat(D[I]) + "|";
    }
    EngineFormat += "]";
    Expected += "]";
    // The engine prints upper-case digits for x as well as X.
    Expected = Upper(Expected);

    char Ascii[512];
    UINTN N = FormatAscii(Ascii, sizeof Ascii, EngineFormat.c_str(), D[0].Slot, D[1].Slot, D[2].Slot);
    ASSERT_EQ(std::string(Ascii), Expected) << "format: " << EngineFormat;
    ASSERT_EQ(N, Expected.size()) << "format: " << EngineFormat;

    // The UCS-2 paths give the same characters.
    std::u16string WideFormat(EngineFormat.begin(), EngineFormat.end());
    char16_t Wide[512];
    N = FormatUcs2(Wide, sizeof Wide, WideFormat.c_str(), D[0].Slot, D[1].Slot, D[2].Slot);
    ASSERT_TRUE(std::u16string(Wide) == std::u16string(Expected.begin(), Expected.end())) << "format: " << EngineFormat;
    ASSERT_EQ(N, Expected.size()) << "format: " << EngineFormat;
  }
}

}  // namespace
