// The five HII protocols as interfaces of their full size, every member filled. String
// and Database are views of the boot's HiiModel; Config Routing, Font and Image are not
// modelled: a call records "service HiiX.Member not modelled" and answers
// EFI_UNSUPPORTED. Pointers to HII structures are written as VOID *.
#include "platform_sim/firmware/firmware_core.h"
#include "platform_sim/firmware/service_rules.h"
#include "platform_sim/hii/hii_model.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"

namespace sim {
namespace {

using This = VOID *;
using HiiHandle = VOID *;
using StringId = UINT16;

#define HII_MEMBER(protocol, member, ...)                                                                              \
  constexpr char k##protocol##_##member[] = #protocol "." #member;                                                     \
  VOID *protocol##_##member##Slot() { return NotModelledSlot<k##protocol##_##member, This, ##__VA_ARGS__>(); }

HII_MEMBER(HiiConfigRouting, ExtractConfig, const CHAR16 *, CHAR16 **, CHAR16 **)
HII_MEMBER(HiiConfigRouting, ExportConfig, CHAR16 **)
HII_MEMBER(HiiConfigRouting, RouteConfig, const CHAR16 *, CHAR16 **)
HII_MEMBER(HiiConfigRouting, BlockToConfig, const CHAR16 *, const UINT8 *, UINTN, CHAR16 **, CHAR16 **)
HII_MEMBER(HiiConfigRouting, ConfigToBlock, const CHAR16 *, UINT8 *, UINTN *, CHAR16 **)
HII_MEMBER(HiiConfigRouting, GetAltConfig, const CHAR16 *, const EFI_GUID *, const CHAR16 *, const VOID *,
           const UINT16 *, CHAR16 **)

HII_MEMBER(HiiFont, StringToImage, UINT32, const CHAR16 *, const VOID *, VOID **, UINTN, UINTN, VOID **, UINTN *,
           UINTN *)
HII_MEMBER(HiiFont, StringIdToImage, UINT32, HiiHandle, StringId, const CHAR8 *, const VOID *, VOID **, UINTN, UINTN,
           VOID **, UINTN *, UINTN *)
HII_MEMBER(HiiFont, GetGlyph, CHAR16, const VOID *, VOID **, UINTN *)
HII_MEMBER(HiiFont, GetFontInfo, VOID **, const VOID *, VOID **, const CHAR16 *)

HII_MEMBER(HiiImage, NewImage, HiiHandle, UINT16 *, const VOID *)
HII_MEMBER(HiiImage, GetImage, HiiHandle, UINT16, VOID *)
HII_MEMBER(HiiImage, SetImage, HiiHandle, UINT16, const VOID *)
HII_MEMBER(HiiImage, DrawImage, UINT32, const VOID *, VOID **, UINTN, UINTN)
HII_MEMBER(HiiImage, DrawImageId, UINT32, HiiHandle, UINT16, VOID **, UINTN, UINTN)

#undef HII_MEMBER

// An interface laid out as the protocol's member table, in the specification's order.
void *Interface(Arena &arena, std::initializer_list<VOID *> members) {
  auto **table = static_cast<VOID **>(arena.AllocateFirmware(members.size() * sizeof(VOID *)));
  size_t index = 0;
  for (VOID *member : members) table[index++] = member;
  return table;
}

}  // namespace

std::unique_ptr<HiiModel> InstallHiiProtocols(FirmwareCore &core, Arena &arena) {
  auto model = std::make_unique<HiiModel>(arena);
  core.InstallProtocol(gEfiHiiStringProtocolGuid, model->StringProtocol());
  core.InstallProtocol(gEfiHiiDatabaseProtocolGuid, model->DatabaseProtocol());
  core.InstallProtocol(gEfiHiiConfigRoutingProtocolGuid,
                       Interface(arena, {HiiConfigRouting_ExtractConfigSlot(), HiiConfigRouting_ExportConfigSlot(),
                                         HiiConfigRouting_RouteConfigSlot(), HiiConfigRouting_BlockToConfigSlot(),
                                         HiiConfigRouting_ConfigToBlockSlot(), HiiConfigRouting_GetAltConfigSlot()}));
  core.InstallProtocol(gEfiHiiFontProtocolGuid,
                       Interface(arena, {HiiFont_StringToImageSlot(), HiiFont_StringIdToImageSlot(),
                                         HiiFont_GetGlyphSlot(), HiiFont_GetFontInfoSlot()}));
  core.InstallProtocol(gEfiHiiImageProtocolGuid,
                       Interface(arena, {HiiImage_NewImageSlot(), HiiImage_GetImageSlot(), HiiImage_SetImageSlot(),
                                         HiiImage_DrawImageSlot(), HiiImage_DrawImageIdSlot()}));
  return model;
}

}  // namespace sim
