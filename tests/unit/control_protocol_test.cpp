// The control socket between keyloftctl and the running program: the message
// codec at its limits, and the server's answers to what it must refuse.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>

#include "cli/control_client.h"
#include "cli/control_protocol.h"
#include "cli/control_server.h"
#include "core_world.h"
#include "util/bytes.h"

using namespace keyloft;
using namespace keyloft::cli;

namespace {

// Every message body a reader cuts from bytes, fed in pieces of size.
std::vector<std::vector<uint8_t>> Cut(const std::vector<uint8_t>& bytes, size_t size) {
  MessageReader reader;
  std::vector<std::vector<uint8_t>> bodies;
  std::vector<uint8_t> body;
  for (size_t at = 0; at < bytes.size(); at += size) {
    reader.Feed(std::span(bytes).subspan(at, std::min(size, bytes.size() - at)));
    while (reader.Next(body) == MessageReader::Status::Message) bodies.push_back(body);
  }
  return bodies;
}

std::vector<uint8_t> Body(const std::vector<uint8_t>& message) { return {message.begin() + 4, message.end()}; }

TEST(ControlProtocol, ARequestSurvivesTheWireInAnyPieces) {
  ControlRequest sent;
  sent.flags = kFlagJson | kFlagYes;
  sent.transport = "vhid:/tmp/x";
  sent.folder = "/home/u";
  sent.words = {"macro", "add", "Copy", "Left Ctrl+", "", std::string(300, 'x')};
  std::vector<uint8_t> wire = EncodeRequest(sent);
  const std::vector<uint8_t> exit = EncodeExit(-7);
  wire.insert(wire.end(), exit.begin(), exit.end());
  for (size_t piece : {size_t{1}, size_t{3}, wire.size()}) {
    const auto bodies = Cut(wire, piece);
    ASSERT_EQ(bodies.size(), 2u) << piece;
    const auto got = DecodeRequest(bodies[0]);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->flags, sent.flags);
    EXPECT_EQ(got->transport, sent.transport);
    EXPECT_EQ(got->folder, sent.folder);
    EXPECT_EQ(got->words, sent.words);
    EXPECT_EQ(DecodeReply(bodies[1])->code, -7);
  }
}

TEST(ControlProtocol, RepliesKeepTheirKindAndText) {
  const auto out = DecodeReply(Body(EncodeOutput(OutputStream::Err, std::string("a\0b", 3))));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->kind, ControlKind::Output);
  EXPECT_EQ(out->stream, OutputStream::Err);
  EXPECT_EQ(out->text, std::string("a\0b", 3));
  EXPECT_EQ(DecodeReply(Body(EncodeDecline("elsewhere")))->text, "elsewhere");
  EXPECT_EQ(DecodeReply(Body(EncodeError("no")))->kind, ControlKind::Error);
}

// Another version's request is read as far as its version, so the server can say which it speaks.
TEST(ControlProtocol, AnotherVersionIsReadAsFarAsItsVersion) {
  ControlRequest future;
  future.version = kControlProtocolVersion + 1;
  std::vector<uint8_t> body = Body(EncodeRequest(future));
  body.push_back(0xEE);  // whatever that version adds
  const auto got = DecodeRequest(body);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->version, kControlProtocolVersion + 1);
  EXPECT_TRUE(got->words.empty());
}

struct BadBody {
  const char* what;
  std::function<std::vector<uint8_t>()> make;
};

std::vector<uint8_t> OneWordRequest(std::string word) {
  ControlRequest r;
  r.words = {std::move(word)};
  return Body(EncodeRequest(r));
}

class MalformedRequests : public ::testing::TestWithParam<BadBody> {};

TEST_P(MalformedRequests, AreRefusedWithAReason) {
  std::string why;
  EXPECT_FALSE(DecodeRequest(GetParam().make(), &why));
  EXPECT_FALSE(why.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedRequests,
    ::testing::Values(
        BadBody{"empty", [] { return std::vector<uint8_t>{}; }},
        BadBody{"a reply", [] { return Body(EncodeExit(0)); }},
        BadBody{"no version", [] { return std::vector<uint8_t>{1, 1}; }},
        BadBody{"cut in a word", [] { auto b = OneWordRequest("keys"); b.pop_back(); return b; }},
        BadBody{"left over", [] { auto b = OneWordRequest("keys"); b.push_back(0); return b; }},
        BadBody{"word over the limit", [] { return OneWordRequest(std::string(kMaxControlWordBytes + 1, 'w')); }},
        BadBody{"a word's length past the end", [] {
          auto b = OneWordRequest("k");
          PutU32(b, b.size() - 5, 0xFFFFFFF0u);
          return b;
        }},
        BadBody{"too many words", [] {
          ControlRequest r;
          r.words.assign(kMaxControlWords + 1, "w");
          return Body(EncodeRequest(r));
        }}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(ControlProtocol, ALengthOfNothingOrOverTheLimitEndsTheStream) {
  for (uint32_t length : {0u, static_cast<uint32_t>(kMaxControlMessage + 1)}) {
    MessageReader reader;
    std::vector<uint8_t> prefix(4);
    PutU32(prefix, 0, length);
    reader.Feed(prefix);
    std::vector<uint8_t> body;
    EXPECT_EQ(reader.Next(body), MessageReader::Status::Malformed) << length;
  }
}

// ---- The server, over a core on an in-process keyboard ------------------------

class ControlServerTest : public ::testing::Test {
 protected:
  ControlServerTest() : server_(world_.Core(), world_.SequenceThread(), TransportKey(world_.Transport())) {}
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(Socket(), error)) << error;
  }
  std::filesystem::path Socket() const { return world_.Home() / "ctl.socket"; }

  // The request's replies up to the server's last word (or its hanging up).
  std::vector<ControlReply> Ask(const std::vector<uint8_t>& message) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, Socket().c_str());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::send(fd, message.data(), message.size(), MSG_NOSIGNAL), static_cast<ssize_t>(message.size()));
    MessageReader reader;
    std::vector<ControlReply> replies;
    std::vector<uint8_t> body;
    uint8_t chunk[4096];
    for (;;) {
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      reader.Feed(std::span(chunk, static_cast<size_t>(n)));
      while (reader.Next(body) == MessageReader::Status::Message) replies.push_back(*DecodeReply(body));
    }
    ::close(fd);
    return replies;
  }
  ControlRequest Request(std::vector<std::string> words) {
    ControlRequest r;
    r.transport = TransportKey(world_.Transport());
    r.words = std::move(words);
    return r;
  }

  test::CoreWorld world_{KEYLOFT_ASSETS_DIR};
  ControlServer server_;
};

TEST_F(ControlServerTest, RunsTheCommandOnTheProgramsCore) {
  const auto replies = Ask(EncodeRequest(Request({"profile"})));
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].kind, ControlKind::Output);
  EXPECT_EQ(replies[0].text, "1\n");
  EXPECT_EQ(replies[1].kind, ControlKind::Exit);
  EXPECT_EQ(replies[1].code, 0);
}

TEST_F(ControlServerTest, RefusesWhatItCannotServe) {
  ControlRequest otherVersion = Request({"profile"});
  otherVersion.version = 9;
  auto replies = Ask(EncodeRequest(otherVersion));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, ControlKind::Error);
  EXPECT_NE(replies[0].text.find("control protocol 1 and this keyloftctl 9"), std::string::npos);

  ControlRequest otherKeyboard = Request({"profile"});
  otherKeyboard.transport = "hidraw";
  replies = Ask(EncodeRequest(otherKeyboard));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, ControlKind::Decline);

  std::vector<uint8_t> garbage = EncodeExit(3);  // a reply where a request belongs
  replies = Ask(garbage);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, ControlKind::Error);
}

TEST_F(ControlServerTest, RefusesAnotherUser) {
  server_.SetAllowedUid(::geteuid() + 1);
  const auto replies = Ask(EncodeRequest(Request({"profile"})));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, ControlKind::Error);
  EXPECT_NE(replies[0].text.find("only its own user"), std::string::npos);
}

// keyloftctl's own side: the probe doctor uses, and a program that serves another keyboard.
TEST_F(ControlServerTest, TheClientFindsWhoServesItsKeyboard) {
  GlobalOptions options;
  options.vhidDir = world_.Transport().vhidDir;
  const ProgramProbe probe = ProbeRunningProgram(options, Socket());
  EXPECT_TRUE(probe.running);
  EXPECT_TRUE(probe.servesThisKeyboard);
  EXPECT_EQ(probe.serves, TransportKey(world_.Transport()));
  GlobalOptions other;
  other.vhidDir = world_.Home();  // another folder: another keyboard
  EXPECT_FALSE(ProbeRunningProgram(other, Socket()).servesThisKeyboard);
  const std::string words[] = {"profile"};
  EXPECT_EQ(ForwardToRunningProgram(other, words, Socket()), std::nullopt);  // served by keyloftctl itself
  EXPECT_FALSE(ProbeRunningProgram(options, world_.Home() / "nobody.socket").running);
}

// A watching client does not hold the program's exit.
TEST_F(ControlServerTest, StopEndsAWatchThatIsStillConnected) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, Socket().c_str());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const auto request = EncodeRequest(Request({"watch"}));
  ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto stopped = std::async(std::launch::async, [&] { server_.Stop(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(std::filesystem::exists(Socket()));
  ::close(fd);
}

}  // namespace
