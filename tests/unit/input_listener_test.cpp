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
      {0x0401, {"timer 1051"}}, {0x0402, {"timer 1053"}}, {0x1811, {"icon state 1"}},
      {0x1810, {"icon state 0"}}, {0x1803, {}},             {0x0000, {}},
  };
  for (const auto& c : cases) {
    RecordingEvents events;
    ReactToKeyboardEvent(c.usage, events);
    EXPECT_EQ(events.Events(), c.events) << std::hex << c.usage;
  }
}

TEST(TrayIconState, TheMacroIconGivesWayToTheIconShownBefore) {
  TrayIconState tray;
  EXPECT_EQ(tray.Shown(), kIconDisconnected);
  tray.Show(kIconConnected, true);
  EXPECT_EQ(tray.ShowState(1), kIconMacroPlaying);
  EXPECT_EQ(tray.ShowState(0), kIconConnected);
  tray.Show(kIconDisconnected, true);
  EXPECT_EQ(tray.ShowState(0), kIconDisconnected);
}

class Listener : public ::testing::Test {
 protected:
  Listener() : listener_(keyboard_.Config(), events_) {
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
  ASSERT_TRUE(events_.WaitFor("icon state 0"));
  EXPECT_EQ(events_.Events(), (std::vector<std::string>{"timer 1053", "timer 1051", "icon state 1", "icon state 0"}));
}

TEST_F(Listener, ListensAgainAfterTheKeyboardReturns) {
  ASSERT_EQ(keyboard_.Control("unplug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return !listener_.Listening(); }));
  ASSERT_EQ(keyboard_.Control("plug"), "ok");
  ASSERT_TRUE(WaitUntil([&] { return listener_.Listening(); }));
  ASSERT_EQ(keyboard_.Control("reset"), "ok");
  EXPECT_TRUE(events_.WaitFor("timer 1053"));
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
  InputListener listener(keyboard.Config(), events);
  listener.Start();
  ASSERT_TRUE(WaitUntil([&] { return listener.Listening(); }));
  // Command replies travel on the same node; none of them is a keyboard event.
  DeviceContext device(keyboard.Config(), keyboard.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(device));
  EXPECT_EQ(device.commandLink.interfaceNumber, 1u);
  CommandChannel channel(device);
  InfoBlock info;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(channel.DevReadInfo(info.bytes), DEV_OK);
  ASSERT_EQ(keyboard.Control("profile 3"), "ok");
  ASSERT_TRUE(events.WaitFor("timer 1053"));
  EXPECT_EQ(events.Events(), (std::vector<std::string>{"timer 1053"}));
}

}  // namespace
}  // namespace keyloft
