// The identity text rules on IDENTIFY bytes, and the slot lookup over hand-built tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk_info/disk_info.h"
#include "platform_sim/storage/identify_blocks.h"
#include "runtime/uefi/status.h"
#include "tests/support/case_names.h"

namespace {

constexpr size_t kSerialOffset = 20;
constexpr size_t kModelOffset = 54;

std::u16string Text(const CHAR16 *units) { return std::u16string(units); }

struct TextCase {
  const char *name;
  UINTN selector;     // 1 model, 0 serial
  std::string field;  // raw bytes of the field as the drive stores them
  std::u16string shown;
};
SIMTEST_PRINTS_CASE(TextCase)

std::string Blanks(size_t count) { return std::string(count, ' '); }

// The field as a drive stores it: blank padded, each pair swapped.
std::string Stored(const std::string &text, size_t bytes) {
  std::vector<uint8_t> field(bytes);
  sim::PutAtaString(field.data(), bytes, text);
  return std::string(field.begin(), field.end());
}

class AtaTextRuleTest : public testing::TestWithParam<TextCase> {};

TEST_P(AtaTextRuleTest, ShowsWhatTheDriveReported) {
  const TextCase &c = GetParam();
  std::vector<UINT8> identify(IDENTIFY_BUFFER_SIZE, 0);
  std::memcpy(identify.data() + (c.selector == 1 ? kModelOffset : kSerialOffset), c.field.data(), c.field.size());
  CHAR16 out[DRIVE_TEXT_UNITS + 4];
  std::fill(std::begin(out), std::end(out), 0xAAAA);
  AtaTextRule(identify.data(), c.selector, out);
  EXPECT_EQ(Text(out), c.shown);
  EXPECT_EQ(out[DRIVE_TEXT_UNITS], 0xAAAA) << "wrote past the 41-unit destination";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AtaTextRuleTest,
    testing::Values(
        TextCase{"ModelSwappedAndTrimmed", 1, std::string("\x54\x53\x30\x31\x30\x30") + Blanks(34), u"ST1000"},
        TextCase{"SerialLeadingAndTrailingBlanksDropped", 0, Stored("     WD-WCC4N1234567", 20).substr(0, 20),
                 u"WD-WCC4N1234567"},
        TextCase{"SerialOfBlanksIsEmpty", 0, Blanks(20), u""},
        TextCase{"FullModelKeptWhole", 1, Stored("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd", 40),
                 u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd"},
        TextCase{"ModelOfBlanksIsEmpty", 1, Blanks(40), u""},
        TextCase{"ZeroPairStopsTheSwap", 1, std::string("\x42\x41\x00\x43", 4), u"AB"},
        TextCase{"ModelKeepsInnerBlanks", 1, Stored("Samsung SSD 870 EVO 1TB", 40), u"Samsung SSD 870 EVO 1TB"},
        TextCase{"ControlCharacterInsideShownAsBlank", 1, Stored("AB\tCD", 40), u"AB CD"},
        TextCase{"ControlCharacterAtTheEndStaysABlank", 1, Stored("ABCD\x01", 40), u"ABCD "},
        TextCase{"HighByteShownAsBlank", 1, Stored("DVD\xE9RW", 40), u"DVD RW"}),
    [](const testing::TestParamInfo<TextCase> &info) { return std::string(info.param.name); });

TEST(TrimBlanks, MovesTheTextToTheStartAndClearsTheRest) {
  CHAR16 text[] = u"  AB C   ";
  TrimBlanks(text);
  EXPECT_EQ(Text(text), u"AB C");
  for (size_t index = 4; index < 10; ++index) EXPECT_EQ(text[index], 0) << index;
  TrimBlanks(nullptr);
  SanitizeText(nullptr);
}

TEST(NvmeTextRule, KeepsTheTextsAsReportedWithTheirPadding) {
  std::vector<uint8_t> identify = sim::MakeNvmeIdentify("Samsung SSD 980 PRO 1TB", "S5GXNF0R123456");
  identify[30] = 0x07;  // a control character stays: NVMe texts are not sanitised
  NvmeDriveRecord record;
  std::memset(&record, 0xAA, sizeof(record));
  NvmeTextRule(identify.data(), &record);
  std::u16string model = Text(record.ModelName);
  ASSERT_EQ(model.size(), 40u);
  EXPECT_EQ(model.substr(0, 6), u"Samsun");
  EXPECT_EQ(model[6], 0x07);
  EXPECT_EQ(model.substr(40 - 17), std::u16string(17, u' '));
  EXPECT_EQ(Text(record.SerialNumber), u"S5GXNF0R123456      ");
}

// A private structure with hand-built tables, as the scans would leave it.
struct Tables {
  DiskInfoPrivate priv{};
  SataPortMapRow sata[SATA_PORT_MAP_ROWS] = {
      {0x8086, 0xFFFF, 0}, {0x8086, 0xFFFF, 1}, {0x8086, 0xFFFF, 2}, {0x1C28, 0x0122, 0}};
  NvmeSlotMapRow nvme[4] = {{0x1D, 0x00, 1, 0}, {0x1D, 0x06, 1, 1}, {0x00, 0x00, 0x0B, 0}, {0xFF, 0xFF, 0xFF, 0xFF}};
  std::vector<std::vector<UINT8>> identify;
  std::vector<AtaDeviceRecord> ata;
  std::vector<NvmeDriveRecord> nvmeRecords;
  std::vector<UINT8> optical;

  Tables() {
    priv.SataPortMap = sata;
    priv.NvmeSlotMap = nvme;
  }
  void AddAta(uint16_t vendor, uint16_t device, uint16_t port, const std::string &model, const std::string &serial) {
    auto block = sim::MakeAtaIdentify({model, serial});
    identify.emplace_back(block.begin(), block.end());
    identify.back().resize(IDENTIFY_BUFFER_SIZE, 0);
    AtaDeviceRecord record{};
    record.VendorId = vendor;
    record.DeviceId = device;
    record.Port = port;
    record.PortMultiplierPort = 0xFFFF;
    ata.push_back(record);
    for (size_t index = 0; index < ata.size(); ++index) ata[index].IdentifyData = identify[index].data();
    priv.AtaDeviceTable = ata.data();
    priv.AtaDeviceCount = ata.size();
  }
  void AddNvme(uint8_t device, uint8_t function, uint32_t nsid, const std::string &model) {
    NvmeDriveRecord record{};
    record.PciDevice = device;
    record.PciFunction = function;
    record.NamespaceId = nsid;
    NvmeTextRule(sim::MakeNvmeIdentify(model, "SN" + model).data(), &record);
    nvmeRecords.push_back(record);
    priv.NvmeTable = nvmeRecords.data();
    priv.NvmeCount = nvmeRecords.size();
  }
  void SetOptical(const std::string &model) {
    auto block = sim::MakeAtaIdentify({model, "", "1.00", true});
    optical.assign(block.begin(), block.end());
    optical.resize(IDENTIFY_BUFFER_SIZE, 0);
    priv.OpticalTable = optical.data();
    priv.OpticalCount = 1;
  }
  DISK_INFO_FORM_PROTOCOL *This() { return reinterpret_cast<DISK_INFO_FORM_PROTOCOL *>(&priv.FillForm); }
};

struct Lookup {
  EFI_STATUS status;
  std::vector<UINT8> out;
  std::u16string Serial() const { return std::u16string(reinterpret_cast<const CHAR16 *>(out.data())); }
  std::u16string Model() const {
    return std::u16string(reinterpret_cast<const CHAR16 *>(out.data() + DRIVE_STRINGS_MODEL_OFFSET));
  }
  bool Untouched() const {
    return std::all_of(out.begin(), out.end(), [](UINT8 b) { return b == 0xAA; });
  }
  bool GapsUntouched() const {
    for (size_t index = 100; index < 200; ++index)
      if (out[index] != 0xAA || out[index + 200] != 0xAA) return false;
    return true;
  }
};

Lookup Get(Tables &tables, UINTN slot, UINT32 kind) {
  Lookup lookup{0, std::vector<UINT8>(DRIVE_STRINGS_SIZE, 0xAA)};
  lookup.status = GetDriveStrings(tables.This(), slot, kind, lookup.out.data());
  return lookup;
}

TEST(GetDriveStrings, AtaSlotIsTheFirstRecordOnTheRowsPortAndIds) {
  Tables tables;
  tables.AddAta(0x8086, 0xFFFF, 1, "WDC WD10EZEX-08WN4A0", "WD-WCC6Y1234567");
  tables.AddAta(0x8086, 0xFFFF, 1, "Second On Same Port", "X");
  tables.AddAta(0x1C28, 0x0122, 0, "Row Three Disk", "R3");
  Lookup slot1 = Get(tables, 1, DRIVE_KIND_ATA);
  ASSERT_EQ(slot1.status, EFI_SUCCESS);
  EXPECT_EQ(slot1.Model(), u"WDC WD10EZEX-08WN4A0");
  EXPECT_EQ(slot1.Serial(), u"WD-WCC6Y1234567");
  EXPECT_TRUE(slot1.GapsUntouched());
  EXPECT_EQ(Get(tables, 3, DRIVE_KIND_ATA).Model(), u"Row Three Disk");
  for (UINTN slot : {UINTN{0}, UINTN{2}, UINTN{4}, UINTN{200}}) {
    SCOPED_TRACE(slot);
    Lookup none = Get(tables, slot, DRIVE_KIND_ATA);
    EXPECT_EQ(none.status, EFI_INVALID_PARAMETER);
    EXPECT_TRUE(none.Untouched());
  }
}

TEST(GetDriveStrings, NvmeSlotTakesTheFirstRowThatMatches) {
  Tables tables;
  tables.AddNvme(0x00, 0x00, 11, "By Namespace");
  tables.AddNvme(0x1D, 0x00, 1, "Behind Root Port");
  Lookup slot0 = Get(tables, 0, DRIVE_KIND_NVME);
  ASSERT_EQ(slot0.status, EFI_SUCCESS);
  EXPECT_EQ(slot0.Model().substr(0, 16), u"Behind Root Port");
  EXPECT_EQ(slot0.Model().size(), 40u) << "NVMe texts keep their blanks";
  EXPECT_EQ(slot0.Serial().substr(0, 2), u"SN");

  Tables onlyNamespace;
  onlyNamespace.AddNvme(0x00, 0x00, 11, "By Namespace");
  EXPECT_EQ(Get(onlyNamespace, 0, DRIVE_KIND_NVME).Model().substr(0, 12), u"By Namespace");
  Lookup slot1 = Get(onlyNamespace, 1, DRIVE_KIND_NVME);
  EXPECT_EQ(slot1.status, EFI_INVALID_PARAMETER);
  EXPECT_TRUE(slot1.Untouched());
}

TEST(GetDriveStrings, OpticalIgnoresTheSlotAndHasNoSerial) {
  Tables tables;
  Lookup none = Get(tables, 0, DRIVE_KIND_OPTICAL);
  EXPECT_EQ(none.status, EFI_INVALID_PARAMETER);
  EXPECT_TRUE(none.Untouched());
  tables.SetOptical("HL-DT-ST DVDRAM GUD1N");
  for (UINTN slot : {UINTN{0}, UINTN{3}, UINTN{99}}) {
    SCOPED_TRACE(slot);
    Lookup found = Get(tables, slot, DRIVE_KIND_OPTICAL);
    ASSERT_EQ(found.status, EFI_SUCCESS);
    EXPECT_EQ(found.Model(), u"HL-DT-ST DVDRAM GUD1N");
    EXPECT_EQ(found.Serial(), u"NONE");
  }
  for (UINT32 kind : {1u, 4u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Get(tables, 0, kind).status, EFI_INVALID_PARAMETER);
  }
}

}  // namespace
