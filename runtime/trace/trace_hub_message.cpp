// The text message: a MIPI SyS-T string message built from the handle and written to
// the channel in the message's order (tag, origin, length, text, end flag).
#include "runtime/base/memory.h"
#include "runtime/trace/trace_hub.h"
#include "runtime/trace/trace_hub_internal.h"
#include "runtime/uefi/status.h"

#define SYST_TYPE_STRING 0x2u
#define SYST_SUBTYPE_STRING_GENERIC 0x1u
#define SYST_TAG_KEEP_MASK 0x00FFFF80u
#define SYST_TAG_LENGTH_FOLLOWS 0x200u
#define SYST_TAG_ORIGIN_MASK 0x00FF0000u
#define SYST_MAX_TEXT_LENGTH 0xFFFFu

static UINT32 MessageTag(CONST TRACE_HUB_HANDLE *Handle, UINT32 Severity, BOOLEAN LengthFollows) {
  UINT32 Tag = (Handle->TagTemplate & SYST_TAG_KEEP_MASK) | (SYST_SUBTYPE_STRING_GENERIC << 24) |
               ((Severity & 0x7u) << 4) | SYST_TYPE_STRING;
  if (LengthFollows) {
    Tag |= SYST_TAG_LENGTH_FOLLOWS;
  }
  return Tag;
}

// Widest writes first; the bytes go out in memory order.
static VOID WriteText(CONST TRACE_HUB_HANDLE *Handle, CONST CHAR8 *Text, UINTN Length) {
  CONST TRACE_HUB_CHANNEL_OPERATIONS *Ops = &Handle->Operations;
  UINT64 Chunk;
  for (; Length >= 8; Text += 8, Length -= 8) {
    CopyMem(&Chunk, Text, 8);
    Ops->Write64(Handle, Chunk);
  }
  if (Length >= 4) {
    UINT32 Word;
    CopyMem(&Word, Text, 4);
    Ops->Write32(Handle, Word);
    Text += 4;
    Length -= 4;
  }
  if (Length >= 2) {
    UINT16 Half;
    CopyMem(&Half, Text, 2);
    Ops->Write16(Handle, Half);
    Text += 2;
    Length -= 2;
  }
  if (Length == 1) {
    Ops->Write8(Handle, (UINT8)Text[0]);
  }
}

EFI_STATUS TraceHubWriteText(UINT32 Severity, CONST CHAR8 *Text, UINTN Length, BOOLEAN LengthFollows) {
  if (Text == nullptr && Length != 0) {
    return EFI_INVALID_PARAMETER;
  }
  CONST TRACE_HUB_HANDLE *Handle = TraceHubHandle();
  if (Handle == nullptr) {
    return EFI_SUCCESS;
  }
  if (Length > SYST_MAX_TEXT_LENGTH) {
    Length = SYST_MAX_TEXT_LENGTH;
  }
  CONST TRACE_HUB_CHANNEL_OPERATIONS *Ops = &Handle->Operations;
  UINT32 Tag = MessageTag(Handle, Severity, LengthFollows);
  Ops->WriteTimestamped32(Handle, Tag);
  if ((Tag & SYST_TAG_ORIGIN_MASK) == SYST_TAG_ORIGIN_MASK) {
    UINT64 Origin[2];
    CopyMem(Origin, &Handle->Origin, sizeof(Origin));
    Ops->Write64(Handle, Origin[0]);
    Ops->Write64(Handle, Origin[1]);
  }
  if (LengthFollows) {
    Ops->Write16(Handle, (UINT16)Length);
  }
  WriteText(Handle, Text, Length);
  Ops->WriteFlag(Handle, 0);
  return EFI_SUCCESS;
}
