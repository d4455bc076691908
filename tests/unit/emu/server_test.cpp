#include "emu/server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "emu/bytes.h"
#include "emu/control.h"
#include "emu_test_support.h"
#include "temp_dir.h"

namespace keyloft::emu {
namespace {

using namespace std::chrono_literals;
using keyloft::test::TempDir;
using test::Bytes;
using test::CommandReport;
using test::FilesEndingIn;
using test::VhidHost;
using Clock = std::chrono::steady_clock;

// A keyboard served in-process on its own thread, in a temporary folder.
class ServedKeyboard {
 public:
  explicit ServedKeyboard(const std::filesystem::path& folder, ServerOptions options = {},
                          std::optional<Firmware> firmware = std::nullopt)
      : folder_(folder) {
    options.folder = folder;
    if (!firmware) firmware.emplace(*FindModel(1), kDefaultMacroBlocks);
    server_ = std::make_unique<Server>(std::move(*firmware), std::move(options));
    started_ = server_->Start(error_);
    if (started_) thread_ = std::thread([this] { exitCode_ = server_->Run(); });
  }
  ~ServedKeyboard() { Stop(); }

  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }
  int Stop() {
    if (thread_.joinable()) {
      server_->Stop();
      thread_.join();
    }
    return exitCode_;
  }
  std::filesystem::path Socket(int interfaceNumber) const {
    return folder_ / (server_->Name() + "-mi_0" + std::to_string(interfaceNumber) + ".sock");
  }
  std::string Name() const { return server_->Name(); }
  std::string Ctl(std::string_view line) const {
    ControlAnswer answer = SendControl(folder_ / (server_->Name() + ".ctl"), line);
    return answer.delivered ? answer.text : "<no answer: " + answer.text + ">";
  }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
  bool started_ = false;
  std::string error_;
  int exitCode_ = -1;
};

uint8_t StatusOf(const std::optional<Bytes>& reply) { return reply && reply->size() == 64 ? (*reply)[7] : 0; }

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(VhidServer, EveryInterfaceGreetsAHostWithItsHello) {
  TempDir dir;
  ServerOptions options;
  ServedKeyboard kb(dir.Path(), options, Firmware(*FindModel(2), kDefaultMacroBlocks));
  ASSERT_TRUE(kb.Started()) << kb.Error();
  const std::string stem = "vkb-" + std::to_string(::getpid());
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".sock"),
            (std::vector<std::string>{stem + "-mi_00.sock", stem + "-mi_01.sock", stem + "-mi_02.sock"}));
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".ctl"), (std::vector<std::string>{stem + ".ctl"}));

  for (int mi : {0, 1, 2}) {
    VhidHost host(kb.Socket(mi));
    ASSERT_TRUE(host.Connected()) << "mi_0" << mi;
    EXPECT_EQ(host.Hello(), HelloMessage(*FindModel(2), mi, ReportDescriptor(mi, Layout::kSplit))) << "mi_0" << mi;
  }
}

TEST(VhidServer, AnswersCommandsAndTracesEveryReport) {
  TempDir dir;
  ServerOptions options;
  options.tracePath = dir / "trace.txt";
  ServedKeyboard kb(dir.Path(), options);
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost vendor(kb.Socket(2));
  VhidHost consumer(kb.Socket(1));
  ASSERT_TRUE(vendor.Connected() && consumer.Connected());

  const Bytes request = CommandReport(CMD_READ_INFO, 44);
  ASSERT_TRUE(vendor.Send(request));
  auto reply = vendor.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ((*reply)[8 + 11], kDefaultMacroBlocks);
  EXPECT_EQ(kb.Ctl("profile 2"), "ok");
  ASSERT_TRUE(consumer.Receive());
  ASSERT_TRUE(consumer.Receive());

  const std::string trace = ReadText(dir / "trace.txt");
  const std::string expected = "out " + ToHex(request) + "\nin " + ToHex(*reply) + "\nin 030204\nin 030000\n";
  EXPECT_EQ(trace, expected);
  EXPECT_TRUE(trace.starts_with("out 042f00032c000000"));
}

TEST(VhidServer, EveryHostOfAnInterfaceGetsEveryInputReport) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost listenerA(kb.Socket(1)), listenerB(kb.Socket(1));
  VhidHost commanderA(kb.Socket(2)), commanderB(kb.Socket(2));

  ASSERT_EQ(kb.Ctl("profile 2"), "ok");
  for (VhidHost* host : {&listenerA, &listenerB}) {
    EXPECT_EQ(host->Receive(), (Bytes{0x03, 0x02, 0x04}));
    EXPECT_EQ(host->Receive(), (Bytes{0x03, 0x00, 0x00}));
  }
  ASSERT_TRUE(commanderA.Send(CommandReport(CMD_READ_INFO, 44)));
  for (VhidHost* host : {&commanderA, &commanderB}) {
    auto reply = host->Receive();
    ASSERT_EQ(StatusOf(reply), kStatusAccepted);
    EXPECT_EQ((*reply)[8 + 10], 1) << "profile 2 is index 1";
  }
  EXPECT_NE(kb.Ctl("dump").find("\"active_profile\": 1"), std::string::npos);
}

TEST(VhidServer, KeyboardEventsReportTheirUsagesThenARelease) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost consumer(kb.Socket(1));
  const std::pair<const char*, Bytes> cases[] = {
      {"lighting", {0x03, 0x01, 0x04}},
      {"reset", {0x03, 0x02, 0x04}},
      {"macro-start", {0x03, 0x11, 0x18}},
      {"macro-stop", {0x03, 0x10, 0x18}},
  };
  for (const auto& [command, report] : cases) {
    ASSERT_EQ(kb.Ctl(command), "ok") << command;
    EXPECT_EQ(consumer.Receive(), report) << command;
    EXPECT_EQ(consumer.Receive(), (Bytes{0x03, 0x00, 0x00})) << command;
  }
  EXPECT_NE(kb.Ctl("dump").find("\"params\": \"0104030"), std::string::npos) << "reset undid the lighting step";
}

TEST(VhidServer, AHostThatVanishesMidExchangeOrSendsJunkDisturbsNoOther) {
  TempDir dir;
  ServerOptions options;
  options.latencyMs = 30;  // so the first host is gone before its answer
  ServedKeyboard kb(dir.Path(), options);
  ASSERT_TRUE(kb.Started()) << kb.Error();

  VhidHost steady(kb.Socket(2));
  {
    VhidHost leaving(kb.Socket(2));
    ASSERT_TRUE(leaving.Send(CommandReport(CMD_BEGIN)));
  }
  { VhidHost rude(kb.Socket(2)); }  // never reads
  ASSERT_TRUE(steady.Receive()) << "the leaving host's answer still reaches the others";

  ASSERT_TRUE(steady.Send(Bytes{0x04, 0x01, 0x00}));
  EXPECT_EQ(StatusOf(steady.Receive()), kStatusBadReport);
  ASSERT_TRUE(steady.Send(Bytes{}));
  EXPECT_EQ(StatusOf(steady.Receive()), kStatusBadReport);
  ASSERT_TRUE(steady.Send(Bytes(5000, 0x04)));
  EXPECT_EQ(StatusOf(steady.Receive()), kStatusBadReport);
  ASSERT_TRUE(steady.Send(CommandReport(CMD_END)));
  auto reply = steady.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ((*reply)[3], CMD_END);
  EXPECT_TRUE(kb.Ctl("dump").starts_with("{"));
}

TEST(VhidServer, UnplugRemovesTheSocketFilesAndPlugBringsThemBack) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));
  ASSERT_TRUE(host.Connected());

  ASSERT_EQ(kb.Ctl("unplug"), "ok");
  EXPECT_TRUE(FilesEndingIn(dir.Path(), ".sock").empty());
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".ctl").size(), 1u);
  EXPECT_TRUE(host.WaitClosed());
  EXPECT_FALSE(VhidHost(kb.Socket(2)).Connected());
  EXPECT_EQ(kb.Ctl("profile 3"), "ok") << "the keyboard's own buttons still work unplugged";

  ASSERT_EQ(kb.Ctl("plug"), "ok");
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".sock").size(), 3u);
  VhidHost again(kb.Socket(2));
  ASSERT_TRUE(again.Connected());
  ASSERT_TRUE(again.Send(CommandReport(CMD_READ_INFO, 44)));
  auto reply = again.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ((*reply)[8 + 10], 2) << "memory survives unplugging";
}

TEST(VhidServer, UnplugAfterNUnplugsAsTheNthCommandArrivesUnanswered) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));
  ASSERT_EQ(kb.Ctl("unplug-after 2"), "ok");

  ASSERT_TRUE(host.Send(CommandReport(CMD_BEGIN)));
  EXPECT_EQ(StatusOf(host.Receive()), kStatusAccepted);
  ASSERT_TRUE(host.Send(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{7})));
  EXPECT_TRUE(host.WaitClosed()) << "the second command gets no answer: the keyboard is gone";
  EXPECT_TRUE(FilesEndingIn(dir.Path(), ".sock").empty());

  ASSERT_EQ(kb.Ctl("plug"), "ok");
  VhidHost again(kb.Socket(2));
  ASSERT_TRUE(again.Send(CommandReport(CMD_WRITE_PARAMS, 1, 0, Bytes{7})));
  EXPECT_EQ(StatusOf(again.Receive()), kStatusRefused) << "the bracket did not survive the power loss";
  EXPECT_NE(kb.Ctl("dump").find("\"params\": \"01"), std::string::npos) << "the cut-off write never happened";
}

TEST(VhidServer, SilentAndRefuseChangeHowCommandsAreAnswered) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));

  ASSERT_EQ(kb.Ctl("silent on"), "ok");
  ASSERT_TRUE(host.Send(CommandReport(CMD_BEGIN)));
  EXPECT_FALSE(host.Receive(200ms));
  ASSERT_EQ(kb.Ctl("silent off"), "ok");
  ASSERT_TRUE(host.Send(CommandReport(CMD_READ_INFO, 44)));
  auto reply = host.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ((*reply)[3], CMD_READ_INFO) << "the silenced command was never answered";

  const std::pair<const char*, uint8_t> refusals[] = {{"refuse ff", 0xFF}, {"refuse fe", 0xFE}, {"refuse off", 0x01}};
  for (const auto& [command, status] : refusals) {
    ASSERT_EQ(kb.Ctl(command), "ok");
    ASSERT_TRUE(host.Send(CommandReport(CMD_READ_INFO, 44)));
    EXPECT_EQ(StatusOf(host.Receive()), status) << command;
  }
}

TEST(VhidServer, LatencyHoldsRepliesInOrderWithoutStallingTheLoop) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));
  ASSERT_EQ(kb.Ctl("latency 400"), "ok");

  const auto sent = Clock::now();
  ASSERT_TRUE(host.Send(CommandReport(CMD_BEGIN)));
  ASSERT_TRUE(host.Send(CommandReport(CMD_END)));
  EXPECT_TRUE(kb.Ctl("dump").starts_with("{")) << "the control socket answers while replies wait";
  EXPECT_FALSE(host.Receive(0ms)) << "dump was answered before the held reply";
  auto first = host.Receive();
  EXPECT_GE(Clock::now() - sent, 400ms);
  auto second = host.Receive();
  ASSERT_TRUE(first && second);
  EXPECT_EQ((*first)[3], CMD_BEGIN);
  EXPECT_EQ((*second)[3], CMD_END);
}

// Each held reply waits out its own command's latency, and none overtakes one
// held before it, not even when the latency drops to 0 meanwhile.
TEST(VhidServer, HeldRepliesWaitTheirOwnLatencyAndKeepTheirOrder) {
  TempDir dir;
  ServerOptions options;
  options.latencyMs = 150;
  ServedKeyboard kb(dir.Path(), options);
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));
  ASSERT_TRUE(host.Connected());

  const auto firstSent = Clock::now();
  ASSERT_TRUE(host.Send(CommandReport(CMD_READ_INFO, 44)));
  std::this_thread::sleep_for(50ms);
  const auto secondSent = Clock::now();
  ASSERT_TRUE(host.Send(CommandReport(CMD_BEGIN)));
  ASSERT_EQ(kb.Ctl("latency 0"), "ok");
  ASSERT_TRUE(host.Send(CommandReport(CMD_END)));

  auto first = host.Receive();
  const auto firstReceived = Clock::now();
  auto second = host.Receive();
  const auto secondReceived = Clock::now();
  auto third = host.Receive();
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ((*first)[3], CMD_READ_INFO);
  EXPECT_EQ((*second)[3], CMD_BEGIN);
  EXPECT_EQ((*third)[3], CMD_END);
  EXPECT_GE(firstReceived - firstSent, 150ms);
  EXPECT_GE(secondReceived - secondSent, 150ms);
}

TEST(VhidServer, SharedLayoutServesEventsAndCommandsOnInterface1) {
  TempDir dir;
  ServerOptions options;
  options.layout = Layout::kShared;
  ServedKeyboard kb(dir.Path(), options);
  ASSERT_TRUE(kb.Started()) << kb.Error();
  const std::string stem = "vkb-" + std::to_string(::getpid());
  EXPECT_EQ(FilesEndingIn(dir.Path(), ".sock"), (std::vector<std::string>{stem + "-mi_00.sock", stem + "-mi_01.sock"}));

  VhidHost host(kb.Socket(1));
  ASSERT_TRUE(host.Connected());
  EXPECT_EQ(host.Hello(), HelloMessage(*FindModel(1), 1, ReportDescriptor(1, Layout::kShared)));
  ASSERT_TRUE(host.Send(Bytes{0x02, 0x00}));  // not a command report: ignored
  ASSERT_TRUE(host.Send(CommandReport(CMD_READ_INFO, 44)));
  auto reply = host.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ((*reply)[0], 4);
  ASSERT_EQ(kb.Ctl("lighting"), "ok");
  EXPECT_EQ(host.Receive(), (Bytes{0x03, 0x01, 0x04}));
  EXPECT_EQ(host.Receive(), (Bytes{0x03, 0x00, 0x00}));
}

TEST(VhidServer, StateIsSavedWhenABracketEndsAndSurvivesARestart) {
  TempDir dir;
  ServerOptions options;
  options.statePath = dir / "keyboard.json";
  const Bytes chunk = {0x02, 0x02, 0x04, 0x02, 0x02, 0x05};
  {
    ServedKeyboard kb(dir.Path(), options, Firmware(*FindModel(2), 4));
    ASSERT_TRUE(kb.Started()) << kb.Error();
    VhidHost host(kb.Socket(2));
    for (const Bytes& command : {CommandReport(CMD_BEGIN), CommandReport(CMD_WRITE_KEYMAP, 6, 1024, chunk),
                                 CommandReport(CMD_END)})
      ASSERT_TRUE(host.Send(command) && StatusOf(host.Receive()) == kStatusAccepted);

    std::string error;
    auto saved = Firmware::FromJson(ReadText(dir / "keyboard.json"), 2, 4, error);
    ASSERT_TRUE(saved) << "saved before the end was answered: " << error;
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), saved->KeyMaps().begin() + 1024));
    EXPECT_EQ(kb.Ctl("profile 2"), "ok");
    EXPECT_EQ(kb.Stop(), 0);
  }
  EXPECT_TRUE(FilesEndingIn(dir.Path(), ".sock").empty());
  EXPECT_TRUE(FilesEndingIn(dir.Path(), ".ctl").empty());

  std::string error;
  auto restored = Firmware::FromJson(ReadText(dir / "keyboard.json"), std::nullopt, std::nullopt, error);
  ASSERT_TRUE(restored) << error;
  ServedKeyboard kb(dir.Path(), options, std::move(*restored));
  ASSERT_TRUE(kb.Started()) << kb.Error();
  VhidHost host(kb.Socket(2));
  ASSERT_TRUE(host.Send(CommandReport(CMD_READ_KEYMAP, 6, 1024)));
  auto reply = host.Receive();
  ASSERT_EQ(StatusOf(reply), kStatusAccepted);
  EXPECT_EQ(Bytes(reply->begin() + 8, reply->begin() + 14), chunk);
  ASSERT_TRUE(host.Send(CommandReport(CMD_READ_INFO, 44)));
  reply = host.Receive();
  EXPECT_EQ((*reply)[8 + 10], 1);
}

TEST(VhidServer, ControlRefusesMalformedCommands) {
  TempDir dir;
  ServedKeyboard kb(dir.Path());
  ASSERT_TRUE(kb.Started()) << kb.Error();
  for (const char* line : {"profile 4", "profile", "bogus", "silent maybe", "refuse 01", "latency -1", "unplug-after 0"})
    EXPECT_TRUE(kb.Ctl(line).starts_with("error: ")) << "'" << line << "' gave " << kb.Ctl(line);
  EXPECT_EQ(kb.Ctl("  profile   3 "), "ok");
}

TEST(VhidServer, ASocketPathTooLongForUnixSocketsFailsClearly) {
  TempDir dir;
  auto deep = dir / std::string(100, 'd');
  std::filesystem::create_directories(deep);
  ServedKeyboard kb(deep);
  ASSERT_FALSE(kb.Started());
  EXPECT_NE(kb.Error().find("too long"), std::string::npos) << kb.Error();
  EXPECT_TRUE(std::filesystem::is_empty(deep));
}

}  // namespace
}  // namespace keyloft::emu
