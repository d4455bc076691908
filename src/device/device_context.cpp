#include "device/device_context.h"

#include <algorithm>
#include <functional>

#include "model/default_key_map.h"

namespace keyloft {

DeviceContext::DeviceContext(HidTransportConfig config, std::filesystem::path lockFolder)
    : commandLink(std::move(config)), lockFolder(std::move(lockFolder)) {
  commandLink.Init();
  const auto& builtIn = BuiltInDefaultKeyMap();
  std::copy(builtIn.begin(), builtIn.end(), defaultKeyMap.begin());
}

std::filesystem::path KeyboardLockFile(const std::filesystem::path& lockFolder, std::string_view devicePath) {
  // The node part names the keyboard; its collections share one lock.
  std::string_view node = devicePath.substr(0, devicePath.rfind('#'));
  std::string name = "keyloft-";
  for (char c : node) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    name += plain ? c : '_';
  }
  if (name.size() > 200) name = "keyloft-" + std::to_string(std::hash<std::string_view>{}(node));
  return lockFolder / (name + ".lock");
}

}  // namespace keyloft
