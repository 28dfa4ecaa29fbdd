// Variable services as firmware has them: writes wait for the write architectural
// protocol, attribute rules, appends, limits, enumeration, read faults and the record.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runtime/uefi/guids.h"
#include "tests/platform_sim/behaviour_table.h"

namespace {

using simtest::Behaviour;
using simtest::Rt;

EFI_GUID kVendor = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
CHAR16 kName[] = u"Sample";
constexpr UINT32 kNvBsRt = 0x7;

EFI_STATUS Write(sim::Platform &p, UINT32 attributes, std::vector<uint8_t> data, CHAR16 *name = kName) {
  return Rt(p)->SetVariable(name, &kVendor, attributes, data.size(), data.empty() ? nullptr : data.data());
}

const Behaviour kRows[] = {
    {"WritesFailBeforeTheWriteArchitecturalProtocol", [](sim::Platform &p) { return Write(p, kNvBsRt, {1}); },
     EFI_UNSUPPORTED, 0, 0, false},
    {"WritesWorkOnceItIsInstalled",
     [](sim::Platform &p) {
       p.Core().InstallVariableWriteArch();
       return Write(p, kNvBsRt, {1});
     },
     EFI_SUCCESS, 0, 0, false},
    {"DeletingWithOtherAttributesIsRefused",
     [](sim::Platform &p) {
       Write(p, kNvBsRt, {1});
       EFI_STATUS status = Write(p, 0x3, {});
       EXPECT_NE(p.Variables().Find(u"Sample", kVendor), nullptr);
       return status;
     },
     EFI_INVALID_PARAMETER},
    {"DeletingWithNoAttributesDeletes",
     [](sim::Platform &p) {
       Write(p, kNvBsRt, {1});
       return Write(p, 0, {});
     },
     EFI_SUCCESS},
    {"AppendWriteAddsToTheData",
     [](sim::Platform &p) {
       Write(p, kNvBsRt, {1, 2});
       EFI_STATUS status = Write(p, kNvBsRt | EFI_VARIABLE_APPEND_WRITE, {3});
       EXPECT_EQ(p.Variables().Find(u"Sample", kVendor)->data, (std::vector<uint8_t>{1, 2, 3}));
       EXPECT_EQ(p.Variables().Find(u"Sample", kVendor)->attributes, kNvBsRt);
       return status;
     },
     EFI_SUCCESS},
    {"AppendingNothingChangesNothing",
     [](sim::Platform &p) {
       Write(p, kNvBsRt, {1});
       EFI_STATUS status = Write(p, kNvBsRt | EFI_VARIABLE_APPEND_WRITE, {});
       EXPECT_EQ(p.Variables().Find(u"Sample", kVendor)->data, std::vector<uint8_t>{1});
       return status;
     },
     EFI_SUCCESS},
    {"AVariableOverTheSizeLimit",
     [](sim::Platform &p) { return Write(p, kNvBsRt, std::vector<uint8_t>(p.Variables().Limits().maxVariableSize)); },
     EFI_INVALID_PARAMETER},
    {"AFullStore",
     [](sim::Platform &p) {
       CHAR16 name[] = u"Fill0";
       EFI_STATUS status = EFI_SUCCESS;
       for (char16_t digit = u'0'; digit <= u'9' && status == EFI_SUCCESS; ++digit) {
         name[4] = digit;
         status = Write(p, kNvBsRt, std::vector<uint8_t>(0x1F00), name);
       }
       return status;
     },
     EFI_OUT_OF_RESOURCES},
    {"QueryVariableInfoCountsWhatIsStored",
     [](sim::Platform &p) {
       UINT64 maximum = 0, before = 0, after = 0, largest = 0;
       Rt(p)->QueryVariableInfo(kNvBsRt, &maximum, &before, &largest);
       Write(p, kNvBsRt, std::vector<uint8_t>(100));
       EFI_STATUS status = Rt(p)->QueryVariableInfo(kNvBsRt, &maximum, &after, &largest);
       EXPECT_EQ(before - after, 32u + sizeof(kName) + 100u);
       return status;
     },
     EFI_SUCCESS},
    {"GetNextVariableNameWalksEveryVariableOnce",
     [](sim::Platform &p) {
       CHAR16 other[] = u"Other";
       Write(p, kNvBsRt, {1});
       Write(p, kNvBsRt, {1}, other);
       std::set<std::u16string> seen;
       CHAR16 name[64] = {0};
       EFI_GUID guid{};
       UINTN size = 2;
       EXPECT_EQ(Rt(p)->GetNextVariableName(&size, name, &guid), EFI_BUFFER_TOO_SMALL);
       EFI_STATUS status = EFI_SUCCESS;
       for (;;) {
         size = sizeof(name);
         status = Rt(p)->GetNextVariableName(&size, name, &guid);
         if (status != EFI_SUCCESS) break;
         seen.insert(name);
       }
       EXPECT_EQ(seen.size(), p.Variables().All().size());
       EXPECT_TRUE(seen.count(u"Other") && seen.count(u"Sample"));
       return status;
     },
     EFI_NOT_FOUND},
    {"GetNextVariableNameAfterAnUnknownName",
     [](sim::Platform &p) {
       CHAR16 name[16] = u"Nobody";
       UINTN size = sizeof(name);
       return Rt(p)->GetNextVariableName(&size, name, &kVendor);
     },
     EFI_INVALID_PARAMETER},
    {"AnInjectedReadFailureIsAnsweredAndRecorded",
     [](sim::Platform &p) {
       Write(p, kNvBsRt, {1});
       p.Variables().FailReads(u"Sample", EFI_DEVICE_ERROR);
       UINT8 value = 0;
       UINTN size = 1;
       EFI_STATUS status = Rt(p)->GetVariable(kName, &kVendor, nullptr, &size, &value);
       auto reads = p.Trace().OfKind(sim::EffectKind::VariableRead);
       EXPECT_EQ(reads.size(), 1u);
       if (!reads.empty())
         EXPECT_EQ(reads[0].what, "Sample {01020304-0506-0708-090A-0B0C0D0E0F10} -> EFI_DEVICE_ERROR");
       return status;
     },
     EFI_DEVICE_ERROR},
};

class VariableRows : public ::testing::TestWithParam<Behaviour> {};

TEST_P(VariableRows, BehavesAsFirmwareDoes) { simtest::RunBehaviour(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Rows, VariableRows, ::testing::ValuesIn(kRows), simtest::BehaviourName);

}  // namespace
