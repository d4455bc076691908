// What the keyloft program was asked at its start. The switches of the
// original ("/Start", "/Kill", compared without regard to case) and their
// Linux spellings ("--start", "--kill"); anything else is ignored, as it
// always was, but said on stderr.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace keyloft::app {

struct StartOptions {
  bool start = false;  // hidden: the window does not open by itself
  bool kill = false;   // end the running copy
  bool help = false;
  bool version = false;
  bool checkAssets = false;  // check the program folder's assets and end
  std::optional<std::string> vhidDir;  // --vhid DIR: the virtual keyboard's folder
  std::vector<std::string> ignored;    // words that meant nothing
  std::string error;                   // a switch without its value
};

StartOptions ParseStartOptions(std::span<const std::string> words);

// The --help text.
std::string_view StartUsage();

}  // namespace keyloft::app
