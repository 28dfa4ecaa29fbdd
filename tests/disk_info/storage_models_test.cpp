// The storage and HII models keep the rules of the protocols they stand for, so that a
// driver that breaks them fails here as it would on real firmware.
#include "platform_sim/hii/hii_model.h"
#include "runtime/uefi/guids.h"
#include "tests/disk_info/disk_fixture.h"

namespace {

TEST(AtaPassThruModel, PortAndDeviceWalksKeepTheirState) {
  sim::AtaControllerModel ata;
  ata.Attach(0, 0xFFFF, disktest::Disk("A", "1"));
  ata.Attach(3, 0, disktest::Disk("B", "2"));
  ata.Attach(3, 2, disktest::Disk("C", "3"));
  UINT16 port = 0xFFFF;
  std::vector<UINT16> ports;
  while (ata.GetNextPort(&port) == EFI_SUCCESS) ports.push_back(port);
  EXPECT_EQ(ports, (std::vector<UINT16>{0, 3}));
  EXPECT_EQ(ata.GetNextPort(&port), EFI_NOT_FOUND);
  UINT16 stale = 7;
  EXPECT_EQ(ata.GetNextPort(&stale), EFI_INVALID_PARAMETER) << "neither the start nor the last one returned";

  struct Walk {
    UINT16 port;
    std::vector<UINT16> devices;
  };
  for (const Walk &walk : {Walk{0, {0xFFFF}}, Walk{3, {0, 2}}}) {
    SCOPED_TRACE(walk.port);
    UINT16 pmp = 0xFFFF;
    std::vector<UINT16> found;
    while (ata.GetNextDevice(walk.port, &pmp) == EFI_SUCCESS) found.push_back(pmp);
    EXPECT_EQ(found, walk.devices);
  }
  UINT16 pmp = 1;
  EXPECT_EQ(ata.GetNextDevice(3, &pmp), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ata.GetNextDevice(5, &pmp), EFI_INVALID_PARAMETER) << "no such port";
}

TEST(AtaPassThruModel, BuffersOffIoAlignAndFailingCommandsAreRefused) {
  sim::AtaControllerModel ata(4);
  auto &drive = ata.Attach(0, 0xFFFF, disktest::Disk("A", "1"));
  alignas(8) UINT8 buffer[520 + 8] = {};
  EFI_ATA_COMMAND_BLOCK acb{};
  alignas(8) EFI_ATA_STATUS_BLOCK asb{};
  acb.AtaCommand = 0xEC;
  EFI_ATA_PASS_THRU_COMMAND_PACKET packet{};
  packet.Acb = &acb;
  packet.Asb = &asb;
  packet.InTransferLength = 512;
  packet.InDataBuffer = buffer + 2;
  EXPECT_EQ(ata.PassThru(0, 0xFFFF, &packet), EFI_INVALID_PARAMETER);
  EXPECT_EQ(ata.Faults().size(), 1u);
  packet.InDataBuffer = buffer;
  EXPECT_EQ(ata.PassThru(0, 0xFFFF, &packet), EFI_SUCCESS);
  EXPECT_EQ(std::memcmp(buffer, drive.identify.data(), 512), 0);
  drive.failCommand = 0xEC;
  EXPECT_EQ(ata.PassThru(0, 0xFFFF, &packet), EFI_DEVICE_ERROR);
  EXPECT_EQ(ata.PassThru(1, 0xFFFF, &packet), EFI_INVALID_PARAMETER) << "no drive there";
  EXPECT_EQ(drive.packets.size(), 2u);
}

TEST(NvmePassThruModel, NamespacesAscendAndUnknownOnesAreRefused) {
  sim::NvmeControllerModel nvme(sim::MakeNvmeIdentify("M", "S"), {4, 1, 9});
  UINT32 id = 0xFFFFFFFF;
  std::vector<UINT32> ids;
  while (nvme.GetNextNamespace(&id) == EFI_SUCCESS) ids.push_back(id);
  EXPECT_EQ(ids, (std::vector<UINT32>{1, 4, 9}));
  UINT32 unknown = 5;
  EXPECT_EQ(nvme.GetNextNamespace(&unknown), EFI_INVALID_PARAMETER);
}

TEST(DiskInfoModel, IdentifyAsksForTheSizeItNeeds) {
  sim::DiskInfoModel info(gEfiDiskInfoAhciInterfaceGuid, std::vector<uint8_t>(512, 0x5A));
  UINT8 buffer[512] = {};
  UINT32 size = 100;
  EXPECT_EQ(info.Identify(buffer, &size), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 512u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(info.Identify(buffer, &size), EFI_SUCCESS);
  EXPECT_EQ(buffer[511], 0x5A);
}

TEST(HiiModel, StringsAndExportsFollowTheProtocolRules) {
  sim::Platform platform;
  sim::SetupForm form(platform);
  auto *strings = simtest::Locate<EFI_HII_STRING_PROTOCOL>(platform, gEfiHiiStringProtocolGuid);
  auto *database = simtest::Locate<EFI_HII_DATABASE_PROTOCOL>(platform, gEfiHiiDatabaseProtocolGuid);

  UINTN size = 0;
  EXPECT_EQ(strings->GetLanguages(strings, form.Handle(), nullptr, &size), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, sizeof("en-US;fr-FR"));
  std::string languages(size, '\0');
  EXPECT_EQ(strings->GetLanguages(strings, form.Handle(), languages.data(), &size), EFI_SUCCESS);
  EXPECT_STREQ(languages.c_str(), "en-US;fr-FR");

  // A new string's ID is reserved in every language; only its own holds the text.
  EFI_STRING_ID id = 0;
  EXPECT_EQ(strings->NewString(strings, form.Handle(), &id, "fr-FR", nullptr, u"Bonjour", nullptr), EFI_SUCCESS);
  EXPECT_EQ(id, 8);
  CHAR16 text[16];
  size = 4;
  EXPECT_EQ(strings->GetString(strings, "fr-FR", form.Handle(), id, text, &size, nullptr), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, sizeof(u"Bonjour"));
  EXPECT_EQ(strings->GetString(strings, "fr-FR", form.Handle(), id, text, &size, nullptr), EFI_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"Bonjour");
  size = sizeof(text);
  EXPECT_EQ(strings->GetString(strings, "en-US", form.Handle(), id, text, &size, nullptr), EFI_NOT_FOUND);
  EXPECT_EQ(strings->GetString(strings, "de-DE", form.Handle(), id, text, &size, nullptr), EFI_INVALID_LANGUAGE);
  EXPECT_EQ(strings->SetString(strings, form.Handle(), id, "en-US", u"Hello", nullptr), EFI_SUCCESS);
  EXPECT_EQ(strings->SetString(strings, form.Handle(), id + 1, "en-US", u"Hello", nullptr), EFI_NOT_FOUND);

  // Export: the size first, then the list; the strings survive an update with it.
  size = 0;
  EXPECT_EQ(database->ExportPackageLists(database, form.Handle(), &size, nullptr), EFI_BUFFER_TOO_SMALL);
  std::vector<uint8_t> list(size);
  UINTN small = size - 1;
  EXPECT_EQ(database->ExportPackageLists(database, form.Handle(), &small,
                                         reinterpret_cast<EFI_HII_PACKAGE_LIST_HEADER *>(list.data())),
            EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(database->ExportPackageLists(database, form.Handle(), &size,
                                         reinterpret_cast<EFI_HII_PACKAGE_LIST_HEADER *>(list.data())),
            EFI_SUCCESS);
  EXPECT_EQ(database->UpdatePackageList(database, form.Handle(),
                                        reinterpret_cast<EFI_HII_PACKAGE_LIST_HEADER *>(list.data())),
            EFI_SUCCESS);
  size = sizeof(text);
  EXPECT_EQ(strings->GetString(strings, "en-US", form.Handle(), id, text, &size, nullptr), EFI_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"Hello");
  EXPECT_EQ(platform.Core().Hii()->StringCount(form.Handle(), "fr-FR"), 8u);
  // A list whose package runs past its end is refused.
  list[20 + 2] = 0x7F;
  EXPECT_EQ(database->UpdatePackageList(database, form.Handle(),
                                        reinterpret_cast<EFI_HII_PACKAGE_LIST_HEADER *>(list.data())),
            EFI_INVALID_PARAMETER);
  size = 0;
  EXPECT_EQ(database->ExportPackageLists(database, reinterpret_cast<EFI_HII_HANDLE>(0x1234), &size, nullptr),
            EFI_NOT_FOUND);
}

}  // namespace
