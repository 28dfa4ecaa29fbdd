// Literal text between directives, copied a run at a time instead of a
// character per pass of the directive loop. Each pair of format and output
// widths has its own loop; 16-bit units are read and written bytewise, so odd
// addresses stay harmless.
#include "runtime/print/format_internal.h"

namespace {

// The units that end a run: NUL, "\n", "\r" and "%", as a bit per unit below 64.
constexpr UINT64 kRunEnds = (1ull << 0) | (1ull << '\n') | (1ull << '\r') | (1ull << '%');

inline BOOLEAN EndsRun(UINT16 Ch) { return Ch < 64 && ((kRunEnds >> Ch) & 1) != 0; }

} // namespace

UINT64 FormatCopyLiteralRun(FormatSink *Sink, CONST VOID *Format, BOOLEAN FormatUcs2, UINT64 Index) {
  // Never read more format than there is room for: the format is read no
  // further than the output can take, as in the directive loop.
  CONST UINTN Room = SinkRoom(Sink);
  CONST UINT8 *In = (CONST UINT8 *)Format + (FormatUcs2 ? Index * 2 : Index);
  UINT8 *Out = Sink->Buffer + (Sink->Ucs2 ? Sink->Count * 2 : Sink->Count);
  UINTN N = 0;
  if (!FormatUcs2 && !Sink->Ucs2) {
    for (; N < Room && !EndsRun(In[N]); N++) {
      Out[N] = In[N];
    }
  } else if (!FormatUcs2) {
    for (; N < Room && !EndsRun(In[N]); N++) {
      Out[N * 2] = In[N];
      Out[N * 2 + 1] = 0;
    }
  } else {
    for (; N < Room; N++) {
      UINT16 Ch = (UINT16)(In[N * 2] | ((UINT16)In[N * 2 + 1] << 8));
      if (EndsRun(Ch)) {
        break;
      }
      if (Sink->Ucs2) {
        Out[N * 2] = In[N * 2];
        Out[N * 2 + 1] = In[N * 2 + 1];
      } else {
        // ASCII output keeps the low byte of each character.
        Out[N] = In[N * 2];
      }
    }
  }
  Sink->Count += N;
  return N;
}
