#include "device/connection.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device_fixture.h"
#include "recording_events.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::RecordingEvents;
using test::VirtualKeyboard;

TEST(KeyboardIds, ComeFromTheIdentifierPart) {
  EXPECT_EQ(ParseVid("/dev/hidraw3#VID_0C45&pid_652f&mi_02&col01"), 0x0C45);
  EXPECT_EQ(ParsePid("/dev/hidraw3#VID_0C45&PID_652F&mi_02&col01"), 0x652F);
  EXPECT_EQ(ParseVid("/tmp/covid_data/kb.sock#pid_652f"), 0);  // a folder name is no identifier
  test::TestDevice device({}, {});
  EXPECT_TRUE(device.FindKeyboard(0x0C45, 0x652F));
  EXPECT_TRUE(device.FindKeyboard(0x320F, 0x5064));
  EXPECT_FALSE(device.FindKeyboard(0x0C45, 0x5064));
}

constexpr MonitorTiming kFast{10, 50};

class Monitor : public ::testing::Test {
 protected:
  explicit Monitor(int model = 1) : keyboard_(model), device_(keyboard_.Config(), keyboard_.LockFolder()) {}

  VirtualKeyboard keyboard_;
  test::TestDevice device_;
  RecordingEvents events_;
};

TEST_F(Monitor, ReportsAnArrivalOnceAndOpensTheWindow) {
  CommandChannel channel(device_);
  int readBackProfile = -2;
  events_.onConnected = [&] { readBackProfile = GetActiveProfile(device_, channel); };  // the program talks inside
  ASSERT_EQ(keyboard_.Control("profile 2"), "ok");
  ConnectionMonitor monitor(device_, events_);
  monitor.Start();
  ASSERT_TRUE(events_.WaitFor("icon connected"));
  ASSERT_TRUE(events_.WaitFor("open"));
  EXPECT_EQ(events_.Events(), (std::vector<std::string>{"connected", "icon connected", "open"}));
  EXPECT_EQ(readBackProfile, 1);
  EXPECT_TRUE(device_.deviceConnected);
  EXPECT_EQ(device_.keyMapBytes, 378u);
  EXPECT_EQ(device_.macroCapacity, 64u * 128);
  EXPECT_NE(device_.commandLink.Path().find("&mi_02&col01"), std::string::npos);
  monitor.Stop();
  EXPECT_EQ(events_.Count("connected"), 1u);
}

TEST_F(Monitor, NoticesARemovalAtOnce) {
  ConnectionMonitor monitor(device_, events_, false, kFast);
  monitor.Start();
  ASSERT_TRUE(events_.WaitFor("icon connected"));
  CommandChannel channel(device_);
  ASSERT_EQ(GetActiveProfile(device_, channel), 0);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(keyboard_.Control("unplug"), "ok");
  ASSERT_TRUE(events_.WaitFor("icon disconnected"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(device_.activeProfileCache, -1);
  InfoBlock info;
  EXPECT_EQ(channel.DevReadInfo(info.bytes), DevResult::NoReply);

  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(events_.WaitFor("icon connected", 2));
  EXPECT_EQ(channel.DevReadInfo(info.bytes), DevResult::Ok);
  EXPECT_EQ(events_.Count("open"), 1u);  // only the first report opens the window
}

TEST_F(Monitor, StartedWithoutAKeyboardNeverOpensTheWindow) {
  ASSERT_EQ(keyboard_.Control("unplug"), "ok");
  ConnectionMonitor monitor(device_, events_, false, kFast);
  monitor.Start();
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!monitor.InitialReportDone() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(monitor.InitialReportDone());
  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(events_.WaitFor("icon connected"));
  EXPECT_EQ(events_.Count("open"), 0u);
}

TEST_F(Monitor, ADefaultKeyMapThatCannotBeReadKeepsTheOldOne) {
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  device_.defaultKeyMap.fill(0x5A);
  ConnectionMonitor monitor(device_, events_, true, kFast);
  monitor.Start();
  ASSERT_TRUE(events_.WaitFor("icon connected"));
  EXPECT_EQ(events_.Events(), (std::vector<std::string>{"notify MAIN_DEFAULT_MATRIX_PROMPT", "connected", "icon connected"}));
  EXPECT_EQ(device_.defaultKeyMap[0], 0x5A);
  EXPECT_EQ(device_.macroCapacity, 0u);
}

// Reports the first model's identifiers when listing, whatever the device says when opened.
class MislabelledBackend : public HidBackend {
 public:
  explicit MislabelledBackend(std::filesystem::path folder) : inner_(MakeVhidBackend(std::move(folder))) {}
  bool Enumerate(std::vector<HidNodeInfo>& nodes) override {
    bool ok = inner_->Enumerate(nodes);
    for (auto& n : nodes) n.vendorId = 0x0C45, n.productId = 0x652F;
    return ok;
  }
  std::unique_ptr<HidDevice> Open(const std::string& node, bool r, bool w, bool x, HidNodeInfo& info) override {
    return inner_->Open(node, r, w, x, info);
  }

 private:
  std::unique_ptr<HidBackend> inner_;
};

TEST(MonitorModels, TheDevicesOwnIdentifiersDecideTheSizes) {
  VirtualKeyboard keyboard(2);
  HidTransportConfig config = keyboard.Config();
  config.makeBackend = [folder = keyboard.Folder()] { return std::make_unique<MislabelledBackend>(folder); };
  test::TestDevice device(config, keyboard.LockFolder());
  RecordingEvents events;
  ConnectionMonitor monitor(device, events, true, kFast);
  monitor.Start();
  ASSERT_TRUE(events.WaitFor("icon connected"));
  EXPECT_NE(device.commandLink.Path().find("vid_0c45&pid_652f"), std::string::npos);
  EXPECT_EQ(device.commandLink.Info().vendorId, 0x320F);
  EXPECT_EQ(device.keyMapBytes, 384u);
  EXPECT_EQ(device.keyMapStride, 512u);
}

TEST_F(Monitor, SetActiveProfileWritesTheRestOfTheBlockBack) {
  CommandChannel channel(device_);
  ASSERT_TRUE(test::ConnectDirectly(device_));
  keyboard_.ClearTrace();
  ASSERT_EQ(SetActiveProfile(device_, channel, 2), DevResult::Ok);
  auto commands = keyboard_.Commands();
  ASSERT_EQ(commands.size(), 2u);
  std::vector<uint8_t> readBack;
  for (const auto& r : keyboard_.Trace()) {
    if (!r.out && r.bytes[3] == CMD_READ_INFO) readBack.assign(r.bytes.begin() + 8, r.bytes.begin() + 52);
  }
  std::vector<uint8_t> written(commands[1].begin() + 8, commands[1].begin() + 52);
  ASSERT_EQ(readBack.size(), 44u);
  EXPECT_EQ(written[10], 2);
  readBack[10] = 2;
  EXPECT_EQ(written, readBack);

  keyboard_.ClearTrace();
  EXPECT_EQ(GetActiveProfile(device_, channel), 2);
  EXPECT_TRUE(keyboard_.Commands().empty());  // answered from the cache

  EXPECT_EQ(SetActiveProfile(device_, channel, 3), DevResult::StatusFF);  // the keyboard refuses it
  EXPECT_EQ(device_.activeProfileCache, -1);
  EXPECT_EQ(GetActiveProfile(device_, channel), 2);
}

size_t OpenDescriptors() {
  size_t n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

TEST_F(Monitor, AThousandPlugCyclesLeakNothing) {
  ConnectionMonitor monitor(device_, events_, true, MonitorTiming{2, 2});
  monitor.Start();
  ASSERT_TRUE(events_.WaitFor("icon connected"));
  const size_t before = OpenDescriptors();
  constexpr size_t kCycles = 1000;
  for (size_t i = 1; i <= kCycles; ++i) {
    ASSERT_EQ(keyboard_.Control("unplug"), "ok");
    ASSERT_TRUE(events_.WaitFor("icon disconnected", i));
    ASSERT_EQ(keyboard_.Control("plug"), "ok");
    ASSERT_TRUE(events_.WaitFor("icon connected", i + 1));
  }
  EXPECT_EQ(OpenDescriptors(), before);
  monitor.Stop();
  EXPECT_FALSE(monitor.Running());
}

}  // namespace
}  // namespace keyloft
