// The running keyloft's side of the control socket. It accepts keyloftctl's
// connections from this user only (the peer's uid, from SO_PEERCRED) and runs
// each command as keyloftctl would, on the program's core: its sequences on
// the program's sequence thread, so they queue behind the windows' and the
// windows see what they change. Output goes back as it is written.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sync/core.h"
#include "sync/ports.h"

namespace keyloft::cli {

class ControlServer {
 public:
  // transportKey: TransportKey of the keyboard the program serves; a request
  // for another is declined, and keyloftctl serves it itself.
  ControlServer(KeyloftCore& core, Executor& executor, std::string transportKey);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens on path (a file left there by a copy that crashed goes first).
  // False, with why, when it cannot.
  bool Start(const std::filesystem::path& path, std::string& error);
  // Ends the accept thread and every connection (a command that is running
  // finishes first) and removes the socket file.
  void Stop();

  // Called on a connection's thread after each command that ran. The windows
  // redraw from the state the command left.
  void SetAfterCommand(std::function<void()> afterCommand) { afterCommand_ = std::move(afterCommand); }
  // Which uid a connection must come from; tests set another to see a refusal.
  void SetAllowedUid(uid_t uid) { allowedUid_ = uid; }

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(Connection& connection);
  void ReapFinished();

  KeyloftCore& core_;
  Executor& executor_;
  std::string transportKey_;
  std::function<void()> afterCommand_;
  uid_t allowedUid_;
  std::filesystem::path path_;
  int listenFd_ = -1;
  int cancelFd_ = -1;  // an eventfd: readable once Stop began
  std::thread acceptThread_;
  std::mutex connectionsMutex_;
  std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace keyloft::cli
