// The shipped images, read by an independent tool (llvm-readobj): PE32+, x86-64,
// boot-service driver subsystem, base relocations, no imports, an entry point.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

namespace {

std::string RunTool(const std::string &command) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return output;
  std::array<char, 4096> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) output += buffer.data();
  return output;
}

std::string Field(const std::string &text, const std::string &name) {
  std::smatch match;
  std::regex pattern(name + R"(:\s*(.*))");
  return std::regex_search(text, match, pattern) ? match[1].str() : "";
}

class FirmwareImage : public ::testing::TestWithParam<const char *> {};

TEST_P(FirmwareImage, IsARelocatableX64BootServiceDriverWithoutImports) {
  std::string path = std::string(FIRMWARE_IMAGE_DIR) + "/" + GetParam() + ".efi";
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  std::string headers = RunTool("llvm-readobj --file-headers --coff-imports " + path + " 2>&1");

  EXPECT_NE(Field(headers, "Machine").find("IMAGE_FILE_MACHINE_AMD64"), std::string::npos) << headers;
  EXPECT_NE(Field(headers, "Magic").find("0x20B"), std::string::npos) << "not PE32+";
  EXPECT_NE(Field(headers, "Subsystem").find("IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER"), std::string::npos);
  EXPECT_NE(Field(headers, "AddressOfEntryPoint"), "0x0");
  EXPECT_EQ(headers.find("Import {"), std::string::npos) << "the image imports symbols";
  EXPECT_EQ(headers.find("IMAGE_FILE_RELOCS_STRIPPED"), std::string::npos) << "relocations were stripped";

  std::string relocations = RunTool("llvm-readobj --coff-basereloc " + path + " 2>&1");
  EXPECT_NE(relocations.find("Type: DIR64"), std::string::npos) << "no 64-bit base relocations:\n" << relocations;
}

INSTANTIATE_TEST_SUITE_P(Shipped, FirmwareImage, ::testing::Values("PlatformConfigDxe", "PowerEventLogSmm"));

}  // namespace
