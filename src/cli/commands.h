// keyloftctl's commands. Each takes the words after its name and returns the
// exit code; output goes to stdout (text, or one JSON document with --json),
// everything else to stderr.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/session.h"
#include "lang/localisation.h"
#include "model/lighting.h"
#include "model/profile_data.h"
#include "sync/profile_editor.h"

namespace keyloft::cli {

struct OptionSpec {
  std::string_view name;  // "--profile"
  bool takesValue;
};

struct CommandLine {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // in the order given

  const std::string* Option(std::string_view name) const;
};

// The words into positional arguments and the known options. False, with
// the reason, for an unknown option or one without its value.
bool ParseCommandLine(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out,
                      std::string& error);
// The same for a command: false after saying what is wrong (exit 2).
bool ParseArguments(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out);

// "--profile N" into 0..2, or the active profile when absent. -1 after saying
// what is wrong (exit 2).
int ProfileOption(const CommandLine& line, Session& session);

// Reads the given profiles' key maps back (and with macros the macro area) and
// compares them with what was written. Differences are said on stderr; false then.
bool VerifyWrites(Session& session, std::span<const int> profiles, bool macros);

// Why an edit was refused, in words.
std::string EditResultText(EditResult result);

// What Apply came to, said on stderr when it is not Applied; the exit code.
int ApplyExitCode(const ApplyOutcome& applied, std::string_view what);
// kExitOk for a valid profile file; otherwise kExitFileRejected after saying
// why (check and damage as ValidateProfileFile gives them).
int ProfileFileExitCode(const std::filesystem::path& shown, int check, const std::string& damage);

// One key's assignment in a profile, as keys and the file commands show it.
using KeyLine = KeyDescription;
// {key, code, type, value, description}
void WriteKeyJson(JsonWriter& json, const KeyLine& k);
// What follows the name on a key's line: "default" or the description's words.
std::string KeyLineWords(const KeyLine& k);
// "NAME<tab>WORDS" and a line feed on stdout.
void PrintKeyLine(const KeyLine& k);

// Where the core saved the keyboard's profiles before an overwrite, said on
// stderr; or why it could not (nothing was written then), and the exit code.
int ReportSafetyBackup(const SafetyBackupOutcome& backup);

// Colours as RRGGBB in hexadecimal ("#" allowed before), and back.
std::optional<Colour> ParseColourText(std::string_view text);
std::string ColourText(Colour c);

using CommandFn = int (*)(const GlobalOptions&, std::span<const std::string>);

struct Command {
  std::string_view name;
  std::string_view usage;  // shown by --help
  CommandFn run;
  // It opens the keyboard: the running keyloft runs it when there is one.
  bool usesKeyboard = true;
};

int RunList(const GlobalOptions& options, std::span<const std::string> words);
int RunInfo(const GlobalOptions& options, std::span<const std::string> words);
int RunProfile(const GlobalOptions& options, std::span<const std::string> words);
int RunBackup(const GlobalOptions& options, std::span<const std::string> words);
int RunRestore(const GlobalOptions& options, std::span<const std::string> words);
int RunKeys(const GlobalOptions& options, std::span<const std::string> words);
int RunAssign(const GlobalOptions& options, std::span<const std::string> words);
int RunLighting(const GlobalOptions& options, std::span<const std::string> words);
int RunFile(const GlobalOptions& options, std::span<const std::string> words);
int RunDoctor(const GlobalOptions& options, std::span<const std::string> words);
int RunMacros(const GlobalOptions& options, std::span<const std::string> words);
int RunMacro(const GlobalOptions& options, std::span<const std::string> words);
int RunColours(const GlobalOptions& options, std::span<const std::string> words);
int RunReset(const GlobalOptions& options, std::span<const std::string> words);
int RunWatch(const GlobalOptions& options, std::span<const std::string> words);

std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);
// words: the command's name and its arguments. Its exit code; 2 after saying
// so for a name no command has.
int RunCommand(const GlobalOptions& options, std::span<const std::string> words);

}  // namespace keyloft::cli
