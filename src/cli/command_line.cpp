#include "cli/commands.h"

#include "device/command_protocol.h"
#include "device/connection.h"
#include "store/profile_file.h"

namespace keyloft::cli {

const std::string* CommandLine::Option(std::string_view name) const {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options) {
    if (key == name) found = &value;  // the last one given wins
  }
  return found;
}

bool ParseCommandLine(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out,
                      std::string& error) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!word.starts_with("--")) {
      out.positional.push_back(word);
      continue;
    }
    const OptionSpec* match = nullptr;
    for (const OptionSpec& s : known) {
      if (s.name == word) match = &s;
    }
    if (!match) {
      error = "unknown option " + word;
      return false;
    }
    std::string value;
    if (match->takesValue) {
      if (i + 1 >= words.size()) {
        error = "option " + word + " needs a value";
        return false;
      }
      value = words[++i];
    }
    out.options.emplace_back(word, value);
  }
  return true;
}

int ProfileOption(const CommandLine& line, Session& session) {
  if (const std::string* text = line.Option("--profile")) {
    const int p = ParseProfileNumber(*text);
    if (p < 0) Fail(kExitUsage, "--profile must be 1, 2 or 3");
    return p;
  }
  int active = -1;
  session.Run([&] {
    DeviceSequence sequence(session.Core().Device(), DeviceSequence::Fresh);
    CommandChannel channel(session.Core().Device());
    active = GetActiveProfile(session.Core().Device(), channel);
  });
  return active >= 0 && active <= 2 ? active : 0;
}

bool VerifyWrites(Session& session, std::span<const int> profiles, bool macros) {
  ProfileEditor& editor = session.Core().Editor();
  VerifyOutcome keyMaps, macroArea;
  session.Run([&] {
    if (macros) macroArea = editor.VerifyMacros();
    keyMaps = editor.VerifyKeyMaps(profiles);
  });
  bool same = true;
  auto differs = [&](const std::string& why) {
    Fail(kExitKeyboard, "verify: " + why);
    same = false;
  };
  if (macros && macroArea.device != DevResult::Ok) differs("macros: " + DevResultText(macroArea.device));
  if (macros && macroArea.device == DevResult::Ok && !macroArea.differing.empty()) {
    differs("the keyboard's macro area differs from what was written");
  }
  if (keyMaps.device != DevResult::Ok) differs("key maps: " + DevResultText(keyMaps.device));
  for (int p : keyMaps.differing) {
    differs("profile " + std::to_string(p + 1) + ": the keyboard's key map differs from what was written");
  }
  return same;
}

std::string EditResultText(EditResult result) {
  switch (result) {
    case EditResult::Ok: return "done";
    case EditResult::NoSuchProfile: return "the profile must be 1, 2 or 3";
    case EditResult::NoSuchKey: return "that key cannot be assigned";
    case EditResult::NoSuchMacro: return "no such macro";
    case EditResult::MacroExists: return "a macro of that name exists already";
    case EditResult::TooManyMacros: return "the keyboard holds no more than " + std::to_string(kMaxMacros) + " macros";
    case EditResult::BadName: return "a macro name has 1.." + std::to_string(kMaxMacroNameChars) + " characters";
    case EditResult::NoSteps: return "a macro needs at least one step";
    case EditResult::TooManySteps: return "a macro holds at most " + std::to_string(kMaxMacroSteps) + " steps";
    case EditResult::Declined: return "nothing was changed";
  }
  return "the edit was refused";
}

int ProfileFileExitCode(const std::filesystem::path& shown, int check, const std::string& damage) {
  const std::string name = shown.string();
  switch (check) {
    case kProfileFileValid: return kExitOk;
    case kProfileFileUnreadable: return Fail(kExitFileRejected, name + " cannot be read");
    case kProfileFileNoMemory: return Fail(kExitFileRejected, name + " is too large to load");
    default: break;
  }
  if (damage.empty()) return Fail(kExitFileRejected, name + " is not a profile file (missing or of the wrong size)");
  return Fail(kExitFileRejected, name + " is damaged: " + damage);
}

int ApplyExitCode(const ApplyOutcome& applied, std::string_view what) {
  const std::string subject(what);
  switch (applied.result) {
    case ApplyResult::Applied:
    case ApplyResult::NothingPending:
      return kExitOk;
    case ApplyResult::Declined:
      return Fail(kExitUsage, "nothing was changed");
    case ApplyResult::MacrosTooLong:
      return Fail(kExitKeyboard, subject + " was not written: the macros do not fit the keyboard's memory");
    case ApplyResult::WriteFailed:
      return Fail(kExitKeyboard, subject + " could not be written to the keyboard: " + DevResultText(applied.device));
    case ApplyResult::ReadBackFirst:
      return Fail(kExitKeyboard, subject + " was not written: the keyboard's profiles had not been read, so they were "
                                           "read now and nothing was written over them; run the command again");
    case ApplyResult::NotSaved:
      return Fail(kExitKeyboard, subject + " reached the keyboard, but the working copy of the profiles could not be saved");
  }
  return Fail(kExitKeyboard, subject + " could not be written to the keyboard");
}

bool ParseArguments(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out) {
  std::string error;
  if (ParseCommandLine(words, known, out, error)) return true;
  Fail(kExitUsage, error);
  return false;
}

}  // namespace keyloft::cli
