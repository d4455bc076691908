#include "cli/commands.h"

namespace keyloft::cli {

std::span<const Command> Commands() {
  static constexpr Command kCommands[] = {
      {"list", "list\n  the keyboards found and their interfaces: path, model, collection usage", RunList, false},
      {"info", "info\n  model, active profile, macro capacity and use, supported effects", RunInfo},
      {"profile", "profile [N]\n  print the active profile (1..3), or make N the active one", RunProfile},
      {"backup", "backup FILE\n  read the three onboard profiles and write them as a profile file (.fwc added)",
       RunBackup},
      {"restore",
       "restore FILE [--no-verify]\n"
       "  write the three profiles of FILE to the keyboard, after saving the keyboard's\n"
       "  current profiles in the user data folder; the key maps are read back and compared\n"
       "  unless --no-verify",
       RunRestore},
      {"keys", "keys [--profile N]\n  every key's assignment, one line per key", RunKeys},
      {"assign",
       "assign KEY ACTION [--profile N]\n"
       "  change one key and apply it. KEY: a key name, G1..G9 or a key code (0x01e).\n"
       "  ACTION: default, key:NAME, mouse:left|right|middle|wheel-up|wheel-down, macro:NAME[:CYCLES],\n"
       "          media:NAME, function:N (1..11)",
       RunAssign},
      {"lighting",
       "lighting [--profile N] | lighting set [--profile N] [--effect N] [--brightness 0..4]\n"
       "  [--speed 0..3] [--direction first|second] [--colour RRGGBB] [--multicolour on|off]\n"
       "  [--four-colour red|yellow|green|blue] [--report-rate 1..4]\n"
       "  show the lighting state, or change it (read back and checked after the change)",
       RunLighting},
      {"file",
       "file show FILE | file diff A B\n"
       "  describe a profile file (macros, keys not at their default), or what differs\n"
       "  between two; no keyboard needed",
       RunFile, false},
      {"doctor",
       "doctor\n"
       "  explain why no keyboard is found: the HID nodes with its identifiers, whether\n"
       "  this user may open them, whether the udev rule is installed, and the fix",
       RunDoctor, false},
      {"macros", "macros\n  the macros: name, steps, cycles", RunMacros},
      {"macro",
       "macro show NAME | macro add NAME STEPS... | macro delete NAME\n"
       "  show a macro's steps, add a macro, or delete one (keys that played it go back\n"
       "  to their default); changes are applied. STEPS: KEY+ press, KEY- release, a\n"
       "  number the pause in ms after the step before:\n  macro add Copy \"Left Ctrl+\" C+ 20 C- \"Left Ctrl-\"",
       RunMacro},
      {"colours",
       "colours KEY=RRGGBB... [--scheme N] [--profile N]\n"
       "  paint keys of the user-defined effect (20) into the current scheme (or scheme\n"
       "  N, 1..10, which becomes current) and upload it; KEY as the lighting panel names it",
       RunColours},
      {"reset",
       "reset [--lighting]\n"
       "  after the question (--yes), save the keyboard's profiles to the user data folder,\n"
       "  then reset the active profile's key assignments, and with --lighting its lighting",
       RunReset},
      {"watch",
       "watch\n"
       "  stay connected and print one line per event until interrupted: connected,\n"
       "  removed, profile N (the keyboard's active profile changed), lighting (changed\n"
       "  on the keyboard); with --json one JSON object per line",
       RunWatch},
  };
  return kCommands;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : Commands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

int RunCommand(const GlobalOptions& options, std::span<const std::string> words) {
  const Command* command = words.empty() ? nullptr : FindCommand(words[0]);
  if (!command) {
    return Fail(kExitUsage, "unknown command '" + (words.empty() ? std::string() : words[0]) + "' (see keyloftctl --help)");
  }
  return command->run(options, words.subspan(1));
}

}  // namespace keyloft::cli
