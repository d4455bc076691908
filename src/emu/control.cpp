#include "emu/control.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <vector>

namespace keyloft::emu {
namespace {

enum class Argument { kNone, kProfile, kCount, kOnOff, kRefusal, kLatency };

struct VerbEntry {
  std::string_view name;
  ControlVerb verb;
  Argument argument;
  std::string_view usage;
};

constexpr std::array<VerbEntry, 14> kVerbs = {{
    {"profile", ControlVerb::kProfile, Argument::kProfile, "profile N        switch to onboard profile N (1..3) on the keyboard"},
    {"lighting", ControlVerb::kLighting, Argument::kNone, "lighting         change the lighting on the keyboard (next effect)"},
    {"reset", ControlVerb::kReset, Argument::kNone, "reset            factory reset"},
    {"macro-start", ControlVerb::kMacroStart, Argument::kNone, "macro-start      report that macro recording started"},
    {"macro-stop", ControlVerb::kMacroStop, Argument::kNone, "macro-stop       report that macro recording stopped"},
    {"unplug", ControlVerb::kUnplug, Argument::kNone, "unplug           drop every host and remove the .sock files"},
    {"plug", ControlVerb::kPlug, Argument::kNone, "plug             create the .sock files again"},
    {"unplug-after", ControlVerb::kUnplugAfter, Argument::kCount, "unplug-after N   unplug when the N-th command from now arrives"},
    {"silent", ControlVerb::kSilent, Argument::kOnOff, "silent on|off    stop (or resume) answering commands"},
    {"refuse", ControlVerb::kRefuse, Argument::kRefusal, "refuse ff|fe|off answer every command with that status"},
    {"refuse-after", ControlVerb::kRefuseAfter, Argument::kCount, "refuse-after N   refuse (ff) the N-th command from now, that one only"},
    {"latency", ControlVerb::kLatency, Argument::kLatency, "latency N        answer commands no sooner than N ms"},
    {"dump", ControlVerb::kDump, Argument::kNone, "dump             print the memory as JSON"},
    {"quit", ControlVerb::kQuit, Argument::kNone, "quit             shut the keyboard down"},
}};

std::optional<int> WholeNumber(std::string_view text, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseArgument(Argument kind, std::string_view word) {
  switch (kind) {
    case Argument::kProfile: return WholeNumber(word, 1, 3);
    case Argument::kCount: return WholeNumber(word, 1, 1'000'000);
    case Argument::kLatency: return WholeNumber(word, 0, kMaxLatencyMs);
    case Argument::kOnOff:
      if (word == "on") return 1;
      if (word == "off") return 0;
      return std::nullopt;
    case Argument::kRefusal:
      if (word == "ff") return 0xFF;
      if (word == "fe") return 0xFE;
      if (word == "off") return 0;
      return std::nullopt;
    case Argument::kNone: break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ControlCommand> ParseControlCommand(std::span<const std::string_view> words, std::string& error) {
  if (words.empty()) {
    error = "no command";
    return std::nullopt;
  }
  for (const VerbEntry& entry : kVerbs) {
    if (entry.name != words[0]) continue;
    size_t wanted = entry.argument == Argument::kNone ? 1 : 2;
    std::optional<int> number = 0;
    if (words.size() == wanted && wanted == 2) number = ParseArgument(entry.argument, words[1]);
    if (words.size() != wanted || !number) {
      error = "usage: " + std::string(entry.usage.substr(0, entry.usage.find("  ")));
      return std::nullopt;
    }
    return ControlCommand{entry.verb, *number};
  }
  error = "unknown command \"" + std::string(words[0]) + "\"";
  return std::nullopt;
}

std::optional<ControlCommand> ParseControlLine(std::string_view line, std::string& error) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    size_t start = line.find_first_not_of(" \t\r\n", at);
    if (start == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t\r\n", start);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(start, end - start));
    at = end;
  }
  return ParseControlCommand(words, error);
}

std::string_view ControlCommandHelp() {
  static const std::string help = [] {
    std::string text;
    for (const VerbEntry& entry : kVerbs) text += "  " + std::string(entry.usage) + "\n";
    return text;
  }();
  return help;
}

std::optional<std::filesystem::path> FindControlSocket(const std::filesystem::path& folder, std::string& error) {
  std::error_code ec;
  std::vector<std::filesystem::path> found;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const auto& path = it->path();
    if (path.extension() == kControlSuffix) found.push_back(path);
  }
  if (ec) {
    error = "cannot read the folder " + folder.string() + ": " + ec.message();
    return std::nullopt;
  }
  if (found.empty()) {
    error = "no virtual keyboard in " + folder.string() + " (no *.ctl control socket)";
    return std::nullopt;
  }
  if (found.size() > 1) {
    error = "several virtual keyboards in " + folder.string() + ":";
    for (const auto& path : found) error += " " + path.filename().string();
    return std::nullopt;
  }
  return found.front();
}

ControlAnswer SendControl(const std::filesystem::path& socketPath, std::string_view line, int timeoutMs) {
  ControlAnswer answer;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = socketPath.string();
  if (path.size() >= sizeof(address.sun_path)) {
    answer.text = "socket path too long: " + path;
    return answer;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    answer.text = std::string("cannot create a socket: ") + std::strerror(errno);
    return answer;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    answer.text = "cannot reach the keyboard at " + path + ": " + std::strerror(errno);
    ::close(fd);
    return answer;
  }
  if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
    answer.text = std::string("cannot send the command: ") + std::strerror(errno);
    ::close(fd);
    return answer;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<char> buffer(1 << 20);  // the dump of the largest macro area fits many times
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      answer.text = "no answer from the keyboard";
      break;
    }
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      answer.text = std::string("cannot wait for the answer: ") + std::strerror(errno);
      break;
    }
    if (ready == 0) continue;
    ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      answer.text = n == 0 ? "the keyboard closed the connection without an answer"
                           : std::string("cannot read the answer: ") + std::strerror(errno);
      break;
    }
    answer.delivered = true;
    answer.text.assign(buffer.data(), static_cast<size_t>(n));
    break;
  }
  ::close(fd);
  return answer;
}

}  // namespace keyloft::emu
