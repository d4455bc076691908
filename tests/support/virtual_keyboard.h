// A virtual keyboard served in-process over a temporary vhid folder, with its
// trace, for tests of everything that talks to the keyboard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/hid_backend.h"
#include "emu/server.h"
#include "temp_dir.h"
#include "trace_file.h"

namespace keyloft::test {

class VirtualKeyboard {
 public:
  // macroBlocks: the macro area's size in 128-byte blocks, as the firmware keeps it.
  explicit VirtualKeyboard(int model = 1, emu::Layout layout = emu::Layout::kSplit,
                           int macroBlocks = emu::kDefaultMacroBlocks);
  ~VirtualKeyboard();

  const std::filesystem::path& Folder() const { return dir_.Path(); }
  HidTransportConfig Config() const { return HidTransportConfig::Vhid(dir_.Path()); }
  // A folder for lock files, private to the test.
  std::filesystem::path LockFolder() const { return dir_ / "run"; }

  // A ctl command ("profile 2", "unplug", ...); returns the keyboard's answer.
  std::string Control(const std::string& line);

  // Every report traced since the last ClearTrace, in order. A line is in the
  // trace once the keyboard has answered it.
  std::vector<TracedReport> Trace() const { return trace_.Reports(); }
  // Only the command reports the host wrote.
  std::vector<std::vector<uint8_t>> Commands() const { return trace_.Commands(); }
  void ClearTrace() { trace_.Clear(); }

 private:
  TempDir dir_;
  TraceFile trace_;
  std::unique_ptr<emu::Server> server_;
  std::thread thread_;
};

}  // namespace keyloft::test
