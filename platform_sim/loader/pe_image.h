// A PE32+ image file as the firmware loads it: headers, sections and base relocations,
// read with every offset and size checked against the file. Shared by the emulated
// engine's loader and by the post-link image check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct PeSection {
  std::string name;
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
  uint32_t characteristics = 0;

  static constexpr uint32_t kCode = 0x00000020;
  static constexpr uint32_t kExecute = 0x20000000;
  static constexpr uint32_t kRead = 0x40000000;
  static constexpr uint32_t kWrite = 0x80000000;

  bool Executable() const { return (characteristics & kExecute) != 0; }
  bool Writable() const { return (characteristics & kWrite) != 0; }
  // The larger of the two sizes: what the section occupies once loaded.
  uint32_t LoadedSize() const { return virtualSize > rawSize ? virtualSize : rawSize; }
};

class PeImage {
 public:
  static constexpr uint16_t kMachineAmd64 = 0x8664;
  static constexpr uint16_t kMagicPe32Plus = 0x20B;
  static constexpr uint16_t kSubsystemBootServiceDriver = 11;
  static constexpr uint16_t kRelocsStripped = 0x0001;
  static constexpr uint16_t kRelocationAbsolute = 0;
  static constexpr uint16_t kRelocationDir64 = 10;

  // Data directories by index.
  enum Directory : unsigned { kImport = 1, kSecurity = 4, kBaseRelocation = 5, kTls = 9 };

  struct Relocation {
    uint32_t rva;
    uint16_t type;
  };

  // Nullopt with the reason in *error when the bytes are not a well-formed PE32+ file.
  static std::optional<PeImage> Parse(std::vector<uint8_t> bytes, std::string *error);
  static std::optional<PeImage> ReadFile(const std::string &path, std::string *error);

  uint16_t Machine() const { return machine_; }
  uint16_t Magic() const { return magic_; }
  uint16_t Subsystem() const { return subsystem_; }
  uint16_t Characteristics() const { return characteristics_; }
  uint64_t PreferredBase() const { return imageBase_; }
  uint32_t SizeOfImage() const { return sizeOfImage_; }
  uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
  uint32_t EntryPoint() const { return entryPoint_; }
  size_t FileSize() const { return bytes_.size(); }
  const std::vector<PeSection> &Sections() const { return sections_; }
  const std::vector<Relocation> &Relocations() const { return relocations_; }
  // Rva and size of a data directory; {0, 0} when the image has none.
  std::pair<uint32_t, uint32_t> DirectoryEntry(unsigned index) const;
  const PeSection *SectionAt(uint32_t rva) const;

  // What makes this file unfit to ship as a firmware driver; empty when it is fit:
  // PE32+ for x86-64, subsystem 11, DIR64 base relocations, no imports, no C-runtime
  // initialiser or thread-local sections, no writable code, the entry inside code.
  std::vector<std::string> ShippingProblems() const;

  // Lays the image out at `destination` (SizeOfImage bytes, which the image will run
  // at as address `base`) and applies the base relocations for that address.
  // False with *error when a relocation does not fit the image.
  bool LoadAt(uint8_t *destination, uint64_t base, std::string *error) const;

 private:
  std::vector<uint8_t> bytes_;
  uint16_t machine_ = 0;
  uint16_t characteristics_ = 0;
  uint16_t magic_ = 0;
  uint16_t subsystem_ = 0;
  uint64_t imageBase_ = 0;
  uint32_t sizeOfImage_ = 0;
  uint32_t sizeOfHeaders_ = 0;
  uint32_t entryPoint_ = 0;
  std::vector<std::pair<uint32_t, uint32_t>> directories_;
  std::vector<PeSection> sections_;
  std::vector<Relocation> relocations_;
};

}  // namespace sim
