// Post codes and trace-hub text messages, driven through the trace probe images and
// read back on the bus log, the trace-hub decoder, the post-code port and CMOS.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/platform.h"
#include "platform_sim/report/report.h"
#include "runtime/uefi/status.h"
#include "tests/images/probe.h"
#include "tests/support/sim_helpers.h"

namespace {

using Kind = sim::BusAccess::Kind;

constexpr uint64_t kPmcConfig = 0xE00FA000;  // 0:31.2
constexpr uint64_t kWindow = 0xFE200000;
constexpr uint64_t kChannel = 0xFE200380;  // master 32, channel 14
constexpr EFI_GUID kOrigin = {0x8F7E1A3A, 0x9657, 0x44F0, {0xB9, 0xE6, 0x4E, 0xF7, 0x4B, 0x22, 0xD5, 0x43}};
const std::string kText41 = "TraceHub : POSTCODE=<41>\r\n";

struct Write {
  Kind kind;
  uint64_t address;
  unsigned width;
  uint64_t value;
  bool operator==(const Write &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Write &write) {
  return out << (write.kind == Kind::IoWrite ? "io " : "mmio ") << std::hex << write.address << " w" << write.width
             << " = " << write.value << std::dec;
}

std::vector<Write> Writes(sim::Platform &platform) {
  std::vector<Write> writes;
  for (const sim::BusAccess &access : platform.Bus().Log()) {
    if (access.kind == Kind::IoWrite || access.kind == Kind::MmioWrite) {
      writes.push_back({access.kind, access.address, access.width, access.value});
    }
  }
  return writes;
}

size_t MmioWrites(sim::Platform &platform) {
  auto writes = Writes(platform);
  return static_cast<size_t>(
      std::count_if(writes.begin(), writes.end(), [](const Write &w) { return w.kind == Kind::MmioWrite; }));
}

size_t Reads(sim::Platform &platform, uint64_t address) {
  const auto &log = platform.Bus().Log();
  return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const sim::BusAccess &access) {
    return access.kind == Kind::MmioRead && access.address == address;
  }));
}

uint64_t Le(const std::string &bytes) {
  uint64_t value = 0;
  std::memcpy(&value, bytes.data(), bytes.size());
  return value;
}

// A platform with a trace probe loaded: the DXE one, or the SMM one inside SMM.
struct Bench {
  explicit Bench(sim::PlatformProfile profile = {}, bool smm = false) : platform(WithSmm(std::move(profile), smm)) {
    if (smm) {
      platform.Load("TraceProbeSmm", sim::LoadOptions{false, true});
      void *interface = nullptr;
      platform.Core().SmmProtocols().Locate(gTraceProbeProtocolGuid, nullptr, &interface);
      probe = static_cast<TRACE_PROBE *>(interface);
    } else {
      platform.Load("TraceProbeDxe");
      probe = simtest::Locate<TRACE_PROBE>(platform, gTraceProbeProtocolGuid);
    }
    if (probe == nullptr) throw std::runtime_error("trace probe not published");
    platform.Bus().SetLogging(true);
  }
  static sim::PlatformProfile WithSmm(sim::PlatformProfile profile, bool smm) {
    profile.smmBase = profile.smmBase || smm;
    return profile;
  }
  std::vector<sim::Allocation> NewAllocations(const std::vector<sim::Allocation> &before) {
    std::vector<sim::Allocation> added;
    for (const sim::Allocation &block : platform.Memory().DriverAllocations()) {
      bool old = std::any_of(before.begin(), before.end(),
                             [&](const sim::Allocation &b) { return b.address == block.address; });
      if (!old) added.push_back(block);
    }
    return added;
  }

  sim::Platform platform;
  TRACE_PROBE *probe = nullptr;
};

TEST(PostCode, CodeGoesToThePortTheTraceHubAndCmosInThatOrder) {
  Bench bench;
  EXPECT_TRUE(simtest::Call(bench.probe->PostCodeReportingEnabled));
  EXPECT_EQ(simtest::Call(bench.probe->EmitPostCode, 0x41), 0x41u);

  std::vector<Write> expected = {
      {Kind::IoWrite, 0x80, 2, 0x0041},
      {Kind::MmioWrite, kChannel + 0x10, 4, 0x01FF0222},
      {Kind::MmioWrite, kChannel, 8, 0x44F096578F7E1A3Aull},
      {Kind::MmioWrite, kChannel, 8, 0x43D5224BF74EE6B9ull},
      {Kind::MmioWrite, kChannel, 2, 26},
      {Kind::MmioWrite, kChannel, 8, Le("TraceHub")},
      {Kind::MmioWrite, kChannel, 8, Le(" : POSTC")},
      {Kind::MmioWrite, kChannel, 8, Le("ODE=<41>")},
      {Kind::MmioWrite, kChannel, 2, Le("\r\n")},
      {Kind::MmioWrite, kChannel + 0x30, 4, 0},
      {Kind::IoWrite, 0x72, 1, 0x6A},
      {Kind::IoWrite, 0x73, 1, 0x41},
  };
  EXPECT_EQ(Writes(bench.platform), expected);

  const auto &messages = bench.platform.TraceHubWindow().Messages();
  ASSERT_EQ(messages.size(), 1u);
  const sim::TraceHubMessage &message = messages[0];
  EXPECT_EQ(message.master, 32u);
  EXPECT_EQ(message.channel, 14u);
  EXPECT_EQ(message.tag, 0x01FF0222u);
  EXPECT_EQ(message.Type(), 2u);
  EXPECT_EQ(message.Subtype(), 1u);
  EXPECT_EQ(message.Severity(), 2u);
  ASSERT_TRUE(message.origin.has_value());
  EXPECT_TRUE(sim::SameGuid(*message.origin, kOrigin));
  EXPECT_EQ(message.length, std::optional<uint16_t>(26));
  EXPECT_EQ(message.text, kText41);
  EXPECT_TRUE(message.ended);
  EXPECT_TRUE(message.wellFormed);
  EXPECT_TRUE(bench.platform.TraceHubWindow().StrayWrites().empty());

  ASSERT_EQ(bench.platform.PostCodes().Codes().size(), 1u);
  EXPECT_EQ(bench.platform.PostCodes().Codes()[0].value, 0x41u);
  EXPECT_EQ(bench.platform.PostCodes().Codes()[0].width, 2u);
  EXPECT_EQ(bench.platform.Cmos2().Get(0x6A), 0x41);

  std::ostringstream report;
  sim::WriteReport(report, bench.platform);
  EXPECT_NE(report.str().find("Post codes (port 0x80): 0x0041 (16-bit)\n"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("0x6A=0x41"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("trace-hub     master 32 channel 14 tag 0x01FF0222 "
                              "{8F7E1A3A-9657-44F0-B9E6-4EF74B22D543} \"TraceHub : POSTCODE=<41>\\r\\n\""),
            std::string::npos)
      << report.str();
}

TEST(PostCode, ACodeAboveSixteenBitsIsCutForThePortAndCmosButNotForTheText) {
  Bench bench;
  EXPECT_EQ(simtest::Call(bench.probe->EmitPostCode, 0x12345), 0x12345u);
  ASSERT_EQ(bench.platform.PostCodes().Codes().size(), 1u);
  EXPECT_EQ(bench.platform.PostCodes().Codes()[0].value, 0x2345u);
  EXPECT_EQ(bench.platform.PostCodes().Codes()[0].width, 2u);
  EXPECT_EQ(bench.platform.Cmos2().Get(0x6A), 0x45);
  ASSERT_EQ(bench.platform.TraceHubWindow().Messages().size(), 1u);
  const sim::TraceHubMessage &message = bench.platform.TraceHubWindow().Messages()[0];
  EXPECT_EQ(message.text, "TraceHub : POSTCODE=<12345>\r\n");
  EXPECT_EQ(message.length, std::optional<uint16_t>(29));
  EXPECT_TRUE(message.wellFormed);
}

// An unavailable hub at the first message: nothing reaches the window, then or after
// the hub becomes available, while the port and CMOS still get every code.
TEST(PostCode, AnUnavailableTraceHubTakesNoWriteWhilePortAndCmosStillDo) {
  struct Case {
    const char *name;
    std::function<void(sim::PlatformProfile &)> breakIt;
    std::function<void(sim::Platform &)> repair;
  };
  const Case cases[] = {
      {"no power management controller", [](sim::PlatformProfile &p) { p.pmcPresent = false; },
       [](sim::Platform &p) { p.Pmc().Attach(p.Bus(), p.Pci()); }},
      {"hub disabled", [](sim::PlatformProfile &p) { p.traceHubDisabled = true; },
       [](sim::Platform &p) { p.Pmc().SetTraceHubDisabled(false); }},
      {"window reads all ones", [](sim::PlatformProfile &p) { p.traceHubPresent = false; },
       [](sim::Platform &p) { p.TraceHubWindow().Attach(p.Bus()); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    sim::PlatformProfile profile;
    c.breakIt(profile);
    Bench bench(profile);
    simtest::Call(bench.probe->EmitPostCode, 0x41);
    c.repair(bench.platform);
    simtest::Call(bench.probe->EmitPostCode, 0x42);

    EXPECT_EQ(MmioWrites(bench.platform), 0u);
    EXPECT_TRUE(bench.platform.TraceHubWindow().Messages().empty());
    const auto &codes = bench.platform.PostCodes().Codes();
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[1].value, 0x42u);
    EXPECT_EQ(codes[1].width, 2u);
    EXPECT_EQ(bench.platform.Cmos2().Get(0x6A), 0x42);
  }
}

TEST(TraceHub, EveryWriteChecksTheHubAgain) {
  Bench bench;
  simtest::Call(bench.probe->EmitPostCode, 0x41);
  bench.platform.Bus().ClearLog();

  // A second message reads the availability registers once per write: nine writes.
  simtest::Call(bench.probe->EmitPostCode, 0x41);
  EXPECT_EQ(Reads(bench.platform, kPmcConfig), 9u);
  EXPECT_EQ(Reads(bench.platform, kWindow), 9u);

  // Disabling the hub silences the following messages; enabling it brings them back.
  bench.platform.Bus().ClearLog();
  bench.platform.Pmc().SetTraceHubDisabled(true);
  simtest::Call(bench.probe->EmitPostCode, 0x43);
  EXPECT_EQ(MmioWrites(bench.platform), 0u);
  bench.platform.Pmc().SetTraceHubDisabled(false);
  simtest::Call(bench.probe->EmitPostCode, 0x44);
  EXPECT_EQ(MmioWrites(bench.platform), 9u);

  // The controller vanishing in the middle of a message cuts it after the write before.
  int vendorReads = 0;
  bench.platform.Pci().Find(0, 31, 2)->OnRead([&](uint32_t offset, unsigned, uint64_t stored) -> uint64_t {
    if (offset == 0 && ++vendorReads > 4) return 0xFFFF;
    return stored;
  });
  simtest::Call(bench.probe->EmitPostCode, 0x45);
  const auto &messages = bench.platform.TraceHubWindow().Messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[3].writes.size(), 4u) << "tag, origin and length only";
  EXPECT_FALSE(messages[3].ended);
  EXPECT_EQ(messages[2].text, "TraceHub : POSTCODE=<44>\r\n");
}

TEST(TraceHub, TextIsSentWidestWritesFirstWithOrWithoutItsLength) {
  struct Case {
    std::string text;
    BOOLEAN lengthFollows;
    std::vector<unsigned> dataWidths;  // after the two origin writes
  };
  const Case cases[] = {
      {"", TRUE, {2}},
      {"a", TRUE, {2, 1}},
      {"abc", TRUE, {2, 2, 1}},
      {"abcdefg", TRUE, {2, 4, 2, 1}},
      {"abcdefghijklmno", TRUE, {2, 8, 4, 2, 1}},
      {"abcdefgh", FALSE, {8}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text + (c.lengthFollows ? " with length" : " without length"));
    Bench bench;
    EXPECT_EQ(simtest::Call(bench.probe->TraceHubWriteText, 0xF, c.text.data(), c.text.size(), c.lengthFollows),
              EFI_SUCCESS);
    const auto &messages = bench.platform.TraceHubWindow().Messages();
    ASSERT_EQ(messages.size(), 1u);
    const sim::TraceHubMessage &message = messages[0];
    EXPECT_EQ(message.tag, c.lengthFollows ? 0x01FF0272u : 0x01FF0072u);
    std::vector<unsigned> widths;
    for (size_t index = 3; index + 1 < message.writes.size(); ++index) widths.push_back(message.writes[index].width);
    EXPECT_EQ(widths, c.dataWidths);
    EXPECT_EQ(message.text, c.text);
    EXPECT_EQ(message.length.has_value(), c.lengthFollows != 0);
    EXPECT_TRUE(message.ended);
    EXPECT_TRUE(message.wellFormed);
  }
}

TEST(TraceHub, BadTextIsRefusedAndOverlongTextIsCutToWhatTheLengthFieldHolds) {
  Bench bench;
  EXPECT_EQ(simtest::Call(bench.probe->TraceHubWriteText, 2, nullptr, 5, TRUE), EFI_INVALID_PARAMETER);
  EXPECT_EQ(MmioWrites(bench.platform), 0u);

  bench.platform.Bus().SetLogging(false);
  std::string text(0x10005, 'x');
  EXPECT_EQ(simtest::Call(bench.probe->TraceHubWriteText, 2, text.data(), text.size(), TRUE), EFI_SUCCESS);
  const auto &messages = bench.platform.TraceHubWindow().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].length, std::optional<uint16_t>(0xFFFF));
  EXPECT_EQ(messages[0].text.size(), 0xFFFFu);
  EXPECT_TRUE(messages[0].wellFormed);
}

TEST(TraceHub, ChannelAddressFollowsMasterAndChannelOnceTheHubIsAvailable) {
  struct Case {
    const char *name;
    std::function<void(sim::PlatformProfile &)> setUp;
    uint32_t master, channel;
    EFI_STATUS status;
    uint64_t address;
  };
  auto none = [](sim::PlatformProfile &) {};
  const Case cases[] = {
      {"our channel", none, 32, 14, EFI_SUCCESS, 0xFE200380},
      {"probe channel", none, 255, 255, EFI_SUCCESS, 0xFE3C1FC0},
      {"master below 32", none, 31, 14, EFI_INVALID_PARAMETER, 0},
      {"no controller", [](sim::PlatformProfile &p) { p.pmcPresent = false; }, 32, 14, EFI_UNSUPPORTED, 0},
      {"disabled", [](sim::PlatformProfile &p) { p.traceHubDisabled = true; }, 32, 14, EFI_DEVICE_ERROR, 0},
      {"no window", [](sim::PlatformProfile &p) { p.traceHubPresent = false; }, 32, 14, EFI_DEVICE_ERROR, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    sim::PlatformProfile profile;
    c.setUp(profile);
    Bench bench(profile);
    UINT64 address = 0;
    EXPECT_EQ(simtest::Call(bench.probe->TraceHubChannelAddress, c.master, c.channel, &address), c.status);
    if (c.status == EFI_SUCCESS) EXPECT_EQ(address, c.address);
  }
}

TEST(TraceHub, TheHandleIs112BytesOfRuntimePoolOrSmramAllocatedOnce) {
  struct Case {
    bool smm;
    sim::Region region;
  };
  for (const Case &c : {Case{false, sim::Region::Normal}, Case{true, sim::Region::Smram}}) {
    SCOPED_TRACE(c.smm ? "SMM" : "DXE");
    Bench bench({}, c.smm);
    auto before = bench.platform.Memory().DriverAllocations();
    simtest::Call(bench.probe->EmitPostCode, 0x41);
    simtest::Call(bench.probe->EmitPostCode, 0x42);
    auto added = bench.NewAllocations(before);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].size, 112u);
    EXPECT_EQ(added[0].type, EfiRuntimeServicesData);
    EXPECT_EQ(added[0].region, c.region);
    EXPECT_EQ(bench.platform.TraceHubWindow().Messages().size(), 2u);
  }
}

TEST(TraceHub, AHandleThatCannotBeAllocatedDropsEveryMessageWithoutRetrying) {
  Bench bench;
  bench.platform.Memory().Faults().failType = EfiRuntimeServicesData;
  simtest::Call(bench.probe->EmitPostCode, 0x41);
  bench.platform.Memory().Faults().failType.reset();
  uint64_t attempts = bench.platform.Memory().DriverAllocationCount();
  simtest::Call(bench.probe->EmitPostCode, 0x42);

  EXPECT_EQ(bench.platform.Memory().DriverAllocationCount(), attempts);
  EXPECT_EQ(MmioWrites(bench.platform), 0u);
  EXPECT_EQ(bench.platform.PostCodes().Codes().size(), 2u);
  EXPECT_EQ(bench.platform.Cmos2().Get(0x6A), 0x42);
}

}  // namespace
