// keyloftctl: the command-line tool over the same core as the desktop program.
// While keyloft runs for this user it owns the keyboard, and the commands that
// use the keyboard are sent to it. Exit codes: 0 done, 1 the keyboard refused
// or did not answer, 2 wrong usage, 3 no keyboard found, 4 a file was
// rejected, 5 the window holds changes not yet applied.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/control_client.h"

using namespace keyloft::cli;

namespace {

constexpr std::string_view kUsage =
    "Usage: keyloftctl [--vhid DIR] [--json] [--yes] [--verify] COMMAND [ARGS...]\n"
    "\n"
    "Global options (before the command):\n"
    "  --vhid DIR   use the virtual HID folder DIR (KEYLOFT_VHID_DIR does the same)\n"
    "  --json       print one JSON document on stdout\n"
    "  --yes        answer Yes to the questions a command asks (otherwise No)\n"
    "  --verify     read written areas back and compare them (restore always does)\n"
    "  --verbose    say whether the running keyloft ran the command or keyloftctl itself\n"
    "  --help       this text; COMMAND --help tells about a command\n"
    "  --version    the version\n"
    "\n"
    "Commands:\n";

constexpr std::string_view kExitCodes =
    "\nExit codes: 0 done, 1 the keyboard refused or did not answer, 2 wrong usage,\n"
    "3 no keyboard found, 4 a file was rejected, 5 busy: Keyloft's window holds key or\n"
    "macro changes not yet applied (apply or cancel them there, then try again).\n"
    "\nWhile keyloft runs for this user it owns the keyboard: the commands that use the\n"
    "keyboard are run by it, and its windows show what they change. Otherwise keyloftctl\n"
    "opens the keyboard itself.\n";

void PrintUsage(std::ostream& out) {
  out << kUsage;
  for (const Command& c : Commands()) out << "  " << c.usage.substr(0, c.usage.find('\n')) << '\n';
  out << kExitCodes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  GlobalOptions options;
  if (const char* dir = std::getenv("KEYLOFT_VHID_DIR"); dir && *dir) options.vhidDir = dir;
  size_t i = 0;
  for (; i < args.size() && args[i].starts_with("--"); ++i) {
    const std::string& option = args[i];
    if (option == "--help") {
      PrintUsage(std::cout);
      return kExitOk;
    } else if (option == "--version") {
      std::cout << "keyloftctl " << KEYLOFT_VERSION << '\n';
      return kExitOk;
    } else if (option == "--json") {
      options.json = true;
    } else if (option == "--yes") {
      options.yes = true;
    } else if (option == "--verify") {
      options.verify = true;
    } else if (option == "--verbose") {
      options.verbose = true;
    } else if (option == "--vhid") {
      if (i + 1 >= args.size()) return Fail(kExitUsage, "--vhid needs a folder");
      options.vhidDir = args[++i];
    } else {
      return Fail(kExitUsage, "unknown option " + option + " (see keyloftctl --help)");
    }
  }
  if (options.vhidDir && !std::filesystem::is_directory(*options.vhidDir)) {
    return Fail(kExitUsage, "the virtual HID folder " + options.vhidDir->string() + " does not exist");
  }
  if (i >= args.size()) {
    PrintUsage(std::cerr);
    return kExitUsage;
  }
  const std::string& name = args[i];
  const Command* command = FindCommand(name);
  if (!command) return Fail(kExitUsage, "unknown command '" + name + "' (see keyloftctl --help)");
  const std::span<const std::string> words = std::span(args).subspan(i);
  for (const std::string& word : words.subspan(1)) {
    if (word == "--help") {
      std::cout << "Usage: keyloftctl [GLOBAL OPTIONS] " << command->usage << '\n';
      return kExitOk;
    }
  }
  if (command->usesKeyboard) {
    if (const std::optional<int> code = ForwardToRunningProgram(options, words)) return *code;
  }
  return RunCommand(options, words);
}
