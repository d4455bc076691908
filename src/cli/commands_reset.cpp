// colours and reset.
#include <iostream>

#include "cli/commands.h"
#include "device/command_protocol.h"
#include "device/connection.h"
#include "model/key_assignments.h"
#include "model/keyboard_model.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

// The keys the user-defined effect lights one by one: every lit key but the G-keys.
std::vector<KeyCode> PaintableKeys(const KeyboardModel& model) {
  std::vector<KeyCode> keys;
  for (const LedSlotEntry& e : model.ledSlots) {
    if (e.kind != LedKeyKind::kGKey) keys.push_back(e.key);
  }
  return keys;
}

struct Paint {
  std::string key;
  SlotPaint slot;
};

}  // namespace

int RunColours(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--scheme", true}, {"--profile", true}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (line.positional.empty()) return Fail(kExitUsage, "colours needs at least one KEY=RRGGBB");
  Session session(options);
  KeyloftCore& core = session.Core();
  const std::vector<KeyCode> paintable = PaintableKeys(core.Model());
  std::vector<Paint> paints;
  for (const std::string& word : line.positional) {
    const size_t eq = word.rfind('=');
    if (eq == std::string::npos || eq == 0) return Fail(kExitUsage, "'" + word + "' is not KEY=RRGGBB");
    const std::string name = word.substr(0, eq);
    const auto key = FindKeyByName(core.Lang(), name, paintable);
    if (!key) return Fail(kExitUsage, "no lit key named '" + name + "'");
    const auto colour = ParseColourText(std::string_view(word).substr(eq + 1));
    if (!colour) return Fail(kExitUsage, "'" + word.substr(eq + 1) + "' is not RRGGBB in hexadecimal");
    paints.push_back({KeyName(core.Lang(), *key), {LedSlotOfKey(core.Model().ledSlots, *key), *colour}});
  }
  std::optional<int> scheme;
  if (const std::string* text = line.Option("--scheme")) {
    const auto n = ParseInt(*text, 1, kSchemesPerProfile);
    if (!n) return Fail(kExitUsage, "--scheme must be 1.." + std::to_string(kSchemesPerProfile));
    scheme = *n - 1;
  }
  if (const std::string* p = line.Option("--profile"); p && ParseProfileNumber(*p) < 0) {
    return Fail(kExitUsage, "--profile must be 1, 2 or 3");
  }

  if (int code = session.Connect()) return code;
  const int profile = ProfileOption(line, session);
  DevResult read = DevResult::NoReply, uploaded = DevResult::NoReply;
  bool supported = true;
  int painted = 0;
  session.Run([&] {
    LightingController& lighting = core.Lighting();
    lighting.SetProfile(profile);
    read = lighting.ReadAllParams();
    supported = lighting.UserDefinedSupported();
    if (read != DevResult::Ok || !supported) return;
    std::vector<SlotPaint> slots;
    for (const Paint& p : paints) slots.push_back(p.slot);
    uploaded = lighting.PaintKeys(scheme, slots, &painted);
  });
  if (read != DevResult::Ok) return Fail(kExitKeyboard, "the keyboard's lighting could not be read: " + DevResultText(read));
  if (!supported) return Fail(kExitKeyboard, "the keyboard does not offer the user-defined effect");
  if (uploaded != DevResult::Ok) {
    return Fail(kExitKeyboard, "the colours were stored, but not sent to the keyboard: " + DevResultText(uploaded));
  }
  // The keyboard has no command that reads key colours back.
  if (options.verify) Err() << "keyloftctl: key colours cannot be read back from the keyboard; not verified\n";
  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("profile").Int(profile + 1).Key("scheme").Int(painted + 1).Key("keys").BeginArray();
    for (const Paint& p : paints) {
      json.BeginObject().Key("key").String(p.key).Key("colour").String(ColourText(p.slot.colour)).EndObject();
    }
    json.EndArray().EndObject();
    PrintJson(json);
  } else {
    Out() << "profile " << profile + 1 << " scheme " << painted + 1 << ": " << paints.size() << " keys painted\n";
  }
  return kExitOk;
}

int RunReset(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--lighting", false}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");
  const bool withLighting = line.Option("--lighting") != nullptr;

  Session session(options);
  if (int code = session.Connect()) return code;
  if (int code = session.RefuseWhileEditing()) return code;
  bool yes = false;
  session.Run([&] { yes = session.Ui().Confirm("MAIN_PROMPT_DEFAULT"); });
  if (!yes) return Fail(kExitUsage, "nothing was changed");

  KeyloftCore& core = session.Core();
  RestoreOutcome restored;
  DevResult readBack = DevResult::Ok;
  int effect = 0;
  session.Run([&] {
    restored = core.Editor().RestoreDefaults(withLighting);
    if (!withLighting || restored.result != RestoreResult::Done) return;
    // What the keyboard keeps now, read back.
    readBack = core.Lighting().ReadAllParams();
    effect = core.Lighting().State().mode;
  });
  if (restored.result == RestoreResult::NoProfile) {
    return Fail(kExitKeyboard, "the keyboard's active profile is not known; nothing was reset");
  }
  if (int code = ReportSafetyBackup(restored.backup)) return code;
  const std::filesystem::path& backup = restored.backup.file;
  const int active = restored.profile;
  if (int code = ApplyExitCode(restored.apply, "the defaults")) return code;
  if (withLighting && restored.lighting != DevResult::Ok) {
    return Fail(kExitKeyboard, "the default lighting could not be written: " + DevResultText(restored.lighting));
  }
  if (withLighting && (readBack != DevResult::Ok || effect != 1)) {
    return Fail(kExitKeyboard, "the keyboard did not take the default lighting");
  }
  if (options.verify) {
    const int profiles[] = {active};
    if (!VerifyWrites(session, profiles, false)) return kExitKeyboard;
  }
  if (options.json) {
    PrintJson(JsonWriter()
                  .BeginObject()
                  .Key("profile").Int(active + 1)
                  .Key("lighting").Bool(withLighting)
                  .Key("backup").String(backup.string())
                  .EndObject());
  } else {
    Out() << "profile " << active + 1 << " reset" << (withLighting ? " with its lighting" : "") << '\n';
  }
  return kExitOk;
}

}  // namespace keyloft::cli
