// Finding the keyboard, watching for its removal, and its active profile.
// ConnectionMonitor is a thread: a probe at start, then a scan every second
// while no keyboard is connected and a presence test every 100 ms while one is.
// Every change of state goes through NotifyConnection, which reads what the
// program needs at once and tells it through DeviceEvents.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "device/device_events.h"
#include "platform/stop_signal.h"

namespace keyloft {

// How often the monitor looks: tests shorten it.
struct MonitorTiming {
  int connectedPollMs = 100;
  int searchPollMs = 1000;
};

inline constexpr uint16_t kVendorUsagePage = 0xFF1C;
inline constexpr uint16_t kVendorUsage = 0x0092;
inline constexpr uint16_t kConsumerUsagePage = 0x000C;
inline constexpr uint16_t kConsumerUsage = 0x0001;

// The hexadecimal number after "vid_" / "pid_" in a path's identifier part
// (after its last '#'), without regard to case; 0 when absent.
uint16_t ParseVid(std::string_view path);
uint16_t ParsePid(std::string_view path);

// The cached active profile (0..2), read from the keyboard when unknown; -1
// when it cannot be read.
int GetActiveProfile(DeviceContext& device, CommandChannel& channel);
// Makes p the keyboard's active profile, writing the other 43 bytes of the
// information block back as read. On failure the cache becomes unknown.
DevResult SetActiveProfile(DeviceContext& device, CommandChannel& channel, int p);

// What the program keeps of a keyboard it found, read into device: its
// default key map, and its information block with the size of its macro memory.
DevResult ReadDefaultKeyMap(DeviceContext& device, CommandChannel& channel);
DevResult ReadInfoBlock(DeviceContext& device, CommandChannel& channel);

class ConnectionMonitor {
 public:
  // startedHidden: the program was started with /Start, so the first report
  // never opens the main window.
  ConnectionMonitor(DeviceContext& device, DeviceEvents& events, bool startedHidden = false,
                    MonitorTiming timing = {});
  ~ConnectionMonitor();
  ConnectionMonitor(const ConnectionMonitor&) = delete;
  ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

  void Start();
  // Ends the thread and waits for it. Not from a thread that DeviceEvents
  // calls wait on.
  void Stop();
  bool Running() const { return running_; }

  // The state last reported to the program.
  int ReportedConnection() const { return reportedConnection_; }
  // Set once the first search has reported, whatever it found.
  bool InitialReportDone() const { return initialReportDone_; }

 private:
  void Run();
  bool Scan(bool& matched);
  void Connect();
  void NotifyConnection(int state);

  DeviceContext& device_;
  DeviceEvents& events_;
  CommandChannel channel_;
  MonitorTiming timing_;
  std::atomic<int> reportedConnection_{0};
  std::atomic<bool> initialReportDone_;
  std::atomic<bool> running_{false};
  StopSignal stop_;
  std::thread thread_;
};

}  // namespace keyloft
