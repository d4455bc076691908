#include "device/device_context.h"

#include <algorithm>
#include <functional>

namespace keyloft {

const DeviceIdentity* FindDeviceIdentity(std::span<const DeviceIdentity> keyboards, uint16_t vendorId,
                                         uint16_t productId) {
  for (const DeviceIdentity& k : keyboards) {
    if (k.vendorId == vendorId && k.productId == productId) return &k;
  }
  return nullptr;
}

DeviceContext::DeviceContext(HidTransportConfig config, std::filesystem::path lockFolder,
                             std::vector<DeviceIdentity> keyboardList, std::span<const uint8_t> builtInDefaultKeyMap)
    : keyboards(std::move(keyboardList)), commandLink(std::move(config)), lockFolder(std::move(lockFolder)) {
  std::copy_n(builtInDefaultKeyMap.begin(), std::min(builtInDefaultKeyMap.size(), defaultKeyMap.size()),
              defaultKeyMap.begin());
}

bool DeviceContext::TakeKeyboard() {
  if (keyboardLockHeld || !keyboardLock.IsOpen()) return true;
  keyboardLockHeld = keyboardLock.LockFor(keyboardWait);
  return keyboardLockHeld;
}

void DeviceContext::ReleaseKeyboardIfDone() {
  if (!keyboardLockHeld || bracketsOpen > 0 || keyboardHolds > 0) return;
  keyboardLock.Unlock();
  keyboardLockHeld = false;
}

void DeviceContext::OpenKeyboardLock(const std::filesystem::path& path) {
  CloseKeyboardLock();
  keyboardLock.Open(path);
}

void DeviceContext::CloseKeyboardLock() {
  keyboardLock.Close();  // closing releases it
  keyboardLockHeld = false;
  bracketsOpen = 0;
}

KeyboardHold::KeyboardHold(DeviceContext& device) : device_(device) {
  std::scoped_lock lock(device_.exchangeLock);
  ++device_.keyboardHolds;
}

KeyboardHold::~KeyboardHold() {
  std::scoped_lock lock(device_.exchangeLock);
  --device_.keyboardHolds;
  device_.ReleaseKeyboardIfDone();
}

DeviceSequence::DeviceSequence(DeviceContext& device, Start start) : device_(device) {
  if (device_.sequenceDepth++ > 0) return;
  if (start == Fresh) {
    device_.unanswered = false;
    device_.keyboardInUse = false;
  }
  hold_.emplace(device_);
}

DeviceSequence::~DeviceSequence() {
  if (--device_.sequenceDepth > 0) return;
  {
    // A bracket the sequence left open holds another program's commands off no longer.
    std::scoped_lock lock(device_.exchangeLock);
    device_.bracketsOpen = 0;
  }
  hold_.reset();
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
