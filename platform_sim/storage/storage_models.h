// Storage as the storage bus drivers present it: PCI I/O functions with configuration
// space, ATA pass-thru controllers with ports, port multipliers and drives, NVMe
// pass-thru controllers with namespaces, and Disk Info instances with device paths.
// Each model is a plain object; Publish* gives its protocol interface in the arena.
#pragma once

#include <array>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform_sim/storage/identify_blocks.h"
#include "runtime/uefi/storage_protocols.h"

namespace sim {

class Arena;
class Platform;

// Device path bytes, built node by node and ended by End().
class DevicePathBytes {
 public:
  DevicePathBytes &PciRoot(uint32_t uid = 0);
  DevicePathBytes &Pci(uint8_t device, uint8_t function);
  DevicePathBytes &Sata(uint16_t port, uint16_t portMultiplierPort);
  DevicePathBytes &Atapi(uint8_t primarySecondary, uint8_t slaveMaster);
  DevicePathBytes &Nvme(uint32_t namespaceId);
  DevicePathBytes &Usb(uint8_t parentPort, uint8_t interface);
  std::vector<uint8_t> End() const;
  const std::vector<uint8_t> &Nodes() const { return bytes_; }

 private:
  void Node(uint8_t type, uint8_t subType, const std::vector<uint8_t> &data);
  std::vector<uint8_t> bytes_;
};

// A copy of the path in the arena, where an image can read it.
EFI_DEVICE_PATH_PROTOCOL *PublishDevicePath(Arena &arena, const std::vector<uint8_t> &bytes);

class PciFunctionModel {
 public:
  PciFunctionModel(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendor, uint16_t deviceId, uint8_t baseClass,
                   uint8_t subClass, uint8_t interface);
  uint8_t Bus() const { return bus_; }
  uint8_t Device() const { return device_; }
  uint8_t Function() const { return function_; }
  std::array<uint8_t, 256> &Config() { return config_; }
  bool failLocation = false;
  // Offsets and widths of every configuration read, for checking what was read.
  std::vector<std::pair<uint32_t, uint32_t>> reads;

  EFI_PCI_IO_PROTOCOL *Publish(Arena &arena);

 private:
  uint8_t bus_, device_, function_;
  std::array<uint8_t, 256> config_{};
};

struct AtaPacketRecord {
  uint16_t port = 0;
  uint16_t portMultiplierPort = 0;
  uint8_t command = 0;
  uint8_t features = 0;
  uint8_t sectorCount = 0;
  uint8_t deviceHead = 0;
  uint8_t protocol = 0;
  uint8_t length = 0;
  uint32_t inTransferLength = 0;
  uint64_t timeout = 0;
  bool otherBytesZero = true;  // every other command-block byte
};

struct AtaDriveModel {
  AtaIdentifyBlock identify{};
  std::optional<uint8_t> failCommand;  // this command answers EFI_DEVICE_ERROR
  bool deviceSleepDisabled = false;    // SET FEATURES 0x90/0x09 arrived
  std::vector<AtaPacketRecord> packets;
};

class AtaControllerModel {
 public:
  explicit AtaControllerModel(uint32_t ioAlign = 2) : ioAlign_(ioAlign) {}
  // A drive on a port, directly (0xFFFF) or behind a port multiplier port.
  AtaDriveModel &Attach(uint16_t port, uint16_t portMultiplierPort, const AtaIdentifyBlock &identify);
  AtaDriveModel *Drive(uint16_t port, uint16_t portMultiplierPort);
  std::vector<AtaPacketRecord> &Packets() { return packets_; }
  uint32_t IoAlign() const { return ioAlign_; }
  // Faults seen (misaligned buffers, iteration misuse).
  std::vector<std::string> &Faults() { return faults_; }
  // Runs before each command is answered (another driver acting meanwhile).
  std::function<void(const AtaPacketRecord &)> beforeCommand;

  EFI_ATA_PASS_THRU_PROTOCOL *Publish(Arena &arena);

  EFI_STATUS PassThru(uint16_t port, uint16_t pmp, EFI_ATA_PASS_THRU_COMMAND_PACKET *packet);
  EFI_STATUS GetNextPort(uint16_t *port);
  EFI_STATUS GetNextDevice(uint16_t port, uint16_t *pmp);
  EFI_STATUS GetDevice(const EFI_DEVICE_PATH_PROTOCOL *node, uint16_t *port, uint16_t *pmp);

 private:
  uint32_t ioAlign_;
  std::map<uint16_t, std::map<uint16_t, AtaDriveModel>> ports_;
  std::optional<uint16_t> lastPort_;
  std::map<uint16_t, uint16_t> lastDevice_;  // per port, the multiplier port returned last
  std::vector<AtaPacketRecord> packets_;
  std::vector<std::string> faults_;
};

struct NvmeCommandRecord {
  uint32_t passThruNamespace = 0;
  uint8_t opcode = 0;
  uint8_t fused = 0;
  uint8_t flags = 0;
  uint32_t nsid = 0;
  uint32_t cdw10 = 0;
  uint64_t timeout = 0;
  uint32_t transferLength = 0;
  uint8_t queueType = 0;
  bool metadata = false;
};

class NvmeControllerModel {
 public:
  NvmeControllerModel(std::vector<uint8_t> identify, std::set<uint32_t> namespaces, uint32_t ioAlign = 4)
      : identify_(std::move(identify)), namespaces_(std::move(namespaces)), ioAlign_(ioAlign) {}
  std::vector<NvmeCommandRecord> &Commands() { return commands_; }
  std::set<uint32_t> failNamespaces;  // Identify through these namespace IDs fails
  std::vector<std::string> &Faults() { return faults_; }

  EFI_NVM_EXPRESS_PASS_THRU_PROTOCOL *Publish(Arena &arena);

  EFI_STATUS PassThru(uint32_t namespaceId, EFI_NVM_EXPRESS_PASS_THRU_COMMAND_PACKET *packet);
  EFI_STATUS GetNextNamespace(uint32_t *namespaceId);

 private:
  std::vector<uint8_t> identify_;
  std::set<uint32_t> namespaces_;
  uint32_t ioAlign_;
  std::vector<NvmeCommandRecord> commands_;
  std::vector<std::string> faults_;
};

class DiskInfoModel {
 public:
  // The IDENTIFY data it answers with; `reportedSize` is the size it needs (may exceed
  // the data, as some bus drivers report).
  DiskInfoModel(const EFI_GUID &interface, std::vector<uint8_t> identify, uint32_t reportedSize = 0);
  bool failIdentify = false;
  std::vector<uint32_t> identifySizes;  // the size each Identify call was given

  EFI_DISK_INFO_PROTOCOL *Publish(Arena &arena);
  EFI_STATUS Identify(void *buffer, uint32_t *size);

 private:
  EFI_GUID interface_;
  std::vector<uint8_t> identify_;
  uint32_t reportedSize_;
};

// The storage of one boot: owns the models and installs their protocols the way the
// bus drivers do, in the order a test or the platform story asks for.
class StorageBus {
 public:
  explicit StorageBus(Platform &platform) : platform_(platform) {}

  PciFunctionModel &AddPciFunction(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendor, uint16_t deviceId,
                                   uint8_t baseClass, uint8_t subClass, uint8_t interface);
  // The function's handle with its device path and PCI I/O (the PCI bus driver's work).
  EFI_HANDLE InstallPciFunction(PciFunctionModel &function, const std::vector<uint8_t> &path);
  AtaControllerModel &AddAtaController(uint32_t ioAlign = 2);
  // ATA pass-thru on the controller's handle (the AHCI or IDE driver's work).
  void InstallAtaPassThru(EFI_HANDLE controller, AtaControllerModel &model);
  NvmeControllerModel &AddNvmeController(std::vector<uint8_t> identify, std::set<uint32_t> namespaces,
                                         uint32_t ioAlign = 4);
  void InstallNvmePassThru(EFI_HANDLE controller, NvmeControllerModel &model);
  DiskInfoModel &AddDiskInfo(const EFI_GUID &interface, std::vector<uint8_t> identify, uint32_t reportedSize = 0);
  // A drive handle with its device path and Disk Info.
  EFI_HANDLE InstallDiskInfo(DiskInfoModel &model, const std::vector<uint8_t> &path);

 private:
  Platform &platform_;
  std::vector<std::unique_ptr<PciFunctionModel>> pci_;
  std::vector<std::unique_ptr<AtaControllerModel>> ata_;
  std::vector<std::unique_ptr<NvmeControllerModel>> nvme_;
  std::vector<std::unique_ptr<DiskInfoModel>> diskInfo_;
};

}  // namespace sim
