// Loads images on the platform's engine. A host image maps a fresh copy of the image's
// shared object on every load, so module-wide state starts anew, as it does for a
// firmware image. A firmware image is the shipped PE32+ file, laid out in the arena at
// an address of the platform's choosing and relocated there, run on the emulated CPU.
#pragma once

#include <cstdint>
#include <deque>
#include <nlohmann/json_fwd.hpp>
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
  std::string copyPath;     // host images: the private copy of the shared object
  void *library = nullptr;  // host images: the dlopen handle
  uintptr_t base = 0;
  uint64_t size = 0;  // firmware images: SizeOfImage
  EFI_HANDLE handle = nullptr;
  EFI_LOADED_IMAGE_PROTOCOL *loadedImage = nullptr;
  bool entryReturned = false;
  EFI_STATUS entryStatus = 0;
  std::string fault;      // set when the image faulted (emulated engine): the report
  bool unloaded = false;  // its entry failed: real firmware unloads it and frees its code
};

class ImageLoader {
 public:
  explicit ImageLoader(std::string hostDirectory = DefaultDirectory(),
                       std::string firmwareDirectory = DefaultFirmwareDirectory());
  ~ImageLoader();
  ImageLoader(const ImageLoader &) = delete;
  ImageLoader &operator=(const ImageLoader &) = delete;

  // Host images: SIM_IMAGE_DIR, or the build's host image directory.
  static std::string DefaultDirectory();
  // Firmware images: SIM_EFI_IMAGE_DIR, or the build's firmware image directory.
  static std::string DefaultFirmwareDirectory();

  // Loads the image and runs its entry. A reset during the entry propagates; a fault
  // in an emulated image is recorded, reported in the result, and does not propagate.
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
  // Each image loaded: its name, what its entry returned (null: it did not return) and
  // whether it was unloaded.
  nlohmann::ordered_json Describe() const;
  LoadedImage *Find(const std::string &name);
  void UnloadAll();

 private:
  // Each returns the entry point of the mapped image, with `image` filled in.
  uint64_t MapHostImage(const std::string &name, LoadedImage &image);
  uint64_t MapFirmwareImage(Platform &platform, const std::string &name, const LoadOptions &options,
                            LoadedImage &image);
  static void Unload(Platform &platform, LoadedImage &image, const std::string &why);

  std::string hostDirectory_;
  std::string firmwareDirectory_;
  std::string scratch_;
  unsigned sequence_ = 0;
  std::deque<LoadedImage> images_;
};

}  // namespace sim
