// Behaviour of the formatted print engine: directives, layout, line ends,
// GUID/time/status texts, buffer ends and the four format/output width pairs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/print/format.h"
#include "runtime/uefi/status.h"

namespace {

UINT64 Ptr(const void *P) { return (UINT64)(uintptr_t)P; }

std::u16string Widen(const std::string &S) {
  std::u16string W;
  for (unsigned char C : S) {
    W.push_back((char16_t)C);
  }
  return W;
}

struct Formatted {
  std::string Text;
  UINTN Count;
};

// Formats into a roomy ASCII buffer with up to four 64-bit argument slots.
Formatted Ascii(const char *Format, const std::vector<UINT64> &Args = {}) {
  UINT64 A[4] = {0, 0, 0, 0};
  for (size_t I = 0; I < Args.size() && I < 4; I++) {
    A[I] = Args[I];
  }
  char Buffer[256];
  memset(Buffer, 0x55, sizeof Buffer);
  UINTN Count = FormatAscii(Buffer, sizeof Buffer, Format, A[0], A[1], A[2], A[3]);
  return {std::string(Buffer), Count};
}

// The same with a UCS-2 format and UCS-2 output.
std::u16string Ucs2(const std::u16string &Format, const std::vector<UINT64> &Args, UINTN *Count) {
  UINT64 A[4] = {0, 0, 0, 0};
  for (size_t I = 0; I < Args.size() && I < 4; I++) {
    A[I] = Args[I];
  }
  char16_t Buffer[256];
  memset(Buffer, 0x55, sizeof Buffer);
  *Count = FormatUcs2(Buffer, sizeof Buffer, Format.c_str(), A[0], A[1], A[2], A[3]);
  return std::u16string(Buffer);
}

const char kAbcdef[] = "abcdef";
const char kAb[] = "ab";
const char16_t kWide[] = u"wide";

struct Case {
  const char *Format;
  std::vector<UINT64> Args;
  const char *Expected;
};

const Case kCases[] = {
    // Post-code message: the trailing "\n\r" becomes "\r\n".
    {"TraceHub : POSTCODE=<%02x>\n\r", {0x41}, "TraceHub : POSTCODE=<41>\r\n"},
    // Hexadecimal is always upper case; X zero-fills to the width.
    {"%x", {255}, "FF"},
    {"%08x", {0x1A}, "0000001A"},
    {"%x", {0xDEADBEEF}, "DEADBEEF"},
    {"%X", {0x1A}, "1A"},
    {"%8X", {0x1A}, "0000001A"},
    {"%-8X|", {0x1A}, "1A      |"},
    {"%8.4X", {0x1A}, "    001A"},
    {"%lx", {0x123456789ABCDEF0ull}, "123456789ABCDEF0"},
    {"%Lx", {0x123456789ABCDEF0ull}, "123456789ABCDEF0"},
    {"%x", {0x1000000FFull}, "FF"},
    // Signed decimal, width and zero fill.
    {"%5d", {(UINT64)-42}, "  -42"},
    {"%05d", {(UINT64)-42}, "-0042"},
    {"%02d", {(UINT64)-42}, "-42"},
    {"%-5d|", {7}, "7    |"},
    {"%0-5d|", {7}, "7    |"},
    {"%+d", {5}, "+5"},
    {"% d", {5}, " 5"},
    {"%+ d", {5}, "+5"},
    {"%+d", {(UINT64)-5}, "-5"},
    {"%+05d", {42}, "+0042"},
    {"%d", {0x80000000u}, "-2147483648"},
    {"%ld", {0x8000000000000000ull}, "-9223372036854775808"},
    // Without "l" only the low 32 bits count, sign-extended for d.
    {"%d", {(1ull << 33) - 1}, "-1"},
    {"%ld", {(1ull << 33) - 1}, "8589934591"},
    {"%u", {0xFFFFFFFFFFFFFFFFull}, "4294967295"},
    {"%lu", {0xFFFFFFFFFFFFFFFFull}, "18446744073709551615"},
    // u drops "+" but keeps the blank; x and X keep both.
    {"%+u", {5}, "5"},
    {"% u", {5}, " 5"},
    {"%+x", {255}, "+FF"},
    {"% X", {255}, " FF"},
    {"%+6X", {255}, "+000FF"},
    // Precision.
    {"%.0d", {0}, ""},
    {"%5.0d|", {0}, "     |"},
    {"%+.0d", {0}, "+"},
    {"%.5d", {42}, "00042"},
    {"%8.5d", {(UINT64)-42}, "  -00042"},
    {"%-8.5d|", {42}, "00042   |"},
    {"%05.3d", {7}, "  007"},
    {"%.05d", {7}, "00007"},
    {"%0d", {0}, "0"},
    // A "." with no number leaves the precision at its default of 1.
    {"%.d", {0}, "0"},
    // Widths and precisions from the argument list.
    {"%*d", {6, 42}, "    42"},
    {"%-*d|", {4, 7}, "7   |"},
    {"%.*d", {4, 7}, "0007"},
    {"%*.*x", {8, 4, 0xAB}, "    00AB"},
    {"%0*d", {5, 42}, "00042"},
    // Thousands grouping: decimal only, no zero fill, precision forced to 1.
    {"%,d", {1234567}, "1,234,567"},
    {"%,d", {(UINT64)-1234567}, "-1,234,567"},
    {"%,d", {0}, "0"},
    {"%,d", {123}, "123"},
    {"%,d", {1234}, "1,234"},
    {"%,d", {123456}, "123,456"},
    {"%+,d", {1000}, "+1,000"},
    {"%,010d", {1234}, "     1,234"},
    {"%,.6d", {1234}, "1,234"},
    {"%,x", {0x12345}, "12345"},
    {"%,lu", {0xFFFFFFFFFFFFFFFFull}, "18,446,744,073,709,551,615"},
    // p: always 64-bit, never a sign prefix, zero fill to the width.
    {"%p", {0x1234}, "1234"},
    {"%p", {0x10000000001ull}, "10000000001"},
    {"%16p", {0x1234}, "0000000000001234"},
    {"%+ 6p", {0x1234}, "001234"},
    // Strings.
    {"%a", {0}, "<null string>"},
    {"%.3a", {0}, "<nu"},
    {"%.3a", {Ptr(kAbcdef)}, "abc"},
    {"%5a", {Ptr(kAb)}, "   ab"},
    {"%-5a|", {Ptr(kAb)}, "ab   |"},
    {"%.5a", {Ptr(kAb)}, "   ab"},
    {"%.0a|", {Ptr(kAb)}, "|"},
    {"%s", {Ptr(kWide)}, "wide"},
    {"%S", {Ptr(kWide)}, "wide"},
    {"%s", {0}, "<null string>"},
    {"%S", {0}, "<null string>"},
    // Characters and directive characters that print themselves.
    {"%c", {'A'}, "A"},
    {"%c", {0}, " "},
    {"%3c", {'A'}, "  A"},
    {"%-3c|", {'A'}, "A  |"},
    {"%.5c", {'A'}, "A"},
    {"%c", {0x10041}, "A"},
    {"%%", {}, "%"},
    {"%i", {}, "i"},
    {"%5%", {}, "    %"},
    {"%-3i|", {}, "i  |"},
    {"%d%%", {50}, "50%"},
    {"abc%", {}, "abc"},
    {"ab%-5", {}, "ab"},
    // Line ends, outside and inside a directive.
    {"a\nb", {}, "a\r\nb"},
    {"a\rb", {}, "a\rb"},
    {"a\r\nb", {}, "a\r\nb"},
    {"a\n\rb", {}, "a\r\nb"},
    {"a\n\nb", {}, "a\r\n\r\nb"},
    {"a\r\r\nb", {}, "a\r\r\nb"},
    {"a\n\r\rb", {}, "a\r\n\rb"},
    {"%\n", {}, "\r\n"},
    {"%\r|", {}, "\r|"},
    {"%4\n\r|", {}, "  \r\n|"},
    // Placeholders for null GUID and time pointers.
    {"%g", {0}, "<null guid>"},
    {"%t", {0}, "<null time>"},
    // Several directives take their arguments in order.
    {"%d-%a-%x", {1, Ptr(kAb), 0xC}, "1-ab-C"},
};

TEST(FormatEngine, DirectiveTableAsciiToAscii) {
  for (const Case &C : kCases) {
    SCOPED_TRACE(C.Format);
    Formatted R = Ascii(C.Format, C.Args);
    EXPECT_EQ(R.Text, C.Expected) << "format: " << C.Format;
    EXPECT_EQ(R.Count, strlen(C.Expected)) << "format: " << C.Format;
  }
}

// The same table through a UCS-2 format into UCS-2 output gives the widened text.
TEST(FormatEngine, DirectiveTableUcs2ToUcs2) {
  for (const Case &C : kCases) {
    SCOPED_TRACE(C.Format);
    UINTN Count = 0;
    std::u16string Text = Ucs2(Widen(C.Format), C.Args, &Count);
    EXPECT_TRUE(Text == Widen(C.Expected)) << "format: " << C.Format;
    EXPECT_EQ(Count, strlen(C.Expected)) << "format: " << C.Format;
  }
}

TEST(FormatEngine, GuidPrintsRegistryFormUpperCase) {
  const EFI_GUID LoadedImage = {0x5B1B31A1, 0x9562, 0x11D2, {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
  const EFI_GUID AllOnes = {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  const EFI_GUID Zero = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(Ascii("%g", {Ptr(&LoadedImage)}).Text, "5B1B31A1-9562-11D2-8E3F-00A0C969723B");
  EXPECT_EQ(Ascii("%g", {Ptr(&AllOnes)}).Text, "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF");
  EXPECT_EQ(Ascii("%g", {Ptr(&Zero)}).Text, "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(Ascii("%g", {Ptr(&Zero)}).Count, 36u);
  // The whole GUID is one text: width pads it, precision does not cut it.
  EXPECT_EQ(Ascii("[%38g]", {Ptr(&Zero)}).Text, "[  00000000-0000-0000-0000-000000000000]");
  EXPECT_EQ(Ascii("[%.4g]", {Ptr(&Zero)}).Text, "[00000000-0000-0000-0000-000000000000]");
}

TEST(FormatEngine, TimePrintsMonthDayYearHourMinute) {
  EFI_TIME T = {};
  T.Year = 2026;
  T.Month = 12;
  T.Day = 7;
  T.Hour = 9;
  T.Minute = 5;
  T.Second = 59;
  EXPECT_EQ(Ascii("%t", {Ptr(&T)}).Text, "12/07/2026  09:05");
  T.Year = 5;
  T.Month = 1;
  T.Day = 2;
  T.Hour = 0;
  T.Minute = 0;
  EXPECT_EQ(Ascii("%t", {Ptr(&T)}).Text, "01/02/0005  00:00");
  T.Year = 65535;
  T.Hour = 23;
  T.Minute = 59;
  EXPECT_EQ(Ascii("%t|", {Ptr(&T)}).Text, "01/02/65535  23:59|");
}

struct StatusCase {
  EFI_STATUS Status;
  const char *Expected;
};

const StatusCase kStatusNames[] = {
    {EFI_SUCCESS, "Success"},
    {EFI_WARN_UNKNOWN_GLYPH, "Warning Unknown Glyph"},
    {EFI_WARN_DELETE_FAILURE, "Warning Delete Failure"},
    {EFI_WARN_WRITE_FAILURE, "Warning Write Failure"},
    {EFI_WARN_BUFFER_TOO_SMALL, "Warning Buffer Too Small"},
    {EFI_WARN_STALE_DATA, "Warning Stale Data"},
    {EFI_LOAD_ERROR, "Load Error"},
    {EFI_INVALID_PARAMETER, "Invalid Parameter"},
    {EFI_UNSUPPORTED, "Unsupported"},
    {EFI_BAD_BUFFER_SIZE, "Bad Buffer Size"},
    {EFI_BUFFER_TOO_SMALL, "Buffer Too Small"},
    {EFI_NOT_READY, "Not Ready"},
    {EFI_DEVICE_ERROR, "Device Error"},
    {EFI_WRITE_PROTECTED, "Write Protected"},
    {EFI_OUT_OF_RESOURCES, "Out of Resources"},
    {EFI_VOLUME_CORRUPTED, "Volume Corrupt"},
    {EFI_VOLUME_FULL, "Volume Full"},
    {EFI_NO_MEDIA, "No Media"},
    {EFI_MEDIA_CHANGED, "Media changed"},
    {EFI_NOT_FOUND, "Not Found"},
    {EFI_ACCESS_DENIED, "Access Denied"},
    {EFI_NO_RESPONSE, "No Response"},
    {EFI_NO_MAPPING, "No mapping"},
    {EFI_TIMEOUT, "Time out"},
    {EFI_NOT_STARTED, "Not started"},
    {EFI_ALREADY_STARTED, "Already started"},
    {EFI_ABORTED, "Aborted"},
    {EFI_ICMP_ERROR, "ICMP Error"},
    {EFI_TFTP_ERROR, "TFTP Error"},
    {EFI_PROTOCOL_ERROR, "Protocol Error"},
    {EFI_INCOMPATIBLE_VERSION, "Incompatible Version"},
    {EFI_SECURITY_VIOLATION, "Security Violation"},
    {EFI_CRC_ERROR, "CRC Error"},
    {EFI_END_OF_MEDIA, "End of Media"},
    {EFIERR(29), "Reserved (29)"},
    {EFIERR(30), "Reserved (30)"},
    {EFI_END_OF_FILE, "End of File"},
    {EFI_INVALID_LANGUAGE, "Invalid Language"},
    {EFI_COMPROMISED_DATA, "Compromised Data"},
};

TEST(FormatEngine, StatusPrintsEveryName) {
  ASSERT_EQ(sizeof kStatusNames / sizeof kStatusNames[0], 39u);
  for (const StatusCase &C : kStatusNames) {
    EXPECT_EQ(Ascii("%r", {C.Status}).Text, C.Expected) << std::hex << C.Status;
  }
}

TEST(FormatEngine, StatusOutsideTheTablePrintsLow32BitsInHex) {
  const StatusCase Fallback[] = {
      {EFIERR(34), "00000022"},
      {EFIERR(0), "00000000"},
      {(EFI_STATUS)6, "00000006"},
      {EFIERR(0x12345678), "12345678"},
      {EFIERR(0xABCDEF0000000022ull & ~EFI_ERROR_BIT), "00000022"},
      {(EFI_STATUS)0x100000000ull, "00000000"},
      {(EFI_STATUS)0xFFFFFFFFull, "FFFFFFFF"},
  };
  for (const StatusCase &C : Fallback) {
    EXPECT_EQ(Ascii("%r", {C.Status}).Text, C.Expected) << std::hex << C.Status;
  }
  // Status texts take width like any other text.
  EXPECT_EQ(Ascii("%-10r|", {EFI_SUCCESS}).Text, "Success   |");
  EXPECT_EQ(Ascii("%10r|", {EFIERR(34)}).Text, "  00000022|");
}

// A guard area after the buffer shows any write past its end.
class BufferEnd : public ::testing::Test {
 protected:
  static constexpr size_t kGuard = 16;
  unsigned char Bytes[64 + kGuard];

  void SetUp() override { memset(Bytes, 0xAA, sizeof Bytes); }

  bool Untouched(size_t From) const {
    for (size_t I = From; I < sizeof Bytes; I++) {
      if (Bytes[I] != 0xAA) {
        return false;
      }
    }
    return true;
  }

  std::string AsciiAt(size_t Length) const { return std::string((const char *)Bytes, Length); }

  std::u16string Ucs2At(size_t Length) const {
    std::u16string S;
    for (size_t I = 0; I < Length; I++) {
      S.push_back((char16_t)(Bytes[2 * I] | (Bytes[2 * I + 1] << 8)));
    }
    return S;
  }
};

TEST_F(BufferEnd, AsciiSizeZeroWritesNothing) {
  EXPECT_EQ(FormatAscii((char *)Bytes, 0, "abc"), 0u);
  EXPECT_TRUE(Untouched(0));
}

TEST_F(BufferEnd, AsciiSizeOneHoldsOnlyTheNul) {
  EXPECT_EQ(FormatAscii((char *)Bytes, 1, "abc%d", (UINT64)5), 0u);
  EXPECT_EQ(Bytes[0], 0);
  EXPECT_TRUE(Untouched(1));
}

struct CutCase {
  const char *Format;
  UINT64 Arg;
  UINTN Size;
  const char *Expected;
};

const CutCase kCuts[] = {
    {"abcdefgh", 0, 5, "abcd"},       // longer text cut
    {"abcd", 0, 5, "abcd"},           // exact fit
    {"abc", 0, 5, "abc"},             // room to spare
    {"%8d", 42, 5, "    "},           // cut in the leading blanks
    {"%08x", 0x1A, 5, "0000"},        // cut in the zero fill
    {"%-8d|", 42, 5, "42  "},         // cut in the trailing blanks
    {"%,d", 1234567, 4, "1,2"},       // cut at a group separator
    {"ab\n", 0, 4, "ab\r"},           // cut inside the "\r\n" pair
    {"ab\ncd", 0, 5, "ab\r\n"},       // the pair fits, nothing after
    {"%*d", 1ull << 62, 6, "     "},  // a huge width from the argument list
    {"%.*d", 1ull << 62, 6, "00000"},
};

TEST_F(BufferEnd, AsciiTextIsCutAtTheEndWithNul) {
  for (const CutCase &C : kCuts) {
    SetUp();
    UINTN Count = FormatAscii((char *)Bytes, C.Size, C.Format, C.Arg, (UINT64)42);
    size_t Length = strlen(C.Expected);
    EXPECT_EQ(Count, Length) << C.Format;
    EXPECT_EQ(AsciiAt(Length), C.Expected) << C.Format;
    EXPECT_EQ(Bytes[Length], 0) << C.Format;
    EXPECT_TRUE(Untouched(C.Size)) << C.Format;
  }
}

TEST_F(BufferEnd, Ucs2TextIsCutAtTheEndWithNul) {
  for (const CutCase &C : kCuts) {
    SetUp();
    std::u16string Format = Widen(C.Format);
    UINTN Count = FormatUcs2((char16_t *)Bytes, C.Size * 2, Format.c_str(), C.Arg, (UINT64)42);
    size_t Length = strlen(C.Expected);
    EXPECT_EQ(Count, Length) << C.Format;
    EXPECT_TRUE(Ucs2At(Length + 1) == Widen(C.Expected) + u'\0') << C.Format;
    EXPECT_TRUE(Untouched(C.Size * 2)) << C.Format;
  }
}

TEST_F(BufferEnd, Ucs2SizeIsInBytes) {
  // Below one character: nothing at all.
  EXPECT_EQ(FormatUcs2((char16_t *)Bytes, 0, u"abc"), 0u);
  EXPECT_EQ(FormatUcs2((char16_t *)Bytes, 1, u"abc"), 0u);
  EXPECT_TRUE(Untouched(0));
  // One character: the NUL only.
  EXPECT_EQ(FormatUcs2((char16_t *)Bytes, 2, u"abc"), 0u);
  EXPECT_TRUE(Ucs2At(1) == std::u16string(1, u'\0'));
  EXPECT_TRUE(Untouched(2));
  // An odd byte count rounds down to whole characters.
  SetUp();
  EXPECT_EQ(FormatUcs2((char16_t *)Bytes, 9, u"abcdefgh"), 3u);
  EXPECT_TRUE(Ucs2At(4) == std::u16string(u"abc\0", 4));
  EXPECT_TRUE(Untouched(8));
}

TEST(FormatEngine, NullBufferOrFormatWritesNothingHarmful) {
  EXPECT_EQ(FormatAscii(nullptr, 16, "abc"), 0u);
  EXPECT_EQ(FormatUcs2(nullptr, 16, u"abc"), 0u);
  EXPECT_EQ(FormatWithFlags(nullptr, 16, FORMAT_UCS2_OUTPUT, "abc"), 0u);

  char Ascii8[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(FormatAscii(Ascii8, sizeof Ascii8, nullptr), 0u);
  EXPECT_EQ(Ascii8[0], '\0');
  EXPECT_EQ(Ascii8[1], 'x');

  char16_t Wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(FormatUcs2(Wide, sizeof Wide, nullptr), 0u);
  EXPECT_EQ(Wide[0], u'\0');
  EXPECT_EQ(Wide[1], u'x');

  // Size zero with a null format still touches nothing.
  EXPECT_EQ(FormatAscii(Ascii8 + 1, 0, nullptr), 0u);
  EXPECT_EQ(Ascii8[1], 'x');
}

TEST(FormatEngine, Ucs2FormatToAsciiOutput) {
  char Buffer[32];
  UINTN Count = FormatWithFlags(Buffer, sizeof Buffer, FORMAT_UCS2_FORMAT, u"x=%d %s\n", (UINT64)-5, Ptr(u"ok"));
  EXPECT_STREQ(Buffer, "x=-5 ok\r\n");
  EXPECT_EQ(Count, 9u);
  // A format character outside ASCII keeps only its low byte in ASCII output.
  Count = FormatWithFlags(Buffer, sizeof Buffer, FORMAT_UCS2_FORMAT, u"\u263A");
  EXPECT_STREQ(Buffer, "\x3A");
  EXPECT_EQ(Count, 1u);
}

TEST(FormatEngine, AsciiFormatToUcs2Output) {
  char16_t Buffer[32];
  UINTN Count = FormatWithFlags(Buffer, 32, FORMAT_UCS2_OUTPUT, "x=%a %c\n", Ptr("hi"), (UINT64)0x263A);
  EXPECT_TRUE(std::u16string(Buffer) == u"x=hi \u263A\r\n");
  EXPECT_EQ(Count, 8u);
}

TEST(FormatEngine, AsciiOutputKeepsLowByteOfUcs2Text) {
  char Buffer[16];
  EXPECT_EQ(FormatAscii(Buffer, sizeof Buffer, "%s|%c", Ptr(u"\u0141\u00E9z"), (UINT64)0x2142), 5u);
  EXPECT_STREQ(Buffer, "\x41\xE9z|\x42");
}

TEST(FormatEngine, AsciiTextWidensWithoutSignExtension) {
  char16_t Buffer[16];
  EXPECT_EQ(FormatUcs2(Buffer, sizeof Buffer, u"%a", Ptr("\xE9\x80z")), 3u);
  EXPECT_TRUE(std::u16string(Buffer) == u"\u00E9\u0080z");
}

TEST(FormatEngine, Ucs2FormatKeepsAll16BitsOfEachCharacter) {
  char16_t Buffer[16];
  // 0x0125 masks to "%" only if the engine wrongly drops the high byte.
  EXPECT_EQ(FormatUcs2(Buffer, sizeof Buffer, u"\u0125d\u010A"), 3u);
  EXPECT_TRUE(std::u16string(Buffer) == u"\u0125d\u010A");
  // An unknown directive character prints itself with all 16 bits.
  EXPECT_EQ(FormatUcs2(Buffer, sizeof Buffer, u"%\u0141"), 1u);
  EXPECT_TRUE(std::u16string(Buffer) == u"\u0141");
}

TEST(FormatEngine, Ucs2LabelWithoutDirectivesCopiesItself) {
  char16_t Buffer[128];
  EXPECT_EQ(FormatUcs2(Buffer, 256, u"HDD Serial Number: "), 19u);
  EXPECT_TRUE(std::u16string(Buffer) == u"HDD Serial Number: ");
}

TEST(FormatEngine, GuidIntoUcs2Output) {
  const EFI_GUID G = {0x5B1B31A1, 0x9562, 0x11D2, {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
  char16_t Buffer[64];
  EXPECT_EQ(FormatUcs2(Buffer, sizeof Buffer, u"%g", Ptr(&G)), 36u);
  EXPECT_TRUE(std::u16string(Buffer) == u"5B1B31A1-9562-11D2-8E3F-00A0C969723B");
}

}  // namespace
