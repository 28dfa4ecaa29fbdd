// Literal text between directives, copied a run at a time instead of a
// character per pass of the directive loop. ASCII to ASCII, the common pair,
// has its own word-at-a-time loop; 16-bit units are read and written bytewise,
// so odd addresses stay harmless.
#include "runtime/print/format_internal.h"

namespace {

// The units that end a run: NUL, "\n", "\r" and "%", as a bit per unit below 64.
constexpr UINT64 kRunEnds = (1ull << 0) | (1ull << '\n') | (1ull << '\r') | (1ull << '%');

inline BOOLEAN EndsRun(UINT16 Ch) { return Ch < 64 && ((kRunEnds >> Ch) & 1) != 0; }

constexpr UINT64 kOnes = 0x0101010101010101ull;
constexpr UINT64 kHighs = 0x8080808080808080ull;

// Reads the aligned 8-byte word at Address. The word may reach past the NUL
// that ends the format, but never past the page that holds that NUL, so the
// read cannot fault; none of those bytes is ever used. The address sanitizer
// would see the read as out of bounds, so it does not check this one load.
__attribute__((no_sanitize("address"))) inline UINT64 LoadAlignedWord(CONST UINT8 *Address) {
  typedef UINT64 __attribute__((may_alias)) AliasedWord;
  return *(CONST AliasedWord *)Address;
}

// True when some byte of Word may end a run. Bytes below 0x0E stand for NUL,
// "\n" and "\r" together (a tab or other control character only sends the word
// down the byte path); "%" is matched exactly.
inline BOOLEAN MayEndRun(UINT64 Word) {
  UINT64 Low = (Word - kOnes * 0x0E) & ~Word & kHighs;
  UINT64 Percent = Word ^ (kOnes * '%');
  Percent = (Percent - kOnes) & ~Percent & kHighs;
  return (Low | Percent) != 0;
}

// ASCII format to ASCII output: a byte at a time up to an 8-byte boundary of
// the format, then a word at a time while no byte of the word can end the run,
// then a byte at a time again.
UINTN CopyAsciiRun(UINT8 *Out, CONST UINT8 *In, UINTN Room) {
  UINTN N = 0;
  for (; N < Room && ((UINTN)(In + N) & 7) != 0; N++) {
    if (EndsRun(In[N])) {
      return N;
    }
    Out[N] = In[N];
  }
  for (; Room - N >= 8; N += 8) {
    UINT64 Word = LoadAlignedWord(In + N);
    if (MayEndRun(Word)) {
      break;
    }
    for (UINTN K = 0; K < 8; K++) {
      Out[N + K] = (UINT8)(Word >> (K * 8));
    }
  }
  for (; N < Room && !EndsRun(In[N]); N++) {
    Out[N] = In[N];
  }
  return N;
}

}  // namespace

UINT64 FormatCopyLiteralRun(FormatSink *Sink, CONST VOID *Format, BOOLEAN FormatUcs2, UINT64 Index) {
  // Never read more format than there is room for: the format is read no
  // further than the output can take, as in the directive loop.
  CONST UINTN Room = SinkRoom(Sink);
  CONST UINT8 *In = (CONST UINT8 *)Format + (FormatUcs2 ? Index * 2 : Index);
  UINT8 *Out = Sink->Buffer + (Sink->Ucs2 ? Sink->Count * 2 : Sink->Count);
  UINTN N = 0;
  if (!FormatUcs2 && !Sink->Ucs2) {
    N = CopyAsciiRun(Out, In, Room);
  } else {
    // The other pairs (UCS-2 labels, mostly short) share one loop.
    for (; N < Room; N++) {
      UINT16 Ch = TextUnit(In, FormatUcs2, N);
      if (EndsRun(Ch)) {
        break;
      }
      if (Sink->Ucs2) {
        Out[N * 2] = (UINT8)(Ch & 0xFF);
        Out[N * 2 + 1] = (UINT8)(Ch >> 8);
      } else {
        // ASCII output keeps the low byte of each character.
        Out[N] = (UINT8)(Ch & 0xFF);
      }
    }
  }
  Sink->Count += N;
  return N;
}
