#include <nlohmann/json.hpp>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/loader/image_loader.h"

namespace sim {

nlohmann::ordered_json ImageLoader::Describe() const {
  nlohmann::ordered_json images = nlohmann::ordered_json::array();
  for (const LoadedImage &image : images_) {
    images.push_back({{"name", image.name},
                      {"entry", image.entryReturned ? nlohmann::ordered_json(StatusText(image.entryStatus))
                                                    : nlohmann::ordered_json(nullptr)},
                      {"unloaded", image.unloaded}});
  }
  return images;
}

}  // namespace sim
