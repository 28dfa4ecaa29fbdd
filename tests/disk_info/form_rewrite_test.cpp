// The op-code builder and the form rewrite on package lists of any shape.
#include <gtest/gtest.h>

#include "tests/disk_info/form_host.h"
#include "tests/support/case_names.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Label(uint16_t number) {
  Bytes op = {EFI_IFR_GUID_OP, 21};
  const auto *guid = reinterpret_cast<const uint8_t *>(&gIfrLabelGuid);
  op.insert(op.end(), guid, guid + 16);
  op.insert(op.end(), {0x00, static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)});
  return op;
}
Bytes Form(uint16_t id) {
  return {EFI_IFR_FORM_OP, 0x86, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 3, 0};
}
Bytes Text(uint8_t prompt) { return {EFI_IFR_TEXT_OP, 8, prompt, 0, 0, 0, prompt, 0}; }
Bytes End() { return {EFI_IFR_END_OP, 2}; }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
Bytes Package(uint8_t type, const Bytes &body, int32_t lengthDelta = 0) {
  const uint32_t length = static_cast<uint32_t>(4 + body.size() + lengthDelta) | (uint32_t{type} << 24);
  Bytes out = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
               static_cast<uint8_t>(length >> 24)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
Bytes List(std::initializer_list<Bytes> packages, int32_t lengthDelta = 0) {
  Bytes out(20, 0x11);
  for (const Bytes &package : packages) out.insert(out.end(), package.begin(), package.end());
  out.insert(out.end(), {4, 0, 0, EFI_HII_PACKAGE_END});
  const uint32_t length = static_cast<uint32_t>(out.size() + lengthDelta);
  std::memcpy(out.data() + 16, &length, 4);
  return out;
}
const Bytes kForm = Cat({Form(1), Label(0xAE02), Text(9), End()});

// The start handle FillForm builds: the label, then its statements.
OpCodeHandle *StartHandle(int lines) {
  OpCodeHandle *handle = NewOpCodeHandle();
  UINT8 *label = CreateGuidOpCode(handle, &gIfrLabelGuid, nullptr, 21);
  label[18] = 0;
  label[19] = 0x02;
  label[20] = 0xAE;
  for (int line = 0; line < lines; ++line) CreateTextOpCode(handle, 0x40 + line, 1, 0x60 + line);
  return handle;
}

TEST(OpCodeBuilder, GrowsByTheNeededSizePlus512WhenFull) {
  formhost::Host host;
  OpCodeHandle *handle = NewOpCodeHandle();
  ASSERT_NE(handle, nullptr);
  struct Step {
    int ops;
    UINTN size;
  };
  int made = 0;
  for (Step step : {Step{64, 512}, Step{65, 1032}, Step{129, 1032}, Step{130, 1552}}) {
    SCOPED_TRACE(step.ops);
    for (; made < step.ops; ++made) ASSERT_NE(CreateTextOpCode(handle, made, 7, made + 1), nullptr);
    EXPECT_EQ(handle->Position, UINTN(8 * step.ops));
    EXPECT_EQ(handle->BufferSize, step.size);
  }
  for (int index = 0; index < made; ++index) {
    SCOPED_TRACE(index);
    const UINT8 *op = handle->Buffer + 8 * index;
    EXPECT_EQ(Bytes(op, op + 8), Bytes({0x03, 0x08, static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8), 7, 0,
                                        static_cast<uint8_t>(index + 1), static_cast<uint8_t>((index + 1) >> 8)}));
  }
  FreeOpCodeHandle(handle);
  EXPECT_TRUE(host.live.empty());
}

TEST(UpdateForm, InsertsTheStatementsAfterTheLabelOfTheRequestedForm) {
  formhost::Host host;
  host.exported = List({Package(EFI_HII_PACKAGE_FORMS, kForm), Package(0x04, Bytes(8, 0x22))});
  OpCodeHandle *start = StartHandle(2);
  ASSERT_EQ(UpdateForm(nullptr, nullptr, 1, start), EFI_SUCCESS);
  const Bytes expected =
      List({Package(EFI_HII_PACKAGE_FORMS,
                    Cat({Form(1), Label(0xAE02), Bytes(start->Buffer + 21, start->Buffer + 37), Text(9), End()})),
            Package(0x04, Bytes(8, 0x22))});
  EXPECT_EQ(host.updated, expected);
  FreeOpCodeHandle(start);
  EXPECT_TRUE(host.live.empty());
}

// Two forms packages with three lines each: the new list holds both rewrites.
TEST(UpdateForm, EveryMatchingFormsPackageIsRewrittenInsideTheNewList) {
  formhost::Host host;
  host.exported = List({Package(EFI_HII_PACKAGE_FORMS, kForm), Package(EFI_HII_PACKAGE_FORMS, kForm)});
  OpCodeHandle *start = StartHandle(3);
  ASSERT_EQ(UpdateForm(nullptr, nullptr, 1, start), EFI_SUCCESS);
  EXPECT_EQ(host.updated.size(), host.exported.size() + 2 * 24);
  FreeOpCodeHandle(start);
  EXPECT_TRUE(host.live.empty());
}

struct HostileCase {
  const char *name;
  Bytes exported;
  EFI_STATUS status;
};
SIMTEST_PRINTS_CASE(HostileCase)

class UpdateFormHostile : public testing::TestWithParam<HostileCase> {};

// The export is not trusted: each case ends with an error, no update, nothing leaked.
TEST_P(UpdateFormHostile, EndsWithAnErrorAndLeavesTheListAlone) {
  formhost::Host host;
  host.exported = GetParam().exported;
  OpCodeHandle *start = StartHandle(2);
  EXPECT_EQ(UpdateForm(nullptr, nullptr, 1, start), GetParam().status);
  EXPECT_FALSE(host.updateCalled);
  FreeOpCodeHandle(start);
  EXPECT_TRUE(host.live.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UpdateFormHostile,
    testing::Values(
        HostileCase{"ZeroLengthOpCode",
                    List({Package(EFI_HII_PACKAGE_FORMS, Cat({Form(1), Bytes{0x03, 0x00}, End()}))}),
                    EFI_VOLUME_CORRUPTED},
        HostileCase{"OneByteOpCode", List({Package(EFI_HII_PACKAGE_FORMS, Cat({Form(1), Bytes{0x03, 0x81}}))}),
                    EFI_VOLUME_CORRUPTED},
        HostileCase{"OpCodePastItsPackage",
                    List({Package(EFI_HII_PACKAGE_FORMS, Cat({Form(1), Label(0xAE02), Bytes{0x03, 0x7F, 0, 0}}))}),
                    EFI_VOLUME_CORRUPTED},
        HostileCase{"HalfAnOpCodeHeader", List({Package(EFI_HII_PACKAGE_FORMS, Cat({kForm, Bytes{0x29}}))}),
                    EFI_VOLUME_CORRUPTED},
        HostileCase{"PackagePastTheList", List({Package(EFI_HII_PACKAGE_FORMS, kForm, 200)}), EFI_VOLUME_CORRUPTED},
        HostileCase{"PackageShorterThanItsHeader", List({Package(EFI_HII_PACKAGE_FORMS, kForm, -kForm.size() - 2)}),
                    EFI_VOLUME_CORRUPTED},
        HostileCase{"ListLongerThanTheExport", List({Package(EFI_HII_PACKAGE_FORMS, kForm)}, 64), EFI_VOLUME_CORRUPTED},
        HostileCase{"ListShorterThanItsHeader", Bytes(12, 0), EFI_VOLUME_CORRUPTED},
        HostileCase{"NothingExported", Bytes(), EFI_NOT_FOUND},
        HostileCase{"NoFormsPackage", List({Package(0x04, Bytes(6, 0))}), EFI_NOT_FOUND},
        HostileCase{"LabelOnlyInAnotherForm",
                    List({Package(EFI_HII_PACKAGE_FORMS, Cat({Form(2), Label(0xAE02), End()}))}), EFI_NOT_FOUND},
        HostileCase{"OtherLabelNumber", List({Package(EFI_HII_PACKAGE_FORMS, Cat({Form(1), Label(0xAE01), End()}))}),
                    EFI_NOT_FOUND}),
    [](const testing::TestParamInfo<HostileCase> &info) { return std::string(info.param.name); });

TEST(UpdateForm, ExportFailuresAndMissingPoolAreReported) {
  {
    formhost::Host host;
    host.exported = List({Package(EFI_HII_PACKAGE_FORMS, kForm)});
    host.firstExport = EFI_NOT_FOUND;
    OpCodeHandle *start = StartHandle(1);
    EXPECT_EQ(UpdateForm(nullptr, nullptr, 1, start), EFI_NOT_FOUND);
    FreeOpCodeHandle(start);
    EXPECT_TRUE(host.live.empty());
  }
  for (size_t failing = 3; failing <= 5; ++failing) {  // export buffer, new list, work area
    SCOPED_TRACE(failing);
    formhost::Host host;
    host.exported = List({Package(EFI_HII_PACKAGE_FORMS, kForm)});
    OpCodeHandle *start = StartHandle(1);  // allocations 1 and 2
    host.failAllocation = failing;
    EXPECT_EQ(UpdateForm(nullptr, nullptr, 1, start), EFI_OUT_OF_RESOURCES);
    EXPECT_FALSE(host.updateCalled);
    FreeOpCodeHandle(start);
    EXPECT_TRUE(host.live.empty());
  }
}

}  // namespace
