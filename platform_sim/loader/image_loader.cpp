#include "platform_sim/loader/image_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/loader/hardware_bridge.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {

namespace fs = std::filesystem;

ImageLoader::ImageLoader(std::string directory) : directory_(std::move(directory)) {
  std::string pattern = (fs::temp_directory_path() / "platform_sim.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch directory for images");
  scratch_ = pattern;
}

ImageLoader::~ImageLoader() {
  UnloadAll();
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
}

std::string ImageLoader::DefaultDirectory() {
  if (const char *override = std::getenv("SIM_IMAGE_DIR")) return override;
#ifdef SIM_HOST_IMAGE_DIR
  return SIM_HOST_IMAGE_DIR;
#else
  return "host_images";
#endif
}

LoadedImage &ImageLoader::Load(Platform &platform, const std::string &name, const LoadOptions &options) {
  fs::path source = fs::path(directory_) / (name + ".so");
  fs::path copy = fs::path(scratch_) / (name + "." + std::to_string(++sequence_) + ".so");
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing);

  void *library = dlopen(copy.c_str(), RTLD_LOCAL | RTLD_NOW);
  if (library == nullptr) throw std::runtime_error(std::string("cannot load image: ") + dlerror());
  auto attach = reinterpret_cast<SIM_ATTACH_HARDWARE>(dlsym(library, SIM_ATTACH_HARDWARE_SYMBOL));
  auto entry = reinterpret_cast<EFI_IMAGE_ENTRY_POINT>(dlsym(library, "ImageEntryPoint"));
  if (attach == nullptr || entry == nullptr) {
    dlclose(library);
    throw std::runtime_error("image " + name + " lacks its entry or hardware attachment");
  }
  attach(HardwarePort());

  Dl_info info{};
  dladdr(reinterpret_cast<void *>(entry), &info);

  FirmwareCore &core = platform.Core();
  auto *loaded = core.Memory().NewFirmware<EFI_LOADED_IMAGE_PROTOCOL>();
  loaded->Revision = EFI_LOADED_IMAGE_PROTOCOL_REVISION;
  loaded->SystemTable = core.SystemTable();
  loaded->ImageBase = info.dli_fbase;
  loaded->ImageCodeType = options.runtimeImage ? EfiRuntimeServicesCode : EfiBootServicesCode;
  loaded->ImageDataType = options.runtimeImage ? EfiRuntimeServicesData : EfiBootServicesData;
  EFI_HANDLE handle = nullptr;
  core.Protocols().Install(&handle, gEfiLoadedImageProtocolGuid, loaded, "loader");

  images_.push_back(LoadedImage{name, copy.string(), library, reinterpret_cast<uintptr_t>(info.dli_fbase), handle,
                                loaded, false, 0});
  LoadedImage &image = images_.back();
  platform.Record(EffectKind::ImageLoad, name + (options.smm ? " (SMM)" : "") +
                                             (options.runtimeImage ? " (runtime image)" : ""));

  ActorScope actor(platform, name);
  bool wasInSmm = core.InSmm();
  core.SetInSmm(options.smm);
  try {
    image.entryStatus = entry(handle, core.SystemTable());
  } catch (...) {
    core.SetInSmm(wasInSmm);
    throw;
  }
  core.SetInSmm(wasInSmm);
  image.entryReturned = true;
  platform.Record(EffectKind::ImageEntryReturn, "entry returned " + StatusText(image.entryStatus), image.entryStatus);
  if (EFI_ERROR(image.entryStatus)) {
    image.unloaded = true;
    platform.Record(EffectKind::ImageUnload, name + " unloaded after its failed entry");
  }
  return image;
}

std::string ImageLoader::OwnerOf(const void *code) const {
  const LoadedImage *image = ImageAt(code);
  return image == nullptr ? "" : image->name;
}

const LoadedImage *ImageLoader::ImageAt(const void *address) const {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  for (const LoadedImage &image : images_) {
    if (image.base == reinterpret_cast<uintptr_t>(info.dli_fbase)) return &image;
  }
  return nullptr;
}

LoadedImage *ImageLoader::Find(const std::string &name) {
  for (LoadedImage &image : images_) {
    if (image.name == name) return &image;
  }
  return nullptr;
}

void ImageLoader::UnloadAll() {
  for (LoadedImage &image : images_) {
    if (image.library != nullptr) dlclose(image.library);
    std::error_code ignored;
    fs::remove(image.copyPath, ignored);
  }
  images_.clear();
}

}  // namespace sim
