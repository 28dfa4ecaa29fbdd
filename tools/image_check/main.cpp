// The post-link check of every firmware image: prints the image's size and refuses an
// image that a firmware loader could not run as a boot-service driver.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform_sim/loader/pe_image.h"

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMAGE.efi...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  for (int index = 1; index < argc; ++index) {
    const std::string path = argv[index];
    const std::string name = std::filesystem::path(path).filename().string();
    std::string error;
    auto image = sim::PeImage::ReadFile(path, &error);
    if (!image) {
      std::fprintf(stderr, "%s: not a PE32+ image: %s\n", name.c_str(), error.c_str());
      ++failures;
      continue;
    }
    auto problems = image->ShippingProblems();
    std::printf("%s: %zu bytes%s\n", name.c_str(), image->FileSize(), problems.empty() ? "" : ", REFUSED");
    for (const std::string &problem : problems) std::fprintf(stderr, "%s: %s\n", name.c_str(), problem.c_str());
    if (!problems.empty()) ++failures;
  }
  return failures == 0 ? 0 : 1;
}
