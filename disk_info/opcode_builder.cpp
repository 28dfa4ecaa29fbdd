// A small IFR op-code builder: a growing buffer of op-codes.
#include "disk_info/disk_info.h"
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"

#define OPCODE_GROWTH 512
#define IFR_TEXT_SIZE 8

OpCodeHandle *NewOpCodeHandle(VOID) {
  OpCodeHandle *Handle = (OpCodeHandle *)AllocatePool(sizeof(OpCodeHandle));
  if (Handle == nullptr) {
    return nullptr;
  }
  Handle->Buffer = (UINT8 *)AllocatePool(OPCODE_HANDLE_INITIAL_SIZE);
  if (Handle->Buffer == nullptr) {
    FreePool(Handle);
    return nullptr;
  }
  Handle->BufferSize = OPCODE_HANDLE_INITIAL_SIZE;
  Handle->Position = 0;
  return Handle;
}

VOID FreeOpCodeHandle(OpCodeHandle *Handle) {
  if (Handle == nullptr) {
    return;
  }
  if (Handle->Buffer != nullptr) {
    FreePool(Handle->Buffer);
  }
  FreePool(Handle);
}

// The place for Size more bytes, or null when the buffer cannot grow.
static UINT8 *Reserve(OpCodeHandle *Handle, UINTN Size) {
  if (Handle->BufferSize < Handle->Position + Size) {
    UINTN NewSize = Handle->BufferSize + Size + OPCODE_GROWTH;
    UINT8 *Grown = (UINT8 *)ReallocatePool(EfiBootServicesData, Handle->BufferSize, NewSize, Handle->Buffer);
    if (Grown == nullptr) {
      return nullptr;
    }
    Handle->Buffer = Grown;
    Handle->BufferSize = NewSize;
  }
  UINT8 *Place = Handle->Buffer + Handle->Position;
  Handle->Position += Size;
  return Place;
}

UINT8 *AppendOpCode(OpCodeHandle *Handle, UINT8 *Template, UINT8 OpCode, UINTN HeaderSize, UINTN ExtraSize,
                    UINT8 Scope) {
  if (Handle == nullptr) {
    return nullptr;
  }
  UINTN Length = (HeaderSize + ExtraSize) & 0x7F;
  Template[0] = OpCode;
  Template[1] = (UINT8)(Length | ((UINTN)Scope << 7));
  UINT8 *Place = Reserve(Handle, Length);
  if (Place == nullptr) {
    return nullptr;
  }
  CopyMem(Place, Template, HeaderSize);
  return Place;
}

UINT8 *CreateGuidOpCode(OpCodeHandle *Handle, const EFI_GUID *Guid, const UINT8 *Data, UINTN Size) {
  UINT8 Template[sizeof(EFI_IFR_OP_HEADER) + sizeof(EFI_GUID)];
  CopyMem(Template + 2, Guid, sizeof(EFI_GUID));
  UINT8 *OpCode = AppendOpCode(Handle, Template, EFI_IFR_GUID_OP, sizeof(Template), Size - sizeof(Template), 0);
  if (OpCode != nullptr && Data != nullptr) {
    CopyMem(OpCode + sizeof(Template), Data + sizeof(Template), Size - sizeof(Template));
  }
  return OpCode;
}

UINT8 *CreateTextOpCode(OpCodeHandle *Handle, EFI_STRING_ID Prompt, EFI_STRING_ID Help, EFI_STRING_ID TextTwo) {
  UINT8 Template[IFR_TEXT_SIZE];
  Template[2] = (UINT8)Prompt;
  Template[3] = (UINT8)(Prompt >> 8);
  Template[4] = (UINT8)Help;
  Template[5] = (UINT8)(Help >> 8);
  Template[6] = (UINT8)TextTwo;
  Template[7] = (UINT8)(TextTwo >> 8);
  return AppendOpCode(Handle, Template, EFI_IFR_TEXT_OP, sizeof(Template), 0, 0);
}
