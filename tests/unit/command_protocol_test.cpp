#include "device/command_protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "device_fixture.h"
#include "model/default_key_map.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::VirtualKeyboard;

std::vector<uint8_t> Report(std::initializer_list<uint8_t> head) {
  std::vector<uint8_t> r(head);
  r.resize(kCommandReportBytes, 0);
  return r;
}

class CommandProtocol : public ::testing::Test {
 protected:
  explicit CommandProtocol(int model = 1) : keyboard_(model), device_(keyboard_.Config(), keyboard_.LockFolder()) {
    EXPECT_TRUE(test::ConnectDirectly(device_));
    keyboard_.ClearTrace();
  }

  VirtualKeyboard keyboard_;
  test::TestDevice device_;
  CommandChannel channel_{device_};
};

TEST_F(CommandProtocol, ReportsAreByteExact) {
  EXPECT_EQ(channel_.DevBegin(), DevResult::Ok);
  InfoBlock info;
  EXPECT_EQ(channel_.DevReadInfo(info.bytes), DevResult::Ok);
  const uint8_t one = 0x01;
  EXPECT_EQ(channel_.DevWriteParams(std::span(&one, 1), 19), DevResult::Ok);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel_.DevEnd(), DevResult::Ok);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 10ms);  // the end waits a moment

  auto commands = keyboard_.Commands();
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0], Report({0x04, 0x01, 0x00, 0x01}));
  EXPECT_EQ(commands[1], Report({0x04, 0x2F, 0x00, 0x03, 0x2C}));
  EXPECT_EQ(commands[2], Report({0x04, 0x1B, 0x00, 0x06, 0x01, 0x13, 0x00, 0x00, 0x01}));
  EXPECT_EQ(commands[3], Report({0x04, 0x02, 0x00, 0x02}));
  EXPECT_EQ(info.activeProfile(), 0);
  EXPECT_EQ(info.macroBlocks(), 64);
}

struct ChunkCase {
  int model;
  int profile;
  std::vector<std::pair<int, int>> offsetsAndLengths;
};

class KeyMapChunks : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(KeyMapChunks, ReadsTheProfileInChunksOf56) {
  VirtualKeyboard keyboard(GetParam().model);
  test::TestDevice device(keyboard.Config(), keyboard.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(device));
  keyboard.ClearTrace();
  CommandChannel channel(device);
  std::vector<uint8_t> keyMap(kDefaultKeyMapBytes, 0xEE);
  ASSERT_EQ(channel.DevReadKeyMap(keyMap, GetParam().profile), DevResult::Ok);

  std::vector<std::pair<int, int>> sent;
  for (const auto& c : keyboard.Commands()) {
    EXPECT_EQ(c[3], CMD_READ_KEYMAP);
    sent.emplace_back(c[5] | c[6] << 8, c[4]);
  }
  EXPECT_EQ(sent, GetParam().offsetsAndLengths);
  // A fresh keyboard holds the factory key map in every profile.
  const auto& factory = BuiltInDefaultKeyMap();
  size_t bytes = device.keyMapBytes;
  EXPECT_TRUE(std::equal(factory.begin(), factory.begin() + static_cast<long>(bytes), keyMap.begin()));
  EXPECT_EQ(keyMap[bytes], 0xEE);  // nothing written past the key map
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, KeyMapChunks,
    ::testing::Values(ChunkCase{2, 2, {{0x400, 56}, {0x438, 56}, {0x470, 56}, {0x4A8, 56}, {0x4E0, 56}, {0x518, 56}, {0x550, 48}}},
                      ChunkCase{1, 1, {{0x17A, 56}, {0x1B2, 56}, {0x1EA, 56}, {0x222, 56}, {0x25A, 56}, {0x292, 56}, {0x2CA, 42}}}));

TEST_F(CommandProtocol, RefusesWhatItCannotSendWithoutSendingIt) {
  std::vector<uint8_t> buf(512);
  EXPECT_EQ(channel_.DevReadKeyMap(buf, 3), DevResult::BadProfile);
  EXPECT_EQ(channel_.DevReadKeyMap(buf, -1), DevResult::BadProfile);
  EXPECT_EQ(channel_.DevWriteKeyMap(buf, 3), DevResult::BadProfile);
  EXPECT_EQ(channel_.DevReadMacros({}), DevResult::Ok);
  EXPECT_EQ(channel_.DevWriteMacros({}), DevResult::Ok);
  EXPECT_EQ(channel_.DevWriteParams(std::span(buf).first(57), 0), DevResult::WriteFailed);
  EXPECT_TRUE(keyboard_.Commands().empty());

  device_.deviceConnected = false;  // not connected: nothing reaches the link
  InfoBlock info;
  EXPECT_EQ(channel_.DevBegin(), DevResult::NoReply);
  EXPECT_EQ(channel_.DevReadInfo(info.bytes), DevResult::NoReply);
  EXPECT_TRUE(keyboard_.Trace().empty());
}

TEST_F(CommandProtocol, KeyColoursGoToTheLightingProfilesImage) {
  std::vector<uint8_t> colours(54, 0x80);
  ASSERT_EQ(channel_.DevBegin(), DevResult::Ok);
  EXPECT_EQ(channel_.DevWriteKeyColours(colours, 18, 1), DevResult::Ok);
  auto commands = keyboard_.Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1][3], CMD_WRITE_KEY_COLOURS);
  EXPECT_EQ(commands[1][4], 54);
  EXPECT_EQ(commands[1][5], 0x36);
  EXPECT_EQ(commands[1][6], 0x02);
}

TEST_F(CommandProtocol, ARefusalLeavesTheDestinationAlone) {
  InfoBlock info;
  info.bytes.fill(0xAA);
  ASSERT_EQ(keyboard_.Control("refuse fe"), "ok");
  EXPECT_EQ(channel_.DevReadInfo(info.bytes), DevResult::StatusFE);
  EXPECT_EQ(info.bytes[10], 0xAA);
  ASSERT_EQ(keyboard_.Control("refuse ff"), "ok");
  EXPECT_EQ(channel_.DevReadInfo(info.bytes), DevResult::StatusFF);
  EXPECT_EQ(info.bytes[10], 0xAA);
  // A write outside a bracket is the keyboard's own refusal.
  ASSERT_EQ(keyboard_.Control("refuse off"), "ok");
  const uint8_t one = 1;
  EXPECT_EQ(channel_.DevWriteParams(std::span(&one, 1), 0), DevResult::StatusFF);
}

TEST_F(CommandProtocol, ASilentKeyboardGetsFourAttempts) {
  ASSERT_EQ(keyboard_.Control("silent on"), "ok");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel_.DevBegin(), DevResult::NoReply);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 4 * 290ms);
  EXPECT_LT(elapsed, 4 * 600ms);
  ASSERT_EQ(keyboard_.Control("silent off"), "ok");  // the trace is written up to here
  auto commands = keyboard_.Commands();
  ASSERT_EQ(commands.size(), 4u);
  for (const auto& c : commands) EXPECT_EQ(c, Report({0x04, 0x01, 0x00, 0x01}));
}

TEST_F(CommandProtocol, ALateReplyIsNeverTakenForTheNextAnswer) {
  // The first attempt times out; its answer comes while the second waits, and
  // the second attempt's own answer arrives after the exchange is over.
  ASSERT_EQ(keyboard_.Control("latency 400"), "ok");
  InfoBlock info;
  ASSERT_EQ(channel_.DevReadInfo(info.bytes), DevResult::Ok);
  auto deadline = std::chrono::steady_clock::now() + 3s;
  auto replies = [&] {
    int n = 0;
    for (const auto& r : keyboard_.Trace()) n += !r.out && r.bytes.size() > 3 && r.bytes[3] == CMD_READ_INFO;
    return n;
  };
  while (replies() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(replies(), 2);
  ASSERT_EQ(keyboard_.Control("latency 0"), "ok");

  std::array<uint8_t, kCommandPayloadBytes> params{};
  ASSERT_EQ(channel_.DevReadParams(params, 8, 0), DevResult::Ok);
  EXPECT_EQ(params[0], 1);  // effect 1 and brightness 4 of profile 1's block, not the information block
  EXPECT_EQ(params[1], 4);
}

TEST_F(CommandProtocol, TwoProgramsNeverTakeEachOthersReplies) {
  // Both links receive every reply of the interface, as on a real keyboard.
  test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(other));
  CommandChannel otherChannel(other);
  auto hammer = [](CommandChannel& channel, bool params) {
    for (int i = 0; i < 40; ++i) {
      if (params) {
        std::array<uint8_t, kCommandPayloadBytes> p{};
        if (channel.DevReadParams(p, 4, 42) != DevResult::Ok || p[0] != 1 || p[1] != 4) return false;
      } else {
        InfoBlock info;
        if (channel.DevReadInfo(info.bytes) != DevResult::Ok || info.macroBlocks() != 64 || info.effects()[0] != 1) return false;
      }
    }
    return true;
  };
  auto a = std::async(std::launch::async, hammer, std::ref(channel_), false);
  auto b = std::async(std::launch::async, hammer, std::ref(otherChannel), true);
  EXPECT_TRUE(a.get());
  EXPECT_TRUE(b.get());
}

TEST_F(CommandProtocol, AnotherProgramWaitsForTheEndOfABracket) {
  test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(other));
  CommandChannel otherChannel(other);
  ASSERT_EQ(channel_.DevBegin(), DevResult::Ok);
  auto read = std::async(std::launch::async, [&] {
    InfoBlock info;
    return otherChannel.DevReadInfo(info.bytes);
  });
  EXPECT_EQ(read.wait_for(200ms), std::future_status::timeout);  // held off while the bracket is open
  std::array<uint8_t, kCommandPayloadBytes> params{};
  EXPECT_EQ(channel_.DevReadParams(params, 8, 0), DevResult::Ok);  // this program's own commands go on
  ASSERT_EQ(channel_.DevEnd(), DevResult::Ok);
  EXPECT_EQ(read.get(), DevResult::Ok);
  EXPECT_EQ(device_.bracketsOpen, 0);
}

// A sequence reads what it will write: between its exchanges, outside any
// bracket, another program still cannot get in.
TEST_F(CommandProtocol, ASequenceIsOneTurnAtTheKeyboard) {
  test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(other));
  CommandChannel otherChannel(other);
  std::future<DevResult> read;
  {
    DeviceSequence sequence(device_, DeviceSequence::Fresh);
    InfoBlock info;
    ASSERT_EQ(channel_.DevReadInfo(info.bytes), DevResult::Ok);
    read = std::async(std::launch::async, [&] {
      InfoBlock theirs;
      return otherChannel.DevReadInfo(theirs.bytes);
    });
    EXPECT_EQ(read.wait_for(200ms), std::future_status::timeout);
    ASSERT_EQ(channel_.DevBegin(), DevResult::Ok);
    ASSERT_EQ(channel_.DevWriteInfo(info.bytes), DevResult::Ok);
    ASSERT_EQ(channel_.DevEnd(), DevResult::Ok);
    EXPECT_EQ(read.wait_for(100ms), std::future_status::timeout);  // the bracket's end is not the turn's
  }
  EXPECT_EQ(read.get(), DevResult::Ok);
}

TEST_F(CommandProtocol, ATurnKeptPastTheWaitIsInUseOncePerSequence) {
  test::TestDevice other(keyboard_.Config(), keyboard_.LockFolder());
  ASSERT_TRUE(test::ConnectDirectly(other));
  other.keyboardWait = 100ms;
  CommandChannel otherChannel(other);
  auto otherSequence = [&] {
    DeviceSequence sequence(other, DeviceSequence::Fresh);
    InfoBlock info;
    const DevResult first = otherChannel.DevReadInfo(info.bytes);
    const auto start = std::chrono::steady_clock::now();
    const DevResult second = otherChannel.DevBegin();
    return std::tuple(first, second, std::chrono::steady_clock::now() - start);
  };
  {
    KeyboardHold hold(device_);
    InfoBlock info;
    ASSERT_EQ(channel_.DevReadInfo(info.bytes), DevResult::Ok);
    const auto [first, second, secondTook] = std::async(std::launch::async, otherSequence).get();
    EXPECT_EQ(first, DevResult::InUse);
    EXPECT_EQ(second, DevResult::InUse);
    EXPECT_LT(secondTook, 50ms) << "the wait is not sat out again within the sequence";
    EXPECT_EQ(other.bracketsOpen, 0);
  }
  // Once the turn is over, the next sequence gets the keyboard.
  const auto [first, second, secondTook] = std::async(std::launch::async, otherSequence).get();
  EXPECT_EQ(first, DevResult::Ok);
  EXPECT_EQ(second, DevResult::Ok);
}

TEST(CommandReport, ChecksumCoversBytes3To63) {
  CommandReport r;
  r.SetHeader(CMD_WRITE_PARAMS, 56, 0xFFFF);
  for (auto& b : r.payload()) b = 0xFF;
  r.FillChecksum();
  uint32_t sum = 6 + 56 + 0xFF + 0xFF + 56 * 0xFF;
  EXPECT_EQ(r.bytes[1], sum & 0xFF);
  EXPECT_EQ(r.bytes[2], (sum >> 8) & 0xFF);
  EXPECT_EQ(r.offset(), 0xFFFF);
}

}  // namespace
}  // namespace keyloft
