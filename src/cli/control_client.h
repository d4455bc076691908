// keyloftctl's side of the control socket: while keyloft runs for this user
// and serves the same keyboard, a command that uses the keyboard is sent to
// it, and its output and exit code come back as if it had run here.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/session.h"

namespace keyloft::cli {

// The control socket of this user's running keyloft.
std::filesystem::path ControlSocketPath();

// The command's exit code once the running program has run it; nullopt when
// no program runs for this user, or it serves another keyboard: the command
// runs here then. words: the command's name and its arguments.
std::optional<int> ForwardToRunningProgram(const GlobalOptions& options, std::span<const std::string> words,
                                           const std::filesystem::path& socket = ControlSocketPath());

struct ProgramProbe {
  bool running = false;        // a keyloft answered on the socket
  bool servesThisKeyboard = false;
  std::string serves;          // its TransportKey, or why it could not be asked
};
// Who would serve a keyboard command now (doctor, --verbose).
ProgramProbe ProbeRunningProgram(const GlobalOptions& options, const std::filesystem::path& socket = ControlSocketPath());

}  // namespace keyloft::cli
