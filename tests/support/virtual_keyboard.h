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

namespace keyloft::test {

struct TracedReport {
  bool out = false;  // host to keyboard
  std::vector<uint8_t> bytes;
};

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
  std::vector<TracedReport> Trace() const;
  // Only the command reports the host wrote.
  std::vector<std::vector<uint8_t>> Commands() const;
  void ClearTrace();

 private:
  TempDir dir_;
  std::filesystem::path trace_;
  size_t traceMark_ = 0;  // trace lines before the last ClearTrace
  std::unique_ptr<emu::Server> server_;
  std::thread thread_;
};

}  // namespace keyloft::test
