#include "device/hid_backend.h"

#include <cstdlib>
#include <system_error>

namespace keyloft {

HidTransportConfig HidTransportConfig::FromEnvironment() {
  HidTransportConfig config;
  if (const char* dir = std::getenv("KEYLOFT_VHID_DIR"); dir != nullptr && dir[0] != '\0') config.vhidDir = dir;
  return config;
}

std::unique_ptr<HidBackend> MakeHidBackend(const HidTransportConfig& config) {
  std::error_code ec;
  if (!config.vhidDir.empty() && std::filesystem::is_directory(config.vhidDir, ec)) {
    return MakeVhidBackend(config.vhidDir);
  }
  return MakeHidrawBackend(config.sysfsRoot, config.devRoot);
}

}  // namespace keyloft
