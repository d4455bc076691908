#include "cli/control_client.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <vector>

#include "cli/control_protocol.h"
#include "platform/paths.h"

namespace keyloft::cli {
namespace {

// Set by SIGINT or SIGTERM while watch waits on the program.
volatile sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

// A connected socket to this user's program, or -1 when none listens there.
int ConnectToProgram(const std::filesystem::path& socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket.empty() || socket.native().size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, socket.c_str(), socket.native().size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  ucred peer{};
  socklen_t length = sizeof peer;
  // A listener of another user is not ours to trust, whatever put it there.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

ControlRequest RequestFor(const GlobalOptions& options, std::span<const std::string> words) {
  ControlRequest request;
  request.flags = static_cast<uint8_t>((options.json ? kFlagJson : 0) | (options.yes ? kFlagYes : 0) |
                                       (options.verify ? kFlagVerify : 0) | (options.verbose ? kFlagVerbose : 0));
  request.transport = TransportKey(TransportFor(options));
  request.words.assign(words.begin(), words.end());
  std::error_code ec;
  request.folder = std::filesystem::current_path(ec).string();
  return request;
}

enum class Outcome { Exited, Declined, Failed };

// Sends the request and plays the replies out on stdout and stderr (or into
// captured) until the program's last word.
Outcome Exchange(int fd, const ControlRequest& request, int& code, std::string* captured) {
  if (!SendAll(fd, EncodeRequest(request))) return Outcome::Declined;  // it went away: serve it here
  MessageReader reader;
  std::vector<uint8_t> body;
  uint8_t chunk[8192];
  bool said = false;  // once output came, the command ran there and cannot run here again
  for (;;) {
    MessageReader::Status status;
    while ((status = reader.Next(body)) == MessageReader::Status::Message) {
      const std::optional<ControlReply> reply = DecodeReply(body);
      if (!reply) status = MessageReader::Status::Malformed;
      if (!reply) break;
      switch (reply->kind) {
        case ControlKind::Output:
          said = true;
          if (captured) {
            captured->append(reply->text);
          } else {
            std::ostream& stream = reply->stream == OutputStream::Out ? std::cout : std::cerr;
            stream << reply->text << std::flush;
          }
          break;
        case ControlKind::Exit:
          code = reply->code;
          return Outcome::Exited;
        case ControlKind::Decline:
          if (captured) *captured = reply->text;
          return Outcome::Declined;
        case ControlKind::Error:
          code = Fail(kExitKeyboard, reply->text);
          return Outcome::Failed;
        case ControlKind::Request:
          break;
      }
    }
    if (status == MessageReader::Status::Malformed) {
      code = Fail(kExitKeyboard, "the running keyloft sent a reply this keyloftctl does not understand");
      return Outcome::Failed;
    }
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) {
      if (interrupted) {
        code = kExitOk;  // watch ends as it does here: on the signal, with 0
        return Outcome::Exited;
      }
      continue;
    }
    if (n <= 0) {
      // Nothing said yet: the program went before it began, so the command is run here.
      if (!said) return Outcome::Declined;
      code = Fail(kExitKeyboard, "the running keyloft ended before the command did; see 'keyloftctl keys' for what it wrote");
      return Outcome::Failed;
    }
    reader.Feed(std::span(chunk, static_cast<size_t>(n)));
  }
}

}  // namespace

std::filesystem::path ControlSocketPath() {
  const std::filesystem::path folder = PrivateRuntimeFolder(Paths::FromEnvironment());
  return folder.empty() ? folder : folder / kControlSocketName;
}

std::optional<int> ForwardToRunningProgram(const GlobalOptions& options, std::span<const std::string> words,
                                           const std::filesystem::path& socket) {
  const int fd = ConnectToProgram(socket);
  if (fd < 0) return std::nullopt;
  const bool watching = !words.empty() && words[0] == "watch";
  struct sigaction previousInt {}, previousTerm {};
  if (watching) {
    // Interrupting watch closes the connection, which tells the program to stop.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInt);
    ::sigaction(SIGTERM, &action, &previousTerm);
  }
  int code = kExitOk;
  const Outcome outcome = Exchange(fd, RequestFor(options, words), code, nullptr);
  ::close(fd);
  if (watching) {
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
  }
  if (outcome == Outcome::Declined) return std::nullopt;
  return code;
}

ProgramProbe ProbeRunningProgram(const GlobalOptions& options, const std::filesystem::path& socket) {
  ProgramProbe probe;
  const int fd = ConnectToProgram(socket);
  if (fd < 0) return probe;
  probe.running = true;
  ControlRequest request = RequestFor(options, {});
  request.words = {kProbeWord};
  int code = kExitOk;
  std::string serves;
  const Outcome outcome = Exchange(fd, request, code, &serves);
  ::close(fd);
  probe.servesThisKeyboard = outcome == Outcome::Exited && code == kExitOk;
  probe.serves = outcome == Outcome::Failed ? std::string("it did not answer") : serves;
  return probe;
}

}  // namespace keyloft::cli
