// The control channel of a running virtual keyboard: the `ctl` commands, their
// text form, and the client that sends one. The server listens on
// vkb-<pid>.ctl (SOCK_SEQPACKET) in the keyboard's folder; a client sends one
// message, the command's words separated by single spaces, and gets one message
// back: "ok", "error: <why>", or the dump's JSON.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keyloft::emu {

enum class ControlVerb {
  kProfile,      // number = 1..3
  kLighting,
  kReset,
  kMacroStart,
  kMacroStop,
  kUnplug,
  kPlug,
  kUnplugAfter,  // number = commands to let through, the last one unanswered
  kSilent,       // number = 1 on, 0 off
  kRefuse,       // number = the status, 0 off
  kRefuseAfter,  // number = commands to let through, the last one refused (0xFF)
  kLatency,      // number = milliseconds
  kDump,
  kQuit,
};

struct ControlCommand {
  ControlVerb verb = ControlVerb::kDump;
  int number = 0;
};

inline constexpr int kMaxLatencyMs = 60'000;

// From the command's words; nothing (with a reason in error) when they make no command.
std::optional<ControlCommand> ParseControlCommand(std::span<const std::string_view> words, std::string& error);
// The same from one line of text, words separated by blanks.
std::optional<ControlCommand> ParseControlLine(std::string_view line, std::string& error);

// The usage lines of the commands, for --help.
std::string_view ControlCommandHelp();

inline constexpr std::string_view kControlOk = "ok";
inline constexpr std::string_view kControlErrorPrefix = "error: ";
inline constexpr std::string_view kControlSuffix = ".ctl";

// The one control socket in folder; nothing with a reason when there is none
// or more than one.
std::optional<std::filesystem::path> FindControlSocket(const std::filesystem::path& folder, std::string& error);

struct ControlAnswer {
  bool delivered = false;  // false: no answer came (the text says why)
  std::string text;        // the keyboard's answer
};

// Sends one command line to the keyboard whose control socket is socketPath and
// waits up to timeoutMs for its answer.
ControlAnswer SendControl(const std::filesystem::path& socketPath, std::string_view line, int timeoutMs = 10'000);

}  // namespace keyloft::emu
