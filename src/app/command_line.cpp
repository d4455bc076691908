#include "app/command_line.h"

#include "util/text.h"

namespace keyloft::app {

StartOptions ParseStartOptions(std::span<const std::string> words) {
  StartOptions options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (EqualsIgnoreCase(word, "/Start") || EqualsIgnoreCase(word, "--start")) {
      options.start = true;
    } else if (EqualsIgnoreCase(word, "/Kill") || EqualsIgnoreCase(word, "--kill")) {
      options.kill = true;
    } else if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--version") {
      options.version = true;
    } else if (word == "--check-assets") {
      options.checkAssets = true;
    } else if (word == "--vhid") {
      if (i + 1 == words.size()) {
        options.error = "--vhid needs a folder";
        return options;
      }
      options.vhidDir = words[++i];
    } else {
      options.ignored.push_back(word);
    }
  }
  return options;
}

std::string_view StartUsage() {
  return "Usage: keyloft [--start] [--kill] [--vhid DIR]\n"
         "       keyloft --check-assets | --help | --version\n"
         "Configures the Vantor Orvo Full-Size Keyboard: key assignments, macros, lighting\n"
         "and the three onboard profiles. Keyloft lives in the tray; only one copy runs, and\n"
         "starting it again opens the window of the one running.\n"
         "\n"
         "  --start         start in the tray: the window does not open by itself (/Start)\n"
         "  --kill          end the running copy (/Kill)\n"
         "  --vhid DIR      use the virtual keyboard served in DIR (as KEYLOFT_VHID_DIR does)\n"
         "  --check-assets  check that the skin, language file, manual and icons beside the\n"
         "                  program are there and load (no display needed); exit code 1 if not\n"
         "  --help          this text\n"
         "  --version       the version\n";
}

}  // namespace keyloft::app
