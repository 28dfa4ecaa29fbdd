// The post-link check: every registered image passes it, and it refuses the images a
// firmware loader could not run as they are, starting with one whose data needs a
// dynamic initialiser (nothing in a firmware image would run it).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform_sim/image_registry.h"
#include "platform_sim/loader/pe_image.h"
#include "tests/images/host_command.h"

namespace sim {
void PrintTo(const RegisteredImage &image, std::ostream *out) { *out << image.name; }
}  // namespace sim

namespace {

struct CheckRun {
  int status;
  std::string output;
};

CheckRun Check(const std::string &path) {
  CheckRun run{-1, ""};
  FILE *pipe = popen((std::string(IMAGE_CHECK) + " " + path + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) run.output += buffer.data();
  run.status = WEXITSTATUS(pclose(pipe));
  return run;
}

std::vector<uint8_t> Bytes(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string Write(const std::string &name, const std::vector<uint8_t> &bytes) {
  std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
  return path;
}

class RegisteredImage : public ::testing::TestWithParam<sim::RegisteredImage> {};

TEST_P(RegisteredImage, PassesThePostLinkCheck) {
  CheckRun run = Check(std::string(FIRMWARE_IMAGE_DIR) + "/" + GetParam().name + ".efi");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(" bytes"), std::string::npos) << "the check reports the size";
}

INSTANTIATE_TEST_SUITE_P(Registry, RegisteredImage, ::testing::ValuesIn(sim::kRegisteredImages),
                         [](const ::testing::TestParamInfo<sim::RegisteredImage> &info) {
                           return std::string(info.param.name);
                         });

// Built here, with the firmware images' own flags but without the build's refusal of
// dynamic initialisers, from a count defined in one file and copied in another.
TEST(ImageCheck, RefusesAnImageWithADynamicInitialiser) {
  imagetest::TempDir scratch;
  const std::string fixtures = std::string(REPO_ROOT) + "/tests/images/fixtures/";
  std::string objects;
  for (const char *source : {"dynamic_initialiser_image", "dynamic_initialiser_count"}) {
    const std::filesystem::path object = scratch.Path() / (std::string(source) + ".obj");
    imagetest::CommandResult compiled = imagetest::RunCommand(
        std::string("clang++ -std=c++20 ") + FIRMWARE_CXX_FLAGS + " -I" + imagetest::ShellQuote(REPO_ROOT) + " -c " +
        imagetest::ShellQuote(fixtures + source + ".cpp") + " -o " + imagetest::ShellQuote(object));
    ASSERT_EQ(compiled.status, 0) << compiled.output;
    objects += " " + imagetest::ShellQuote(object);
  }
  const std::filesystem::path path = scratch.Path() / "DynamicInitialiserImage.efi";
  imagetest::CommandResult linked = imagetest::RunCommand(std::string("lld-link ") + FIRMWARE_LINK_FLAGS + objects +
                                                          " /out:" + imagetest::ShellQuote(path));
  ASSERT_EQ(linked.status, 0) << linked.output;

  CheckRun run = Check(path.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("has a .CRT section"), std::string::npos) << run.output;

  auto image = sim::PeImage::ReadFile(path.string(), nullptr);
  ASSERT_TRUE(image.has_value());
  bool crt = false;
  for (const sim::PeSection &section : image->Sections()) crt = crt || section.name == ".CRT";
  EXPECT_TRUE(crt) << "the fixture must really hold the initialiser's section";
}

// Damaged copies of a good image: each is refused with its reason, never read past.
TEST(ImageCheck, RefusesDamagedImagesWithTheReason) {
  const std::vector<uint8_t> good = Bytes(std::string(FIRMWARE_IMAGE_DIR) + "/PlatformConfigDxe.efi");
  ASSERT_GT(good.size(), 0x200u);
  uint32_t pe = 0;
  std::memcpy(&pe, good.data() + 0x3C, 4);
  const size_t optional = pe + 4 + 20;
  struct Damage {
    const char *name;
    size_t offset;
    std::vector<uint8_t> bytes;
    const char *reason;
  };
  const Damage damages[] = {
      {"subsystem10", optional + 68, {10, 0}, "subsystem 10, not 11"},
      {"machine_i386", pe + 4, {0x4C, 0x01}, "machine is not x86-64"},
      {"pe32", optional, {0x0B, 0x01}, "not PE32+"},
      {"no_signature", pe, {'X'}, "no PE signature"},
      {"writable_code", optional + 240 + 39, {0xE0}, "is writable code"},  // .text Characteristics, top byte
  };
  for (const Damage &damage : damages) {
    SCOPED_TRACE(damage.name);
    std::vector<uint8_t> bytes = good;
    std::copy(damage.bytes.begin(), damage.bytes.end(), bytes.begin() + static_cast<long>(damage.offset));
    CheckRun run = Check(Write(std::string("image_check_") + damage.name + ".efi", bytes));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(damage.reason), std::string::npos) << run.output;
  }
  std::vector<uint8_t> truncated(good.begin(), good.begin() + 0x180);
  CheckRun run = Check(Write("image_check_truncated.efi", truncated));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("not a PE32+ image"), std::string::npos) << run.output;
}

}  // namespace
