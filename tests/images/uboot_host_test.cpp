// The shipped images on a UEFI implementation written apart from ours: U-Boot's x86-64
// build under qemu, headless, with the image on a FAT disk. U-Boot has no HOB list, no
// DXE services and none of this platform's protocols; every driver must still start
// there and hand control back. The test drives U-Boot's console and waits for its text,
// never for a fixed time.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>

#include "tests/images/host_command.h"
#include "tests/images/qemu_console.h"
#include "tests/images/shipped_images.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using imagetest::RunCommand;
using imagetest::ShellQuote;

constexpr const char *kUBootRom = "/usr/lib/u-boot/qemu-x86_64/u-boot.rom";

// A whole run takes about 1.5 s under TCG on a loaded two-core machine. The limits leave
// room for a far slower one, and together stay under the test runner's 300 s.
constexpr auto kBootLimit = 90s;
constexpr auto kCommandLimit = 30s;
constexpr auto kEntryLimit = 60s;
// An entry that has not returned after this long, when the test expects it never will.
constexpr auto kHungEntryLimit = 10s;

// What U-Boot did with the image. Each step is only attempted when the one before it
// succeeded; `transcript` is the console for failure messages.
struct HostRun {
  std::string failure;               // why the run stopped early; "" when it reached the entry
  bool started = false;              // bootefi handed control to the image
  std::optional<int> bootefiStatus;  // set when control came back to U-Boot's shell
  uint64_t entryStatus = 0;          // the image entry's status, as U-Boot reports it
  std::string transcript;
};

// A FAT file system over the whole disk with the image as \image.efi. mkfs.vfat lives
// in sbin, which an ordinary user's PATH may lack.
imagetest::CommandResult MakeFatDisk(const fs::path &disk, const fs::path &image) {
  return RunCommand("PATH=\"$PATH:/usr/sbin:/sbin\" mkfs.vfat -C " + ShellQuote(disk) + " 4096 && mcopy -i " +
                    ShellQuote(disk) + " " + ShellQuote(image) + " ::/image.efi");
}

HostRun RunOnUBoot(const fs::path &image, std::chrono::seconds entryLimit) {
  HostRun run;
  imagetest::TempDir work;
  const fs::path disk = work.Path() / "disk.img";
  imagetest::CommandResult made = MakeFatDisk(disk, image);
  if (made.status != 0) {
    run.failure = "could not make the FAT disk: " + made.output;
    return run;
  }

  imagetest::QemuConsole console({"qemu-system-x86_64", "-machine", "pc,accel=tcg", "-m", "256", "-bios", kUBootRom,
                                  "-nographic", "-monitor", "none", "-serial", "stdio", "-no-reboot", "-nic", "none",
                                  "-drive", "file=" + disk.string() + ",format=raw,if=ide"});
  auto fail = [&](const std::string &why) {
    run.failure = why;
    run.transcript = console.Transcript();
    return run;
  };
  if (!console.Started()) return fail("qemu did not start");

  // Stop the autoboot countdown: it polls the console for a key while its text shows.
  if (!console.WaitFor("Hit any key to stop autoboot", kBootLimit)) return fail("U-Boot did not start");
  console.Send(" ");
  if (!console.WaitFor("=> ", kCommandLimit)) return fail("no U-Boot prompt");

  // Each command line ends by echoing a marker with the exit status. The console echoes
  // the typed line with `$?` unexpanded, so only U-Boot's own output matches the digits.
  // With autoboot stopped, nothing has scanned the disks yet: `ide reset` does.
  console.Send("ide reset; load ide 0:0 ${kernel_addr_r} image.efi; echo load-status-$?\n");
  std::optional<imagetest::Match> loaded = console.WaitFor(std::regex(R"(load-status-(\d+))"), kCommandLimit);
  if (!loaded) return fail("the load command did not finish");
  if ((*loaded)[1] != "0") return fail("U-Boot could not read the image from the FAT disk");
  if (!console.WaitFor("=> ", kCommandLimit)) return fail("no U-Boot prompt after the load");

  console.Send("bootefi ${kernel_addr_r}:${filesize}; echo entry-returned-$?\n");
  if (!console.WaitFor("Booting ", kCommandLimit)) return fail("bootefi did not start the image");
  run.started = true;
  if (std::optional<imagetest::Match> back = console.WaitFor(std::regex(R"(entry-returned-(\d+))"), entryLimit)) {
    run.bootefiStatus = std::stoi((*back)[1]);
  }
  run.transcript = console.Transcript();
  // U-Boot names the status of an entry that returned an error.
  std::smatch failed;
  if (std::regex_search(run.transcript, failed, std::regex(R"(## Application failed, r = (\d+))"))) {
    run.entryStatus = std::stoull(failed[1]);
  }
  return run;
}

std::string Tail(const std::string &text) { return text.size() <= 3000 ? text : text.substr(text.size() - 3000); }

bool IsSmmImage(const std::string &name) {
  for (const sim::RegisteredImage &image : sim::kRegisteredImages) {
    if (name == image.name) return std::string(image.kind) == "smm";
  }
  return false;
}

class IndependentUefiHost : public ::testing::TestWithParam<std::string> {};

TEST_P(IndependentUefiHost, StartsTheImageAndGetsControlBack) {
  ASSERT_TRUE(fs::exists(kUBootRom)) << "u-boot-qemu is not installed";
  const fs::path image = fs::path(FIRMWARE_IMAGE_DIR) / (GetParam() + ".efi");
  ASSERT_TRUE(fs::exists(image)) << image;

  HostRun run = RunOnUBoot(image, kEntryLimit);
  ASSERT_EQ(run.failure, "") << Tail(run.transcript);
  ASSERT_TRUE(run.started);
  ASSERT_TRUE(run.bootefiStatus.has_value()) << "the entry did not return to U-Boot:\n" << Tail(run.transcript);
  // U-Boot has no SMM: an SMM driver's entry finds no SMM base and says so with
  // EFI_NOT_FOUND (14), its first step's status. Every other driver starts cleanly.
  const uint64_t expected = IsSmmImage(GetParam()) ? 14 : 0;
  EXPECT_EQ(run.entryStatus, expected) << Tail(run.transcript);
  EXPECT_EQ(*run.bootefiStatus, expected == 0 ? 0 : 1) << Tail(run.transcript);
}

INSTANTIATE_TEST_SUITE_P(Shipped, IndependentUefiHost, ::testing::ValuesIn(imagetest::ShippedImages()),
                         imagetest::ImageTestName);

// The check above must be able to fail: an entry that spins for ever is started but
// never gives control back, and the run says so within its limit.
TEST(IndependentUefiHostCheck, AnEntryThatNeverReturnsIsCaught) {
  ASSERT_TRUE(fs::exists(kUBootRom)) << "u-boot-qemu is not installed";
  const fs::path image = fs::path(FIRMWARE_IMAGE_DIR) / "fixtures" / "EndlessEntryImage.efi";
  ASSERT_TRUE(fs::exists(image)) << image;

  HostRun run = RunOnUBoot(image, kHungEntryLimit);
  ASSERT_EQ(run.failure, "") << Tail(run.transcript);
  EXPECT_TRUE(run.started);
  EXPECT_FALSE(run.bootefiStatus.has_value()) << Tail(run.transcript);
}

}  // namespace
