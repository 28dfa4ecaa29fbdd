// Loads host images: every load maps a fresh copy of the image's shared object, so
// module-wide state starts anew, as it does for a firmware image.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "runtime/uefi/loaded_image.h"

namespace sim {

class Platform;

struct LoadOptions {
  bool runtimeImage = false;  // loaded as EfiRuntimeServicesCode
  bool smm = false;           // entry runs inside SMM
};

struct LoadedImage {
  std::string name;
  std::string copyPath;
  void *library = nullptr;
  uintptr_t base = 0;
  EFI_HANDLE handle = nullptr;
  EFI_LOADED_IMAGE_PROTOCOL *loadedImage = nullptr;
  bool entryReturned = false;
  EFI_STATUS entryStatus = 0;
  bool unloaded = false;  // its entry failed: real firmware unloads it and frees its code
};

class ImageLoader {
 public:
  explicit ImageLoader(std::string directory = DefaultDirectory());
  ~ImageLoader();
  ImageLoader(const ImageLoader &) = delete;
  ImageLoader &operator=(const ImageLoader &) = delete;

  static std::string DefaultDirectory();

  LoadedImage &Load(Platform &platform, const std::string &name, const LoadOptions &options);
  // The image whose code contains this address, or "" when none.
  std::string OwnerOf(const void *code) const;
  const LoadedImage *ImageAt(const void *address) const;
  // Whether the address lies in an image that firmware would have unloaded.
  bool IsUnloaded(const void *code) const {
    const LoadedImage *image = ImageAt(code);
    return image != nullptr && image->unloaded;
  }
  const std::deque<LoadedImage> &Loaded() const { return images_; }
  LoadedImage *Find(const std::string &name);
  void UnloadAll();

 private:
  std::string directory_;
  std::string scratch_;
  unsigned sequence_ = 0;
  std::deque<LoadedImage> images_;
};

}  // namespace sim
