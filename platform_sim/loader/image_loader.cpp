#include "platform_sim/loader/image_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform_sim/engine/emulator.h"
#include "platform_sim/firmware/guid_util.h"
#include "platform_sim/loader/hardware_bridge.h"
#include "platform_sim/loader/pe_image.h"
#include "platform_sim/platform.h"
#include "runtime/uefi/guids.h"
#include "runtime/uefi/status.h"

namespace sim {

namespace fs = std::filesystem;

ImageLoader::ImageLoader(std::string hostDirectory, std::string firmwareDirectory)
    : hostDirectory_(std::move(hostDirectory)), firmwareDirectory_(std::move(firmwareDirectory)) {
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

std::string ImageLoader::DefaultFirmwareDirectory() {
  if (const char *override = std::getenv("SIM_EFI_IMAGE_DIR")) return override;
#ifdef SIM_FIRMWARE_IMAGE_DIR
  return SIM_FIRMWARE_IMAGE_DIR;
#else
  return "images";
#endif
}

uint64_t ImageLoader::MapHostImage(const std::string &name, LoadedImage &image) {
  fs::path source = fs::path(hostDirectory_) / (name + ".so");
  fs::path copy = fs::path(scratch_) / (name + "." + std::to_string(++sequence_) + ".so");
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing);

  void *library = dlopen(copy.c_str(), RTLD_LOCAL | RTLD_NOW);
  if (library == nullptr) throw std::runtime_error(std::string("cannot load image: ") + dlerror());
  auto attach = reinterpret_cast<SIM_ATTACH_HARDWARE>(dlsym(library, SIM_ATTACH_HARDWARE_SYMBOL));
  void *entry = dlsym(library, "ImageEntryPoint");
  if (attach == nullptr || entry == nullptr) {
    dlclose(library);
    throw std::runtime_error("image " + name + " lacks its entry or hardware attachment");
  }
  attach(HardwarePort());

  Dl_info info{};
  dladdr(entry, &info);
  image.copyPath = copy.string();
  image.library = library;
  image.base = reinterpret_cast<uintptr_t>(info.dli_fbase);
  return reinterpret_cast<uint64_t>(entry);
}

uint64_t ImageLoader::MapFirmwareImage(Platform &platform, const std::string &name, const LoadOptions &options,
                                       LoadedImage &image) {
  const std::string path = (fs::path(firmwareDirectory_) / (name + ".efi")).string();
  std::string error;
  auto file = PeImage::ReadFile(path, &error);
  if (!file) throw std::runtime_error("cannot load image " + path + ": " + error);
  const uint64_t pages = (uint64_t{file->SizeOfImage()} + Arena::kPageSize - 1) / Arena::kPageSize;
  const EFI_MEMORY_TYPE type = options.runtimeImage ? EfiRuntimeServicesCode : EfiBootServicesCode;
  // An SMM driver is loaded into SMRAM, as the SMM core's loader does.
  auto *memory = static_cast<uint8_t *>(
      platform.Memory().AllocateFirmwarePages(pages, type, options.smm ? Region::Smram : Region::Normal));
  const auto base = reinterpret_cast<uint64_t>(memory);
  // The file's preferred base is far above the arena: every load is a relocated one.
  if (!file->LoadAt(memory, base, &error)) throw std::runtime_error("cannot relocate image " + path + ": " + error);
  platform.Emulation().AddImage(name, base, file->SizeOfImage(), *file);
  image.base = base;
  image.size = file->SizeOfImage();
  return base + file->EntryPoint();
}

namespace {
// The bytes a shared object's loaded segments span from its base.
uint64_t HostImageSpan(uint64_t base) {
  struct Search {
    uint64_t base;
    uint64_t span;
  } search{base, 0};
  dl_iterate_phdr(
      [](dl_phdr_info *info, size_t, void *data) {
        auto *search = static_cast<Search *>(data);
        if (info->dlpi_addr != search->base) return 0;
        for (int index = 0; index < info->dlpi_phnum; ++index) {
          const ElfW(Phdr) &header = info->dlpi_phdr[index];
          if (header.p_type == PT_LOAD)
            search->span = std::max<uint64_t>(search->span, header.p_vaddr + header.p_memsz);
        }
        return 1;
      },
      &search);
  return search.span;
}
}  // namespace

LoadedImage &ImageLoader::Load(Platform &platform, const std::string &name, const LoadOptions &options) {
  LoadedImage mapped;
  mapped.name = name;
  const uint64_t entryAddress = platform.Profile().engine == Engine::Emulated
                                    ? MapFirmwareImage(platform, name, options, mapped)
                                    : MapHostImage(name, mapped);

  FirmwareCore &core = platform.Core();
  auto *loaded = core.Memory().NewFirmware<EFI_LOADED_IMAGE_PROTOCOL>();
  loaded->Revision = EFI_LOADED_IMAGE_PROTOCOL_REVISION;
  loaded->SystemTable = core.SystemTable();
  loaded->ImageBase = reinterpret_cast<VOID *>(mapped.base);
  loaded->ImageSize = mapped.size;
  loaded->ImageCodeType = options.runtimeImage ? EfiRuntimeServicesCode : EfiBootServicesCode;
  loaded->ImageDataType = options.runtimeImage ? EfiRuntimeServicesData : EfiBootServicesData;
  core.Protocols().Install(&mapped.handle, gEfiLoadedImageProtocolGuid, loaded, "loader");
  mapped.loadedImage = loaded;

  platform.NoteImageRange(
      {platform.BootNumber(), name, mapped.base, mapped.library != nullptr ? HostImageSpan(mapped.base) : mapped.size});
  images_.push_back(std::move(mapped));
  LoadedImage &image = images_.back();
  platform.Record(EffectKind::ImageLoad,
                  name + (options.smm ? " (SMM)" : "") + (options.runtimeImage ? " (runtime image)" : ""));

  ActorScope actor(platform, name);
  bool wasInSmm = core.InSmm();
  core.SetInSmm(options.smm);
  try {
    image.entryStatus =
        platform.Call(reinterpret_cast<EFI_IMAGE_ENTRY_POINT>(entryAddress), image.handle, core.SystemTable());
  } catch (const ImageFault &fault) {
    // The machine would have stopped here; the platform reports it and treats the
    // image as one whose entry failed.
    core.SetInSmm(wasInSmm);
    image.fault = fault.what();
    platform.Record(EffectKind::ImageFault, fault.what(), fault.Rip());
    Unload(platform, image, name + " unloaded after its entry faulted");
    return image;
  } catch (...) {
    core.SetInSmm(wasInSmm);
    throw;
  }
  core.SetInSmm(wasInSmm);
  image.entryReturned = true;
  platform.Record(EffectKind::ImageEntryReturn, "entry returned " + StatusText(image.entryStatus), image.entryStatus);
  if (EFI_ERROR(image.entryStatus)) Unload(platform, image, name + " unloaded after its failed entry");
  return image;
}

// Firmware unloads an image whose entry failed. A host image stays mapped (calls into it
// are refused where the platform makes them); a firmware image's memory is freed, so a
// call into it faults as it would on a real machine.
void ImageLoader::Unload(Platform &platform, LoadedImage &image, const std::string &why) {
  image.unloaded = true;
  platform.Record(EffectKind::ImageUnload, why);
  if (image.library != nullptr || !platform.Emulated()) return;
  platform.Emulation().RemoveImage(image.base);
  platform.Memory().FreePages(image.base, (image.size + Arena::kPageSize - 1) / Arena::kPageSize);
}

std::string ImageLoader::OwnerOf(const void *code) const {
  const LoadedImage *image = ImageAt(code);
  return image == nullptr ? "" : image->name;
}

const LoadedImage *ImageLoader::ImageAt(const void *address) const {
  if (address == nullptr) return nullptr;
  // A firmware image is the range the loader laid it out in.
  const auto value = reinterpret_cast<uintptr_t>(address);
  for (const LoadedImage &image : images_) {
    if (image.library == nullptr && value >= image.base && value - image.base < image.size) return &image;
  }
  Dl_info info{};
  if (dladdr(address, &info) == 0) return nullptr;
  for (const LoadedImage &image : images_) {
    if (image.library != nullptr && image.base == reinterpret_cast<uintptr_t>(info.dli_fbase)) return &image;
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
    if (!image.copyPath.empty()) fs::remove(image.copyPath, ignored);
  }
  images_.clear();
}

}  // namespace sim
