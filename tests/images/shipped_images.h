// The shipped images of the registry, as test parameters: a new image is covered by
// every test instantiated over this list without a change to the test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform_sim/image_registry.h"

namespace imagetest {

inline std::vector<std::string> ShippedImages() {
  std::vector<std::string> names;
  for (const sim::RegisteredImage &image : sim::kRegisteredImages) {
    if (image.shipped) names.emplace_back(image.name);
  }
  return names;
}

inline std::string ImageTestName(const ::testing::TestParamInfo<std::string> &info) { return info.param; }

}  // namespace imagetest
