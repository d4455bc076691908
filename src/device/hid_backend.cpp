#include "device/hid_backend.h"

#include <cstdlib>
#include <system_error>

namespace keyloft {

HidTransportConfig HidTransportConfig::FromEnvironment() {
  HidTransportConfig config;
  if (const char* dir = std::getenv("KEYLOFT_VHID_DIR"); dir != nullptr && dir[0] != '\0') config.vhidDir = dir;
  return config;
}

HidTransportConfig HidTransportConfig::Vhid(std::filesystem::path folder) {
  HidTransportConfig config;
  config.vhidDir = std::move(folder);
  return config;
}

HidTransportConfig HidTransportConfig::Hidraw(std::filesystem::path sysfsRoot, std::filesystem::path devRoot) {
  HidTransportConfig config;
  config.sysfsRoot = std::move(sysfsRoot);
  config.devRoot = std::move(devRoot);
  return config;
}

std::unique_ptr<HidBackend> MakeHidBackend(const HidTransportConfig& config) {
  if (config.makeBackend) return config.makeBackend();
  std::error_code ec;
  if (!config.vhidDir.empty() && std::filesystem::is_directory(config.vhidDir, ec)) {
    return MakeVhidBackend(config.vhidDir);
  }
  return MakeHidrawBackend(config.sysfsRoot, config.devRoot);
}

}  // namespace keyloft
