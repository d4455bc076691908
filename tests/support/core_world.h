// A whole core over an in-process virtual keyboard, its files in a temporary
// home and its sequences on their own thread, with a recording user interface:
// the world of a test of the sequences and the editing API.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_ui.h"
#include "store/profile_file.h"
#include "sync/core.h"
#include "sync/thread_executor.h"
#include "temp_dir.h"
#include "virtual_keyboard.h"
#include "wait.h"

namespace keyloft::test {

class CoreWorld {
 public:
  // assets: the folder of the language file and the skins (the program folder).
  explicit CoreWorld(std::filesystem::path assets, int model = 1) : keyboard_(model) {
    paths_.programFolder = std::move(assets);
    paths_.dataHome = home_ / "data";
    paths_.stateHome = home_ / "state";
    paths_.configHome = home_ / "config";
    paths_.runtimeFolder = keyboard_.LockFolder();
  }
  virtual ~CoreWorld() {
    if (core_) core_->Stop();
  }

  // The core, made on first use; started, it has connected and settled.
  KeyloftCore& Core(bool start = true) {
    if (!core_) {
      core_ = std::make_unique<KeyloftCore>(paths_, keyboard_.Config(), CorePorts{executor_, ui_.Ports()},
                                            CoreOptions{true, MonitorTiming{5, 20}, true});
      if (start) {
        core_->Start();
        // The tray icon is the monitor's last word on an arrival: once it is
        // shown, nothing of the arrival is still on its way to the log.
        WaitUntil([&] { return ui_.Saw("tray connected"); });
        executor_.Drain();
      }
    }
    return *core_;
  }
  Executor& SequenceThread() { return executor_; }
  HidTransportConfig Transport() const { return keyboard_.Config(); }
  const std::filesystem::path& Home() const { return home_.Path(); }
  // Runs on the sequences' thread, as the program's sequences do.
  void OnUiThread(const std::function<void()>& task) { executor_.RunAndWait(task); }
  // The command numbers the host wrote since the trace was cleared.
  std::vector<uint8_t> CommandNumbers() {
    std::vector<uint8_t> numbers;
    for (const auto& c : keyboard_.Commands()) numbers.push_back(c[3]);
    return numbers;
  }
  std::filesystem::path WorkingFile() { return WorkingProfileFile(UserDataFolder(paths_)); }
  std::string Scheme(int p) {
    return TempDir::ReadFile(UserDataFolder(paths_) / ("UserDengColor_" + std::to_string(p) + ".userd"));
  }

 protected:
  TempDir home_;
  VirtualKeyboard keyboard_;
  Paths paths_;
  ThreadExecutor executor_;
  FakeUi ui_;
  std::unique_ptr<KeyloftCore> core_;
};

}  // namespace keyloft::test
