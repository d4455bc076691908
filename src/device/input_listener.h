// The keyboard's own events: a thread that finds the keyboard's
// consumer-control interface, waits for its reports without time limit, and
// turns the first usage of each into a main-window timer or a tray icon.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "device/device_context.h"
#include "device/device_events.h"
#include "device/hid_link.h"
#include "device/keyboard_protocol.h"
#include "platform/stop_signal.h"

namespace keyloft {


// What one report's first usage does: a timer, an icon state, or nothing.
void ReactToKeyboardEvent(uint16_t usage, DeviceEvents& events);

class InputListener {
 public:
  // keyboards: the devices whose consumer interface is followed.
  InputListener(HidTransportConfig config, std::vector<DeviceIdentity> keyboards, DeviceEvents& events);
  ~InputListener();
  InputListener(const InputListener&) = delete;
  InputListener& operator=(const InputListener&) = delete;

  void Start();
  // Cuts the waiting read short, ends the thread and waits for it.
  void Stop();
  bool Running() const { return running_; }
  // True while a read waits on the keyboard's consumer interface.
  bool Listening() const { return link_.Reading(); }

 private:
  void Run();

  HidLink link_;
  std::vector<DeviceIdentity> keyboards_;
  DeviceEvents& events_;
  std::atomic<bool> running_{false};
  // Held by the thread while it opens or closes link_, and by Stop while it
  // closes it: the two never change the link at once.
  std::mutex linkMutex_;
  StopSignal stop_;
  std::thread thread_;
};

}  // namespace keyloft
