// keys and assign.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "device/connection.h"
#include "model/default_key_map.h"
#include "model/key_assignments.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

constexpr std::string_view kTypeNames[] = {"default", "disabled", "key",   "launch",  "macro",
                                           "stop-macro", "text",  "media", "function"};

std::string_view TypeName(uint16_t type) { return type < std::size(kTypeNames) ? kTypeNames[type] : "unknown"; }

// What ACTION asks for; a macro is named, its identifier found with the model.
struct Action {
  KeyAction action;
  std::string macroName;
};

// ACTION into an assignment; the macro's identifier is found later, with the model.
bool ParseAction(const Localisation& lang, std::string_view text, Action& action, std::string& error) {
  const size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  const std::string_view arg = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  if (kind == "default" && colon == std::string_view::npos) return true;
  if (kind == "key") {
    const auto code = FindTableKeyByName(lang, arg);
    if (!code) return error = "no key named '" + std::string(arg) + "'", false;
    action.action = KeyAction::Key(*code);
    return true;
  }
  if (kind == "mouse") {
    // The keyboard's mouse actions, by the names a script would use.
    static constexpr std::pair<std::string_view, KeyCode> kMouse[] = {
        {"left", 0x171}, {"right", 0x172}, {"middle", 0x173}, {"wheel-up", 0x161}, {"wheel-down", 0x162}};
    for (const auto& [name, code] : kMouse) {
      if (EqualsIgnoreCase(arg, name)) {
        action.action = KeyAction::Key(code);
        return true;
      }
    }
    return error = "mouse must be left, right, middle, wheel-up or wheel-down", false;
  }
  if (kind == "media") {
    const auto index = FindMediaByName(lang, arg);
    if (!index) return error = "no media key named '" + std::string(arg) + "'", false;
    action.action = KeyAction::Media(static_cast<uint32_t>(*index));
    return true;
  }
  if (kind == "function") {
    const auto n = ParseInt(arg, 1, static_cast<int>(kFunctionCount));
    if (!n) return error = "function must be 1.." + std::to_string(kFunctionCount), false;
    action.action = KeyAction::Function(static_cast<uint32_t>(*n - 1));
    return true;
  }
  if (kind == "macro") {
    std::string_view name = arg;
    const size_t last = arg.rfind(':');
    if (last != std::string_view::npos) {
      const auto cycles = ParseInt(arg.substr(last + 1), kMinMacroCycles, kMaxMacroCycles);
      if (!cycles) {
        return error = "macro cycles must be " + std::to_string(kMinMacroCycles) + ".." + std::to_string(kMaxMacroCycles),
               false;
      }
      action.action.cycles = static_cast<uint8_t>(*cycles);
      name = arg.substr(0, last);
    }
    if (name.empty()) return error = "macro: needs a macro name", false;
    action.action.type = kAssignMacro;
    action.macroName = std::string(name);
    return true;
  }
  error = "unknown action '" + std::string(text) +
          "': use default, key:NAME, mouse:BUTTON, macro:NAME[:CYCLES], media:NAME or function:N";
  return false;
}

// A JSON value that says what the record does: the key code, macro id,
// media index or function number (1..11); 0 for the others.
long long ValueOf(const KeyAssignment& record) {
  return record.type == kAssignFunction ? record.value + 1 : record.value;
}

}  // namespace

void WriteKeyJson(JsonWriter& json, const KeyLine& k) {
  json.BeginObject()
      .Key("key").String(k.name)
      .Key("code").String(KeyCodeText(k.key))
      .Key("type").String(TypeName(k.record.type))
      .Key("value").Int(ValueOf(k.record))
      .Key("description").String(k.description)
      .EndObject();
}

std::string KeyLineWords(const KeyLine& k) {
  if (k.record.type == kAssignDefault) return "default";
  std::string_view words = std::string_view(k.description).substr(std::min(k.name.size(), k.description.size()));
  while (!words.empty() && (words.front() == ':' || words.front() == ' ')) words.remove_prefix(1);
  return std::string(words);
}

void PrintKeyLine(const KeyLine& k) { Out() << k.name << '\t' << KeyLineWords(k) << '\n'; }

int RunKeys(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--profile", true}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");
  if (const std::string* p = line.Option("--profile"); p && ParseProfileNumber(*p) < 0) {
    return Fail(kExitUsage, "--profile must be 1, 2 or 3");
  }
  Session session(options);
  if (int code = session.Connect()) return code;
  const int profile = ProfileOption(line, session);
  const std::vector<KeyLine> lines = session.Core().Editor().DescribeAll(profile);
  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("profile").Int(profile + 1).Key("keys").BeginArray();
    for (const KeyLine& k : lines) WriteKeyJson(json, k);
    json.EndArray().EndObject();
    PrintJson(json);
  } else {
    for (const KeyLine& k : lines) PrintKeyLine(k);
  }
  return kExitOk;
}

int RunAssign(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--profile", true}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (line.positional.size() != 2) return Fail(kExitUsage, "assign needs KEY and ACTION");
  if (const std::string* p = line.Option("--profile"); p && ParseProfileNumber(*p) < 0) {
    return Fail(kExitUsage, "--profile must be 1, 2 or 3");
  }
  Session session(options);
  KeyloftCore& core = session.Core();
  ProfileEditor& editor = core.Editor();
  const auto key = FindKeyByName(core.Lang(), line.positional[0], editor.AssignableKeys());
  if (!key) return Fail(kExitUsage, "no key named '" + line.positional[0] + "'");
  Action action;
  std::string error;
  if (!ParseAction(core.Lang(), line.positional[1], action, error)) return Fail(kExitUsage, error);

  if (int code = session.Connect()) return code;
  if (int code = session.RefuseWhileEditing()) return code;
  const int profile = ProfileOption(line, session);
  if (action.action.type == kAssignMacro) {
    const auto id = editor.FindMacro(action.macroName);
    if (!id) return Fail(kExitUsage, "no macro named '" + action.macroName + "'");
    action.action.value = *id;
  }
  if (EditResult edited = editor.AssignKey(profile, *key, action.action); edited != EditResult::Ok) {
    return Fail(kExitUsage, EditResultText(edited));
  }
  ApplyOutcome applied;
  session.Run([&] { applied = editor.Apply(); });
  if (int code = ApplyExitCode(applied, "the change")) return code;
  if (!editor.KeyboardKeepsAssignment(*key)) {
    Err() << "keyloftctl: the keyboard keeps no assignment for " << line.positional[0]
              << "; it is kept in the profile files only\n";
  }
  if (options.verify) {
    const int profiles[] = {profile};
    if (!VerifyWrites(session, profiles, false)) return kExitKeyboard;
  }
  const KeyLine result = editor.Describe(profile, *key);
  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("profile").Int(profile + 1).Key("key");
    WriteKeyJson(json, result);
    json.EndObject();
    PrintJson(json);
  } else {
    PrintKeyLine(result);
  }
  return kExitOk;
}

}  // namespace keyloft::cli
