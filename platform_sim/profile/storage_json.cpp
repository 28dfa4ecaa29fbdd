#include "platform_sim/profile/storage_json.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <utility>

#include "platform_sim/trace/hex_text.h"

namespace sim {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

const std::pair<StorageKind, const char *> kKinds[] = {
    {StorageKind::Ahci, "ahci"}, {StorageKind::Nvme, "nvme"}, {StorageKind::Bridge, "bridge"}};

const char *KindName(StorageKind kind) {
  for (const auto &[known, name] : kKinds) {
    if (known == kind) return name;
  }
  return "bridge";
}

// The lengths of the IDENTIFY text fields.
constexpr size_t kModelChars = 40, kSerialChars = 20, kFirmwareChars = 8;

ordered_json PathToJson(const std::vector<PciPathNode> &path) {
  ordered_json nodes = ordered_json::array();
  for (const PciPathNode &node : path) {
    nodes.push_back({{"device", HexNumber(node.device, 2)}, {"function", node.function}});
  }
  return nodes;
}

void Require(const ProfileReader &reader, const json &item, const std::string &at,
             std::initializer_list<const char *> names) {
  for (const char *name : names) {
    if (!item.contains(name)) reader.Fail(ProfileReader::Join(at, name), "a value (the field is required)", nullptr);
  }
}

// Printable ASCII of at most `chars` characters, as an IDENTIFY text field holds it.
std::string Text(const ProfileReader &reader, const json &value, const std::string &path, size_t chars,
                 bool mayBeEmpty = false) {
  const std::string text = reader.String(value, path);
  if ((!mayBeEmpty && text.empty()) || text.size() > chars ||
      std::any_of(text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7E; })) {
    reader.Fail(path,
                std::string(mayBeEmpty ? "" : "a non-empty ") + "printable ASCII text of at most " +
                    std::to_string(chars) + " characters",
                value);
  }
  return text;
}

StorageKind Kind(const ProfileReader &reader, const json &value, const std::string &path) {
  const std::string name = value.is_string() ? value.get<std::string>() : "";
  for (const auto &[kind, known] : kKinds) {
    if (name == known) return kind;
  }
  reader.Fail(path, "one of \"ahci\", \"nvme\", \"bridge\"", value);
}

std::vector<PciPathNode> ReadPath(const ProfileReader &reader, const json &value, const std::string &path) {
  if (!value.is_array() || value.empty()) reader.Fail(path, "a non-empty array of {\"device\", \"function\"}", value);
  std::vector<PciPathNode> nodes;
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string at = path + "[" + std::to_string(index) + "]";
    reader.Object(value[index], at, {"device", "function"});
    Require(reader, value[index], at, {"device", "function"});
    nodes.push_back({static_cast<uint8_t>(reader.Unsigned(value[index]["device"], at + ".device", 0x1F)),
                     static_cast<uint8_t>(reader.Unsigned(value[index]["function"], at + ".function", 7))});
  }
  return nodes;
}

std::vector<AhciDriveProfile> ReadDrives(const ProfileReader &reader, const json &value, const std::string &path) {
  if (!value.is_array()) reader.Fail(path, "an array of drives", value);
  std::vector<AhciDriveProfile> drives;
  std::set<std::pair<uint16_t, uint16_t>> taken;
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string at = path + "[" + std::to_string(index) + "]";
    const json &item = value[index];
    reader.Object(item, at, {"port", "portMultiplierPort", "model", "serial", "firmware", "optical", "deviceSleep"});
    Require(reader, item, at, {"port", "model", "serial"});
    AhciDriveProfile drive;
    drive.port = static_cast<uint16_t>(reader.Unsigned(item["port"], at + ".port", 0xFFFE));
    if (item.contains("portMultiplierPort")) {
      drive.portMultiplierPort =
          static_cast<uint16_t>(reader.Unsigned(item["portMultiplierPort"], at + ".portMultiplierPort", 0xFFFF));
    }
    if (!taken.insert({drive.port, drive.portMultiplierPort}).second) {
      reader.Fail(at + ".port", "a port and port multiplier port no other drive of the controller uses", item["port"]);
    }
    drive.identity.model = Text(reader, item["model"], at + ".model", kModelChars);
    drive.identity.serial = Text(reader, item["serial"], at + ".serial", kSerialChars);
    if (item.contains("firmware")) {
      drive.identity.firmware = Text(reader, item["firmware"], at + ".firmware", kFirmwareChars, true);
    }
    if (item.contains("optical")) drive.identity.packetDevice = reader.Bool(item["optical"], at + ".optical");
    if (item.contains("deviceSleep"))
      drive.identity.deviceSleep = reader.Bool(item["deviceSleep"], at + ".deviceSleep");
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::vector<uint32_t> ReadNamespaces(const ProfileReader &reader, const json &value, const std::string &path) {
  if (!value.is_array()) reader.Fail(path, "an array of namespace IDs", value);
  std::vector<uint32_t> namespaces;
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string at = path + "[" + std::to_string(index) + "]";
    const auto id = static_cast<uint32_t>(reader.Unsigned(value[index], at, 0xFFFFFFFE));
    if (id == 0 || std::find(namespaces.begin(), namespaces.end(), id) != namespaces.end()) {
      reader.Fail(at, "a namespace ID from 1 to 0xFFFFFFFE, each once", value[index]);
    }
    namespaces.push_back(id);
  }
  return namespaces;
}

}  // namespace

ordered_json StorageToJson(const StorageProfile &storage) {
  ordered_json list = ordered_json::array();
  for (const StorageControllerProfile &controller : storage) {
    ordered_json item = {{"kind", KindName(controller.kind)},
                         {"bus", HexNumber(controller.bus, 2)},
                         {"device", HexNumber(controller.device, 2)},
                         {"function", controller.function},
                         {"vendorId", HexNumber(controller.vendorId, 4)},
                         {"deviceId", HexNumber(controller.deviceId, 4)},
                         {"path", PathToJson(controller.path)}};
    if (controller.kind == StorageKind::Ahci) {
      ordered_json drives = ordered_json::array();
      for (const AhciDriveProfile &drive : controller.drives) {
        drives.push_back({{"port", drive.port},
                          {"portMultiplierPort", HexNumber(drive.portMultiplierPort, 4)},
                          {"model", drive.identity.model},
                          {"serial", drive.identity.serial},
                          {"firmware", drive.identity.firmware},
                          {"optical", drive.identity.packetDevice},
                          {"deviceSleep", drive.identity.deviceSleep}});
      }
      item["drives"] = drives;
    } else if (controller.kind == StorageKind::Nvme) {
      item["model"] = controller.model;
      item["serial"] = controller.serial;
      item["namespaces"] = controller.namespaces;
    }
    list.push_back(item);
  }
  return list;
}

StorageProfile ReadStorage(const ProfileReader &reader, const json &value) {
  if (!value.is_array()) reader.Fail("storage", "an array of storage controllers", value);
  StorageProfile storage;
  std::set<std::tuple<uint8_t, uint8_t, uint8_t>> locations;
  for (size_t index = 0; index < value.size(); ++index) {
    const std::string at = "storage[" + std::to_string(index) + "]";
    const json &item = value[index];
    if (!item.is_object()) reader.Fail(at, "an object", item);
    if (!item.contains("kind")) reader.Fail(at + ".kind", "a value (the field is required)", nullptr);
    StorageControllerProfile controller;
    controller.kind = Kind(reader, item["kind"], at + ".kind");
    switch (controller.kind) {
      case StorageKind::Ahci:
        reader.Object(item, at, {"kind", "bus", "device", "function", "vendorId", "deviceId", "path", "drives"});
        break;
      case StorageKind::Nvme:
        reader.Object(
            item, at,
            {"kind", "bus", "device", "function", "vendorId", "deviceId", "path", "model", "serial", "namespaces"});
        Require(reader, item, at, {"model", "serial"});
        break;
      case StorageKind::Bridge:
        reader.Object(item, at, {"kind", "bus", "device", "function", "vendorId", "deviceId", "path"});
        break;
    }
    Require(reader, item, at, {"device", "vendorId", "deviceId"});
    if (item.contains("bus")) controller.bus = static_cast<uint8_t>(reader.Unsigned(item["bus"], at + ".bus", 0xFF));
    controller.device = static_cast<uint8_t>(reader.Unsigned(item["device"], at + ".device", 0x1F));
    if (item.contains("function")) {
      controller.function = static_cast<uint8_t>(reader.Unsigned(item["function"], at + ".function", 7));
    }
    if (!locations.insert({controller.bus, controller.device, controller.function}).second) {
      reader.Fail(at + ".device", "a bus, device and function no other controller uses", item["device"]);
    }
    controller.vendorId = static_cast<uint16_t>(reader.Unsigned(item["vendorId"], at + ".vendorId", 0xFFFE));
    controller.deviceId = static_cast<uint16_t>(reader.Unsigned(item["deviceId"], at + ".deviceId", 0xFFFF));
    // Left out: the function sits on the root bus.
    controller.path = item.contains("path") ? ReadPath(reader, item["path"], at + ".path")
                                            : std::vector<PciPathNode>{{controller.device, controller.function}};
    const PciPathNode &last = controller.path.back();
    if (last.device != controller.device || last.function != controller.function) {
      reader.Fail(at + ".path", "a path whose last node is the function's own device and function", item["path"]);
    }
    if (controller.kind == StorageKind::Ahci && item.contains("drives")) {
      controller.drives = ReadDrives(reader, item["drives"], at + ".drives");
    }
    if (controller.kind == StorageKind::Nvme) {
      controller.model = Text(reader, item["model"], at + ".model", kModelChars);
      controller.serial = Text(reader, item["serial"], at + ".serial", kSerialChars);
      controller.namespaces = item.contains("namespaces")
                                  ? ReadNamespaces(reader, item["namespaces"], at + ".namespaces")
                                  : std::vector<uint32_t>{1};
    }
    storage.push_back(std::move(controller));
  }
  return storage;
}

}  // namespace sim
