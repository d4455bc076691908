#include "device/input_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device_fixture.h"
#include "recording_events.h"
#include "wait.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::RecordingEvents;
using test::WaitUntil;
using test::VirtualKeyboard;

struct ReactionCase {
  uint16_t usage;
  std::vector<std::string> events;
};

TEST(KeyboardEvents, EachUsageHasItsReaction) {
  const ReactionCase cases[] = {
      {0x0401, {"lighting changed"}}, {0x0402, {"profile changed"}}, {0x1811, {"macro playing"}},
      {0x1810, {"macro stopped"}}, {0x1803, {}},             {0x0000, {}},
  };
  for (const auto& c : cases) {
    RecordingEvents events;
    ReactToKeyboardEvent(c.usage, events);
    EXPECT_EQ(events.Events(), c.events) << std::hex << c.usage;
  }
}

TEST(TrayIconState, TheMacroIconGivesWayToTheIconShownBefore) {
  TrayIconState tray;
  EXPECT_EQ(tray.Shown(), TrayIcon::Disconnected);
  tray.Show(TrayIcon::Connected, true);
  EXPECT_EQ(tray.ShowMacroPlaying(true), TrayIcon::MacroPlaying);
  EXPECT_EQ(tray.ShowMacroPlaying(false), TrayIcon::Connected);
  tray.Show(TrayIcon::Disconnected, true);
  EXPECT_EQ(tray.ShowMacroPlaying(false), TrayIcon::Disconnected);
}

class Listener : public ::testing::Test {
 protected:
  Listener() : listener_(keyboard_.Config(), DeviceIdentities(KeyboardModels()), events_) {
    listener_.Start();
    EXPECT_TRUE(WaitUntil([&] { return listener_.Listening(); }));
  }

  VirtualKeyboard keyboard_;
  RecordingEvents events_;
  InputListener listener_;
};

TEST_F(Listener, FollowsTheKeyboardsOwnEvents) {
  ASSERT_EQ(keyboard_.Control("profile 2"), "ok");  // 0x0402, then a release
  ASSERT_EQ(keyboard_.Control("lighting"), "ok");   // 0x0401, then a release
  ASSERT_EQ(keyboard_.Control("macro-start"), "ok");
  ASSERT_EQ(keyboard_.Control("macro-stop"), "ok");
  ASSERT_TRUE(events_.WaitFor("macro stopped"));
  EXPECT_EQ(events_.Events(), (std::vector<std::string>{"profile changed", "lighting changed", "macro playing", "macro stopped"}));
}

TEST_F(Listener, ListensAgainAfterTheKeyboardReturns) {
  ASSERT_EQ(keyboard_.Control("unplug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return !listener_.Listening(); }));
  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return listener_.Listening(); }));
  ASSERT_EQ(keyboard_.Control("reset"), "ok");
  EXPECT_TRUE(events_.WaitFor("profile changed"));
}

TEST_F(Listener, StopEndsAReadThatWaitsWithoutLimit) {
  auto start = std::chrono::steady_clock::now();
  listener_.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(listener_.Running());
}

TEST(ListenerLayouts, ASharedInterfaceStillGivesOnlyConsumerReports) {
  VirtualKeyboard keyboard(1, emu::Layout::kShared);
  RecordingEvents events;
  InputListener listener(keyboard.Config(), DeviceIdentities(KeyboardModels()), events);
  listener.Start();
  ASSERT_TRUE(WaitUntil([&] { return listener.Listening(); }));
  // Command replies travel on the same node; none of them is a keyboard event.
  test::TestDevice device(keyboard.Config(), keyboard.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(device));
  EXPECT_EQ(device.commandLink.Info().interfaceNumber, 1u);
  CommandChannel channel(device);
  InfoBlock info;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(channel.DevReadInfo(info.bytes), DevResult::Ok);
  ASSERT_EQ(keyboard.Control("profile 3"), "ok");
  ASSERT_TRUE(events.WaitFor("profile changed"));
  EXPECT_EQ(events.Events(), (std::vector<std::string>{"profile changed"}));
}

}  // namespace
}  // namespace keyloft
