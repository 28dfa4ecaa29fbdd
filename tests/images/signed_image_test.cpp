// Every shipped image signed for Secure Boot: signed with sbsign under a key made here,
// checked with sbverify, and the signed file, not the one the build left, loaded and
// started on the emulated engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"
#include "tests/images/host_command.h"
#include "tests/images/shipped_images.h"

namespace {

namespace fs = std::filesystem;
using imagetest::RunCommand;
using imagetest::ShellQuote;

// The protocol an image installs on its own handle, for images that have one to check.
struct PublishedProtocol {
  const char *image;
  const EFI_GUID *protocol;
};
const PublishedProtocol kPublishedProtocols[] = {
    {"PlatformConfigDxe", &gPlatformConfigProtocolGuid},
};

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char *name, const std::string &value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment &) = delete;
  ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

 private:
  const char *name_;
  std::optional<std::string> old_;
};

std::vector<char> ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path &path, const std::vector<char> &bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class SignedImage : public ::testing::TestWithParam<std::string> {
 protected:
  // One signing key and self-signed certificate for the whole suite.
  static void SetUpTestSuite() {
    keys_ = std::make_unique<imagetest::TempDir>();
    CommandResult made = RunCommand("openssl req -new -x509 -newkey rsa:2048 -nodes -sha256 -days 1 -subj "
                                    "'/CN=Image signing test key/' -keyout " +
                                    ShellQuote(Key()) + " -out " + ShellQuote(Certificate()));
    keyStatus_ = made.status;
    keyOutput_ = made.output;
  }
  static void TearDownTestSuite() { keys_.reset(); }
  static fs::path Key() { return keys_->Path() / "signing.key"; }
  static fs::path Certificate() { return keys_->Path() / "signing.crt"; }

  using CommandResult = imagetest::CommandResult;
  static CommandResult Verify(const fs::path &image) {
    return RunCommand("sbverify --cert " + ShellQuote(Certificate()) + " " + ShellQuote(image));
  }

  static inline std::unique_ptr<imagetest::TempDir> keys_;
  static inline int keyStatus_ = -1;
  static inline std::string keyOutput_;
};

TEST_P(SignedImage, VerifiesAgainstItsCertificateAndStillLoadsAndRuns) {
  ASSERT_EQ(keyStatus_, 0) << "openssl could not make the signing key:\n" << keyOutput_;
  const std::string name = GetParam();
  const fs::path built = fs::path(FIRMWARE_IMAGE_DIR) / (name + ".efi");
  ASSERT_TRUE(fs::exists(built)) << built;

  imagetest::TempDir work;
  const fs::path signedImage = work.Path() / (name + ".efi");
  CommandResult signing = RunCommand("sbsign --key " + ShellQuote(Key()) + " --cert " + ShellQuote(Certificate()) +
                                     " --output " + ShellQuote(signedImage) + " " + ShellQuote(built));
  ASSERT_EQ(signing.status, 0) << signing.output;

  CommandResult verified = Verify(signedImage);
  EXPECT_EQ(verified.status, 0) << verified.output;
  EXPECT_NE(Verify(built).status, 0) << "sbverify accepted the unsigned image";
  // One changed byte in the signed part of the image breaks the signature.
  std::vector<char> tampered = ReadFile(signedImage);
  std::vector<char> original = ReadFile(built);
  ASSERT_GT(original.size(), 0x800u);
  tampered[original.size() / 2] ^= 0x01;
  const fs::path tamperedImage = work.Path() / "tampered.efi";
  WriteFile(tamperedImage, tampered);
  EXPECT_NE(Verify(tamperedImage).status, 0) << "sbverify accepted an image changed after signing";

  // The signed file is the one the emulated engine loads.
  ScopedEnvironment imageDirectory("SIM_EFI_IMAGE_DIR", work.Path().string());
  ASSERT_EQ(sim::ImageLoader::DefaultFirmwareDirectory(), work.Path().string());
  sim::PlatformProfile profile = sim::DefaultPlatformProfile();
  profile.engine = sim::Engine::Emulated;
  profile.variableWriteAtBoot = true;
  sim::Platform platform(profile);
  const sim::LoadedImage &image = platform.Load(name);
  EXPECT_TRUE(image.fault.empty()) << image.fault;
  EXPECT_TRUE(image.entryReturned);
  EXPECT_EQ(image.entryStatus, EFI_SUCCESS);
  for (const PublishedProtocol &published : kPublishedProtocols) {
    if (name != published.image) continue;
    void *interface = nullptr;
    EXPECT_EQ(platform.Core().Protocols().Handle(image.handle, *published.protocol, &interface), EFI_SUCCESS);
    EXPECT_NE(interface, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, SignedImage, ::testing::ValuesIn(imagetest::ShippedImages()),
                         imagetest::ImageTestName);

}  // namespace
