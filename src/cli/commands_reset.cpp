// colours and reset.
#include <iostream>

#include "cli/commands.h"
#include "device/command_protocol.h"
#include "device/connection.h"
#include "model/key_assignments.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

// The LED slot of a key of the user-defined effect, by its name in the LED table.
int FindLedSlot(std::string_view name) {
  for (const LedSlotEntry& e : kLedSlotTable) {
    if (e.kind != LedKeyKind::kGKey && EqualsIgnoreCase(e.name, name)) return e.slot;
  }
  return -1;
}

struct Paint {
  std::string key;
  int slot;
  Colour colour;
};

}  // namespace

int RunColours(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--scheme", true}, {"--profile", true}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (line.positional.empty()) return Fail(kExitUsage, "colours needs at least one KEY=RRGGBB");
  std::vector<Paint> paints;
  for (const std::string& word : line.positional) {
    const size_t eq = word.rfind('=');
    if (eq == std::string::npos || eq == 0) return Fail(kExitUsage, "'" + word + "' is not KEY=RRGGBB");
    const std::string key = word.substr(0, eq);
    const int slot = FindLedSlot(key);
    if (slot < 0) return Fail(kExitUsage, "no lit key named '" + key + "'");
    const auto colour = ParseColourText(std::string_view(word).substr(eq + 1));
    if (!colour) return Fail(kExitUsage, "'" + word.substr(eq + 1) + "' is not RRGGBB in hexadecimal");
    paints.push_back({key, slot, *colour});
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

  Session session(options);
  if (int code = session.Connect()) return code;
  const int profile = ProfileOption(line, session);
  KeyloftCore& core = session.Core();
  bool supported = true;
  int painted = 0;
  session.Run([&] {
    LightingModel& lighting = core.Lighting();
    lighting.SetProfile(profile);
    if (lighting.ReadAllParams() < 0 || !lighting.UserDefinedSupported()) {
      supported = false;
      return;
    }
    UserData& files = core.UserFiles();
    if (scheme) files.WriteSchemeIndex(profile, *scheme);
    painted = files.ReadSchemeIndex(profile);
    const uint32_t base = files.ReadSchemeTools(profile, painted).baseColour;
    for (const Paint& p : paints) {
      files.WriteKeyLight(profile, painted, p.slot, KeyLight{p.colour, p.colour == base ? 1 : 0});
    }
    lighting.LoadSchemeWithUpload();
  });
  if (!supported) return Fail(kExitKeyboard, "the keyboard does not offer the user-defined effect");
  // The keyboard has no command that reads key colours back.
  if (options.verify) std::cerr << "keyloftctl: key colours cannot be read back from the keyboard; not verified\n";
  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("profile").Int(profile + 1).Key("scheme").Int(painted + 1).Key("keys").BeginArray();
    for (const Paint& p : paints) json.BeginObject().Key("key").String(p.key).Key("colour").String(ColourText(p.colour)).EndObject();
    json.EndArray().EndObject();
    PrintJson(json);
  } else {
    std::cout << "profile " << profile + 1 << " scheme " << painted + 1 << ": " << paints.size() << " keys painted\n";
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
  bool yes = false;
  session.Run([&] { yes = session.Ui().Confirm("MAIN_PROMPT_DEFAULT"); });
  if (!yes) return Fail(kExitUsage, "nothing was changed");
  std::filesystem::path backup;
  if (int code = SafetyBackup(session, backup)) return code;

  KeyloftCore& core = session.Core();
  int active = 0;
  bool applied = false;
  int effect = 0;
  session.Run([&] {
    CommandChannel channel(core.Device());
    active = std::max(GetActiveProfile(core.Device(), channel), 0);
    {
      std::scoped_lock lock(core.Workspace().workingLock);
      ResetProfileAssignments(core.Workspace().workingProfile, active);
    }
    session.Ui().SetApplyEnabled(true);
    core.Sync().Apply();
    applied = !session.Ui().ApplyEnabled();
    if (!withLighting) return;
    LightingModel& lighting = core.Lighting();
    lighting.SetProfile(active);
    if (lighting.ReadAllParams() < 0) return;
    lighting.ResetLighting();
    if (lighting.ReadAllParams() >= 0) effect = lighting.State().mode;
  });
  if (!applied) return Fail(kExitKeyboard, "the defaults could not be written to the keyboard");
  if (withLighting && effect != 1) return Fail(kExitKeyboard, "the keyboard did not take the default lighting");
  if (options.verify) {
    const int profiles[] = {active};
    if (!VerifyKeyMaps(session, profiles)) return kExitKeyboard;
  }
  if (options.json) {
    PrintJson(JsonWriter()
                  .BeginObject()
                  .Key("profile").Int(active + 1)
                  .Key("lighting").Bool(withLighting)
                  .Key("backup").String(backup.string())
                  .EndObject());
  } else {
    std::cout << "profile " << active + 1 << " reset" << (withLighting ? " with its lighting" : "") << '\n';
  }
  return kExitOk;
}

}  // namespace keyloft::cli
