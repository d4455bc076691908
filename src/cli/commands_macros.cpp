// macros, macro show, macro add, macro delete.
#include <iostream>

#include "cli/commands.h"
#include "device/command_protocol.h"
#include "device/connection.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

const MacroRecord* FindMacro(const MacroList& list, std::optional<uint16_t> id) {
  if (!id) return nullptr;
  for (const MacroRecord& m : list) {
    if (m.id == *id) return &m;
  }
  return nullptr;
}

// STEPS: "KEY+" press, "KEY-" release, a number the pause in ms after the step before.
bool ParseSteps(const Localisation& lang, std::span<const std::string> words, std::vector<MacroStep>& steps,
                std::string& error) {
  for (const std::string& word : words) {
    if (auto delay = ParseInt(word, 0, static_cast<int>(kMaxEditorDelayMs))) {
      if (steps.empty()) return error = "a pause (" + word + ") must follow a step", false;
      steps.back().delay = static_cast<uint32_t>(*delay);
      continue;
    }
    if (word.size() < 2 || (word.back() != '+' && word.back() != '-')) {
      return error = "step '" + word + "' is neither KEY+, KEY- nor a pause of 0.." + std::to_string(kMaxEditorDelayMs) + " ms", false;
    }
    const auto key = FindTableKeyByName(lang, std::string_view(word).substr(0, word.size() - 1));
    if (!key) return error = "no key named '" + word.substr(0, word.size() - 1) + "'", false;
    steps.push_back({0, *key, word.back() == '+' ? uint16_t{kStepPress} : uint16_t{kStepRelease}});
  }
  if (steps.empty()) return error = "a macro needs at least one step", false;
  if (steps.size() > kMaxMacroSteps) return error = "a macro holds at most " + std::to_string(kMaxMacroSteps) + " steps", false;
  return true;
}

void WriteMacroJson(JsonWriter& json, const MacroRecord& m) {
  json.Key("name").String(Utf16ToUtf8(m.name)).Key("id").Int(m.id).Key("cycles").Int(m.cycles);
}

// Applies the working model; with --verify the macro area and the key maps
// written are read back.
int ApplyChange(Session& session, bool allProfiles) {
  ApplyOutcome applied;
  int active = 0;
  session.Run([&] {
    DeviceSequence sequence(session.Core().Device(), DeviceSequence::Fresh);
    CommandChannel channel(session.Core().Device());
    active = GetActiveProfile(session.Core().Device(), channel);
    applied = session.Core().Editor().Apply();
  });
  if (int code = ApplyExitCode(applied, "the change")) return code;
  if (session.Options().verify) {
    static constexpr int kAll[] = {0, 1, 2};
    const int one[] = {active >= 0 && active <= 2 ? active : 0};
    if (!VerifyWrites(session, allProfiles ? std::span<const int>(kAll) : one, true)) return kExitKeyboard;
  }
  return kExitOk;
}

int Show(Session& session, const std::string& name) {
  KeyloftCore& core = session.Core();
  const MacroList macros = core.Editor().Macros();
  const MacroRecord* m = FindMacro(macros, core.Editor().FindMacro(name));
  if (!m) return Fail(kExitUsage, "no macro named '" + name + "'");
  if (session.Options().json) {
    JsonWriter json;
    json.BeginObject();
    WriteMacroJson(json, *m);
    json.Key("steps").BeginArray();
    for (const MacroStep& s : m->steps) {
      json.BeginObject()
          .Key("key").String(KeyName(core.Lang(), s.key))
          .Key("action").String(s.state == kStepPress ? "press" : "release")
          .Key("delay").Int(s.delay)
          .EndObject();
    }
    json.EndArray().EndObject();
    PrintJson(json);
    return kExitOk;
  }
  // The steps as macro add takes them.
  for (const MacroStep& s : m->steps) {
    Out() << KeyName(core.Lang(), s.key) << (s.state == kStepPress ? '+' : '-') << '\n';
    if (s.delay > 0) Out() << s.delay << '\n';
  }
  return kExitOk;
}

int Add(Session& session, const std::string& name, std::vector<MacroStep> steps) {
  if (EditResult added = session.Core().Editor().AddMacro(name, std::move(steps), 1); added != EditResult::Ok) {
    return Fail(kExitUsage, EditResultText(added) + (added == EditResult::MacroExists ? ": '" + name + "'" : ""));
  }
  return ApplyChange(session, false);
}

int Delete(Session& session, const std::string& name) {
  ProfileEditor& editor = session.Core().Editor();
  const auto id = editor.FindMacro(name);
  if (!id) return Fail(kExitUsage, "no macro named '" + name + "'");
  // The question, when keys play the macro, is asked with no profile locked.
  if (EditResult deleted = editor.DeleteMacro(*id); deleted != EditResult::Ok) {
    return Fail(kExitUsage, EditResultText(deleted));
  }
  // The macros after it move up in the image, so every key map is written.
  return ApplyChange(session, true);
}

}  // namespace

int RunMacros(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");
  Session session(options);
  if (int code = session.Connect()) return code;
  const MacroList macros = session.Core().Editor().Macros();
  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("macros").BeginArray();
    for (const MacroRecord& m : macros) {
      json.BeginObject();
      WriteMacroJson(json, m);
      json.Key("steps").Int(static_cast<long long>(m.steps.size())).EndObject();
    }
    json.EndArray().EndObject();
    PrintJson(json);
  } else {
    for (const MacroRecord& m : macros) {
      Out() << Utf16ToUtf8(m.name) << '\t' << m.steps.size() << " steps\t" << int(m.cycles) << " cycles\n";
    }
  }
  return kExitOk;
}

int RunMacro(const GlobalOptions& options, std::span<const std::string> words) {
  // Step words end in '-' and pauses are bare numbers, so nothing here is an option.
  if (words.size() < 2) return Fail(kExitUsage, "use 'macro show NAME', 'macro add NAME STEPS...' or 'macro delete NAME'");
  const std::string& verb = words[0];
  const std::string& name = words[1];
  if (verb != "show" && verb != "add" && verb != "delete") return Fail(kExitUsage, "unknown macro command '" + verb + "'");
  if (verb != "add" && words.size() != 2) return Fail(kExitUsage, "macro " + verb + " takes one NAME");
  if (name.empty() || CountCodePoints(name) > kMaxMacroNameChars) {
    return Fail(kExitUsage, "a macro name has 1.." + std::to_string(kMaxMacroNameChars) + " characters");
  }
  Session session(options);
  std::vector<MacroStep> steps;
  std::string error;
  if (verb == "add" && !ParseSteps(session.Core().Lang(), words.subspan(2), steps, error)) return Fail(kExitUsage, error);
  if (int code = session.Connect()) return code;
  if (verb == "show") return Show(session, name);
  if (int code = session.RefuseWhileEditing()) return code;
  const int code = verb == "add" ? Add(session, name, std::move(steps)) : Delete(session, name);
  if (code == kExitOk) {
    if (options.json) {
      PrintJson(JsonWriter().BeginObject().Key(verb == "add" ? "added" : "deleted").String(name).EndObject());
    } else {
      Out() << (verb == "add" ? "added " : "deleted ") << name << '\n';
    }
  }
  return code;
}

}  // namespace keyloft::cli
