#include "tests/sweeps/case_cache.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform_sim/loader/image_loader.h"

namespace sweep {
namespace {

namespace fs = std::filesystem;

std::string Stamp(const fs::path &path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) return path.string() + " missing\n";
  const auto time = fs::last_write_time(path, error).time_since_epoch().count();
  return path.string() + " " + std::to_string(size) + " " + std::to_string(time) + "\n";
}

std::string Key() {
  std::string key = Stamp(fs::read_symlink("/proc/self/exe"));
  std::error_code error;
  const fs::path images = sim::ImageLoader::DefaultDirectory();
  for (const fs::directory_entry &entry : fs::directory_iterator(images, error)) {
    if (entry.path().extension() == ".so") key += Stamp(entry.path());
  }
  return key + "--\n";
}

}  // namespace

std::string CachedCaseList(const std::string &name, const std::function<std::string()> &compute) {
  const fs::path program = fs::read_symlink("/proc/self/exe");
  const fs::path file = program.string() + ".cases." + name;
  const std::string key = Key();
  {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string cached = text.str();
    if (in && cached.compare(0, key.size(), key) == 0) return cached.substr(key.size());
  }
  const std::string list = compute();
  const fs::path temporary = file.string() + "." + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << key << list;
  }
  std::error_code error;
  fs::rename(temporary, file, error);
  if (error) fs::remove(temporary, error);
  return list;
}

}  // namespace sweep
