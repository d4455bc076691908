// Serves one virtual keyboard over the virtual HID transport. Each interface is
// a listening SOCK_SEQPACKET socket vkb-<pid>-mi_NN.sock in the folder, taking
// any number of hosts; every input report goes to every host of its interface.
// The control socket vkb-<pid>.ctl takes the `ctl` commands. One thread, one
// poll() loop: a slow or vanished host never stalls the others, and answers
// held back by the latency setting wait in a timer queue, not in a sleep.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "emu/descriptors.h"
#include "emu/firmware.h"

namespace keyloft::emu {

struct ServerOptions {
  std::filesystem::path folder;  // must exist
  Layout layout = Layout::kSplit;
  std::optional<std::filesystem::path> statePath;  // saved at each bracket end, change of profile, and exit
  std::optional<std::filesystem::path> tracePath;  // one line per report, appended
  int latencyMs = 0;
  int stopFd = -1;  // optional: the loop ends when it turns readable (a signalfd)
  std::function<void(std::string_view)> log;  // problems met while serving, one line each
};

class Server {
 public:
  Server(Firmware firmware, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Opens the trace and creates the sockets; each socket file appears only once
  // it accepts connections, the .ctl last. On failure says why and leaves no file.
  bool Start(std::string& error);

  // Serves until `quit`, stopFd or Stop(); then removes the socket files and
  // saves the state. 0, or 1 when the state could not be saved.
  int Run();

  // Ends Run from any thread.
  void Stop();

  // "vkb-<pid>": the stem of every socket file of this keyboard.
  const std::string& Name() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace keyloft::emu
