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

std::string CodeText(KeyCode code) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%03x", code);
  return text;
}

std::optional<KeyCode> ParseCode(std::string_view text) {
  if (!StartsWithIgnoreCase(text, "0x") || text.size() < 3) return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
  return static_cast<KeyCode>(value);
}



std::optional<KeyCode> FindAssignableKey(const Localisation& lang, std::string_view text) {
  const auto keys = AssignableKeys();
  if (auto code = ParseCode(text)) {
    for (KeyCode k : keys) {
      if (k == *code) return k;
    }
    return std::nullopt;
  }
  for (KeyCode k : keys) {
    if (EqualsIgnoreCase(KeyLabel(lang, k), text)) return k;
  }
  return std::nullopt;
}


struct Action {
  uint16_t type = kAssignDefault;
  uint32_t value = 0;
  std::string macroName;
  uint8_t cycles = 1;
};

// ACTION into an assignment; the macro's identifier is found later, with the model.
bool ParseAction(const Localisation& lang, std::string_view text, Action& action, std::string& error) {
  const size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  const std::string_view arg = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  if (kind == "default" && colon == std::string_view::npos) return true;
  if (kind == "key") {
    const auto code = FindProducedKey(lang, arg);
    if (!code) return error = "no key named '" + std::string(arg) + "'", false;
    action.type = kAssignKey;
    action.value = *code;
    return true;
  }
  if (kind == "media") {
    for (size_t i = 0; i < kMediaCount; ++i) {
      if (EqualsIgnoreCase(GetKeyName(lang, MediaList()[i].code), arg)) {
        action.type = kAssignMedia;
        action.value = static_cast<uint32_t>(i);
        return true;
      }
    }
    return error = "no media key named '" + std::string(arg) + "'", false;
  }
  if (kind == "function") {
    const auto n = ParseInt(arg, 1, static_cast<int>(kFunctionCount));
    if (!n) return error = "function must be 1.." + std::to_string(kFunctionCount), false;
    action.type = kAssignFunction;
    action.value = static_cast<uint32_t>(*n - 1);
    return true;
  }
  if (kind == "macro") {
    std::string_view name = arg;
    const size_t last = arg.rfind(':');
    if (last != std::string_view::npos) {
      const auto cycles = ParseInt(arg.substr(last + 1), 1, 255);
      if (!cycles) return error = "macro cycles must be 1..255", false;
      action.cycles = static_cast<uint8_t>(*cycles);
      name = arg.substr(0, last);
    }
    if (name.empty()) return error = "macro: needs a macro name", false;
    action.type = kAssignMacro;
    action.macroName = std::string(name);
    return true;
  }
  error = "unknown action '" + std::string(text) + "': use default, key:NAME, macro:NAME[:CYCLES], media:NAME or function:N";
  return false;
}

// A JSON value that says what the record does: the key code, macro id,
// media index or function number (1..11); 0 for the others.
long long ValueOf(const KeyAssignment& record) {
  return record.type == kAssignFunction ? record.value + 1 : record.value;
}

}  // namespace

std::optional<KeyCode> FindProducedKey(const Localisation& lang, std::string_view text) {
  if (auto code = ParseCode(text)) {
    if (KeyRowOf(*code).nameKey.empty()) return std::nullopt;
    return code;
  }
  for (uint16_t index = 1; index < kKeyTableRows; ++index) {
    const KeyCode code = IndexToKeyCode(index);
    if (!KeyRowOf(code).nameKey.empty() && EqualsIgnoreCase(GetKeyName(lang, code), text)) return code;
  }
  return std::nullopt;
}

std::vector<KeyCode> AssignableKeys() {
  std::vector<KeyCode> keys(kKeyboardKeys.begin(), kKeyboardKeys.end());
  for (KeyCode g = 0; g < kGKeysPerSet; ++g) keys.push_back(static_cast<KeyCode>(kFirstGKey + g));
  return keys;
}

std::string KeyLabel(const Localisation& lang, KeyCode code) {
  return code >= kFirstGKey ? "G" + std::to_string(code - kFirstGKey + 1) : GetKeyName(lang, code);
}

KeyLine DescribeKey(const Localisation& lang, const ProfileData& model, int profile, KeyCode code) {
  const KeyAssignment& record = model.block.arrays[static_cast<size_t>(profile)][KeyCodeToIndex(code)];
  return {code, KeyLabel(lang, code), record, DescribeAssignment(lang, code, record, model.macros).text};
}

void WriteKeyJson(JsonWriter& json, const KeyLine& k) {
  json.BeginObject()
      .Key("key").String(k.name)
      .Key("code").String(CodeText(k.code))
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

void PrintKeyLine(const KeyLine& k) { std::cout << k.name << '\t' << KeyLineWords(k) << '\n'; }

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
  KeyloftCore& core = session.Core();
  std::vector<KeyLine> lines;
  {
    std::scoped_lock lock(core.Workspace().workingLock);
    for (KeyCode code : AssignableKeys()) {
      lines.push_back(DescribeKey(core.Lang(), core.Workspace().workingProfile, profile, code));
    }
  }
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
  const auto key = FindAssignableKey(core.Lang(), line.positional[0]);
  if (!key) return Fail(kExitUsage, "no key named '" + line.positional[0] + "'");
  Action action;
  std::string error;
  if (!ParseAction(core.Lang(), line.positional[1], action, error)) return Fail(kExitUsage, error);

  if (int code = session.Connect()) return code;
  const int profile = ProfileOption(line, session);
  bool macroFound = true;
  bool applied = false;
  session.Run([&] {
    CommandChannel channel(core.Device());
    const int active = GetActiveProfile(core.Device(), channel);
    ProfileWorkspace& workspace = core.Workspace();
    {
      std::scoped_lock lock(workspace.workingLock);
      ProfileData& model = workspace.workingProfile;
      KeyAssignment& record = model.block.arrays[static_cast<size_t>(profile)][KeyCodeToIndex(*key)];
      KeyAssignment changed = record;
      changed.type = action.type;
      changed.value = action.value;
      // G-key records keep their identifier in aux unless a macro's cycles take it.
      if (*key < kFirstGKey) changed.aux = 0;
      if (action.type == kAssignMacro) {
        const auto it = std::find_if(model.macros.begin(), model.macros.end(),
                                     [&](const MacroRecord& m) { return EqualsIgnoreCase(Utf16ToUtf8(m.name), action.macroName); });
        if (it == model.macros.end()) {
          macroFound = false;
          return;
        }
        changed.value = it->id;
        changed.aux = action.cycles;
      }
      record = changed;
      // A profile other than the active one is only written with all three.
      if (profile != active) workspace.writeAll = true;
    }
    session.Ui().SetApplyEnabled(true);
    core.Sync().Apply();
    applied = !session.Ui().ApplyEnabled();
  });
  if (!macroFound) return Fail(kExitUsage, "no macro named '" + action.macroName + "'");
  if (!applied) return Fail(kExitKeyboard, "the change could not be written to the keyboard");
  {
    // Keys with no slot in the keyboard's key map (the G-keys on these models)
    // are kept in the profile files only; say so rather than let it look stored.
    std::array<uint8_t, kDefaultKeyMapBytes> defaults;
    {
      std::scoped_lock lock(core.Device().stateLock);
      defaults = core.Device().defaultKeyMap;
    }
    bool hasSlot = false;
    for (size_t s = 0; s < kKeyMapSlots && !hasSlot; ++s) hasSlot = SlotKey(defaults, s) == *key;
    if (!hasSlot) {
      std::cerr << "keyloftctl: the keyboard keeps no assignment for " << line.positional[0]
                << "; it is kept in the profile files only\n";
    }
  }
  if (options.verify) {
    const int profiles[] = {profile};
    if (!VerifyKeyMaps(session, profiles)) return kExitKeyboard;
  }
  KeyLine result;
  {
    std::scoped_lock lock(core.Workspace().workingLock);
    result = DescribeKey(core.Lang(), core.Workspace().workingProfile, profile, *key);
  }
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
