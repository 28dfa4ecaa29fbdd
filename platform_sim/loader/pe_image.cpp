#include "platform_sim/loader/pe_image.h"

#include <cstring>
#include <fstream>

namespace sim {

namespace {

// Little-endian reads that refuse to run past the file.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t> &bytes) : bytes_(bytes) {}
  bool Fits(uint64_t offset, uint64_t size) const { return offset <= bytes_.size() && size <= bytes_.size() - offset; }
  template <typename T>
  T At(uint64_t offset) const {
    T value{};
    if (Fits(offset, sizeof(T))) std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }

 private:
  const std::vector<uint8_t> &bytes_;
};

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kDosMagic = 0x5A4D;         // "MZ"
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kOptionalHeaderFixedSize = 112;  // PE32+, up to the data directories
constexpr uint32_t kSectionHeaderSize = 40;

bool Fail(std::string *error, const std::string &reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

std::optional<PeImage> PeImage::ReadFile(const std::string &path, std::string *error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error != nullptr) *error = "cannot open " + path;
    return std::nullopt;
  }
  file.seekg(0, std::ios::end);
  std::vector<uint8_t> bytes(static_cast<size_t>(file.tellg()));
  file.seekg(0, std::ios::beg);
  file.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return Parse(std::move(bytes), error);
}

std::optional<PeImage> PeImage::Parse(std::vector<uint8_t> bytes, std::string *error) {
  PeImage image;
  image.bytes_ = std::move(bytes);
  Reader in(image.bytes_);
  auto fail = [error](const std::string &reason) {
    Fail(error, reason);
    return std::nullopt;
  };

  if (in.At<uint16_t>(0) != kDosMagic) return fail("no DOS header");
  const uint32_t pe = in.At<uint32_t>(0x3C);
  if (!in.Fits(pe, 4 + kCoffHeaderSize) || in.At<uint32_t>(pe) != kPeSignature) return fail("no PE signature");
  const uint32_t coff = pe + 4;
  image.machine_ = in.At<uint16_t>(coff);
  const uint16_t sectionCount = in.At<uint16_t>(coff + 2);
  const uint16_t optionalSize = in.At<uint16_t>(coff + 16);
  image.characteristics_ = in.At<uint16_t>(coff + 18);

  const uint32_t optional = coff + kCoffHeaderSize;
  if (!in.Fits(optional, optionalSize) || optionalSize < 2) return fail("optional header runs past the file");
  image.magic_ = in.At<uint16_t>(optional);
  if (image.magic_ != kMagicPe32Plus) return fail("not PE32+");
  if (optionalSize < kOptionalHeaderFixedSize) return fail("optional header too short for PE32+");
  image.entryPoint_ = in.At<uint32_t>(optional + 16);
  image.imageBase_ = in.At<uint64_t>(optional + 24);
  image.sizeOfImage_ = in.At<uint32_t>(optional + 56);
  image.sizeOfHeaders_ = in.At<uint32_t>(optional + 60);
  image.subsystem_ = in.At<uint16_t>(optional + 68);
  const uint32_t directoryCount = in.At<uint32_t>(optional + 108);
  if (directoryCount > (optionalSize - kOptionalHeaderFixedSize) / 8)
    return fail("data directories run past the header");
  for (uint32_t index = 0; index < directoryCount; ++index) {
    const uint32_t entry = optional + kOptionalHeaderFixedSize + index * 8;
    image.directories_.emplace_back(in.At<uint32_t>(entry), in.At<uint32_t>(entry + 4));
  }
  if (image.sizeOfHeaders_ > image.sizeOfImage_ || image.sizeOfHeaders_ > image.bytes_.size()) {
    return fail("headers larger than the image");
  }

  const uint32_t sectionTable = optional + optionalSize;
  if (!in.Fits(sectionTable, uint64_t{sectionCount} * kSectionHeaderSize))
    return fail("section table runs past the file");
  for (uint16_t index = 0; index < sectionCount; ++index) {
    const uint32_t header = sectionTable + index * kSectionHeaderSize;
    PeSection section;
    char name[9] = {};
    std::memcpy(name, image.bytes_.data() + header, 8);
    section.name = name;
    section.virtualSize = in.At<uint32_t>(header + 8);
    section.virtualAddress = in.At<uint32_t>(header + 12);
    section.rawSize = in.At<uint32_t>(header + 16);
    section.rawOffset = in.At<uint32_t>(header + 20);
    section.characteristics = in.At<uint32_t>(header + 36);
    if (section.rawSize != 0 && !in.Fits(section.rawOffset, section.rawSize)) {
      return fail("section " + section.name + " runs past the file");
    }
    if (uint64_t{section.virtualAddress} + section.LoadedSize() > image.sizeOfImage_) {
      return fail("section " + section.name + " lies outside the image");
    }
    image.sections_.push_back(section);
  }

  // Base relocation blocks: a page RVA and a block size, then 16-bit entries.
  auto [relocRva, relocSize] = image.DirectoryEntry(kBaseRelocation);
  if (relocSize != 0) {
    const PeSection *section = image.SectionAt(relocRva);
    if (section == nullptr || relocRva - section->virtualAddress + uint64_t{relocSize} > section->rawSize) {
      return fail("base relocations lie outside the file's sections");
    }
    uint64_t offset = section->rawOffset + (relocRva - section->virtualAddress);
    const uint64_t end = offset + relocSize;
    while (offset + 8 <= end) {
      const uint32_t page = in.At<uint32_t>(offset);
      const uint32_t blockSize = in.At<uint32_t>(offset + 4);
      if (blockSize < 8 || offset + blockSize > end) return fail("malformed base relocation block");
      for (uint64_t entry = offset + 8; entry + 2 <= offset + blockSize; entry += 2) {
        const uint16_t value = in.At<uint16_t>(entry);
        image.relocations_.push_back({page + (value & 0x0FFFu), static_cast<uint16_t>(value >> 12)});
      }
      offset += blockSize;
    }
  }
  return image;
}

std::pair<uint32_t, uint32_t> PeImage::DirectoryEntry(unsigned index) const {
  return index < directories_.size() ? directories_[index] : std::pair<uint32_t, uint32_t>{0, 0};
}

const PeSection *PeImage::SectionAt(uint32_t rva) const {
  for (const PeSection &section : sections_) {
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.LoadedSize()) return &section;
  }
  return nullptr;
}

std::vector<std::string> PeImage::ShippingProblems() const {
  std::vector<std::string> problems;
  if (machine_ != kMachineAmd64) problems.push_back("machine is not x86-64");
  if (magic_ != kMagicPe32Plus) problems.push_back("not PE32+");
  if (subsystem_ != kSubsystemBootServiceDriver) {
    problems.push_back("subsystem " + std::to_string(subsystem_) + ", not 11 (boot-service driver)");
  }
  bool dir64 = false;
  for (const Relocation &relocation : relocations_) dir64 = dir64 || relocation.type == kRelocationDir64;
  if ((characteristics_ & kRelocsStripped) != 0 || !dir64) problems.push_back("no DIR64 base relocations");
  if (DirectoryEntry(kImport).second != 0) problems.push_back("has an import table");
  if (DirectoryEntry(kTls).second != 0) problems.push_back("has a thread-local storage directory");
  for (const PeSection &section : sections_) {
    if (section.name == ".CRT") problems.push_back("has a .CRT section (a dynamic initialiser that nothing runs)");
    if (section.name == ".tls") problems.push_back("has a .tls section");
    if (section.Executable() && section.Writable()) problems.push_back("section " + section.name + " is writable code");
  }
  const PeSection *entry = SectionAt(entryPoint_);
  if (entryPoint_ == 0 || entry == nullptr || !entry->Executable()) {
    problems.push_back("entry point is not inside the code");
  }
  return problems;
}

bool PeImage::LoadAt(uint8_t *destination, uint64_t base, std::string *error) const {
  std::memset(destination, 0, sizeOfImage_);
  std::memcpy(destination, bytes_.data(), sizeOfHeaders_);
  for (const PeSection &section : sections_) {
    // File padding beyond the section's own size is not part of the loaded image.
    uint32_t copied = section.rawSize;
    if (section.virtualSize != 0 && section.virtualSize < copied) copied = section.virtualSize;
    std::memcpy(destination + section.virtualAddress, bytes_.data() + section.rawOffset, copied);
  }
  const uint64_t delta = base - imageBase_;
  for (const Relocation &relocation : relocations_) {
    if (relocation.type == kRelocationAbsolute) continue;
    if (relocation.type != kRelocationDir64)
      return Fail(error, "unsupported relocation type " + std::to_string(relocation.type));
    if (uint64_t{relocation.rva} + 8 > sizeOfImage_) return Fail(error, "relocation outside the image");
    uint64_t value = 0;
    std::memcpy(&value, destination + relocation.rva, 8);
    value += delta;
    std::memcpy(destination + relocation.rva, &value, 8);
  }
  return true;
}

}  // namespace sim
