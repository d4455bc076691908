// A device context talking to a virtual keyboard, for tests of the command
// protocol, the monitor and the listener.
#pragma once

#include <memory>
#include <string>

#include "device/command_protocol.h"
#include "device/connection.h"
#include "device/device_context.h"
#include "model/keyboard_model.h"
#include "printers.h"
#include "sync/core.h"
#include "virtual_keyboard.h"

namespace keyloft::test {

// A device context that looks for the known keyboards, as the core's does.
struct TestDevice : DeviceContext {
  TestDevice(HidTransportConfig config, std::filesystem::path lockFolder)
      : DeviceContext(std::move(config), std::move(lockFolder), DeviceIdentities(KeyboardModels()),
                      DefaultKeyboardModel().defaultKeyMap) {}
};

// Opens the context's command link on the keyboard's vendor interface and marks
// it connected, as the monitor would, without starting a monitor.
inline bool ConnectDirectly(DeviceContext& device) {
  HidLink& link = device.commandLink;
  const auto interfaces = link.Enumerate();
  if (!interfaces) return false;
  for (const HidInterfaceInfo& listed : *interfaces) {
    if (!link.Open(listed.path, HidLink::Access::ReadWrite)) continue;
    if (link.Info().usagePage != kVendorUsagePage) continue;
    const DeviceIdentity* model = device.FindKeyboard(link.Info().vendorId, link.Info().productId);
    device.keyMapBytes = model->keyMapBytes;
    device.keyMapStride = model->keyMapStride;
    device.OpenKeyboardLock(KeyboardLockFile(device.lockFolder, link.Path()));
    device.deviceConnected = true;
    return true;
  }
  return false;
}

}  // namespace keyloft::test
