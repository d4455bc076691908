// list, info, profile, backup and restore.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/commands.h"
#include "device/command_protocol.h"
#include "device/connection.h"
#include "device/hid_link.h"
#include "model/keyboard_model.h"
#include "model/lighting.h"
#include "model/macros.h"
#include "store/profile_file.h"

namespace keyloft::cli {
namespace {

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

std::string ModelText(uint16_t vendorId, uint16_t productId) { return Hex4(vendorId) + ":" + Hex4(productId); }

int ExpectNoArguments(std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");
  return kExitOk;
}

}  // namespace

// The keyboard's three profiles into a new file named by the time, in the user data folder.
int ReportSafetyBackup(const SafetyBackupOutcome& backup) {
  if (backup.device != DevResult::Ok) {
    return Fail(kExitKeyboard, "could not read the keyboard's profiles for the safety backup (" +
                                   DevResultText(backup.device) + "); nothing was written");
  }
  Err() << "keyloftctl: the keyboard's profiles were saved to " << backup.file.string() << '\n';
  return kExitOk;
}

int RunList(const GlobalOptions& options, std::span<const std::string> words) {
  if (int code = ExpectNoArguments(words)) return code;
  HidLink link(TransportFor(options));
  const auto interfaces = link.Enumerate();
  if (!interfaces) return Fail(kExitNoKeyboard, "the HID interfaces cannot be listed");
  JsonWriter json;
  json.BeginObject().Key("interfaces").BeginArray();
  size_t found = 0;
  for (const HidInterfaceInfo& listed : *interfaces) {
    if (!FindKeyboardModel(listed.vendorId, listed.productId)) continue;
    ++found;
    // Opening tells whether this user may, and what the device itself says.
    const bool opened = link.Open(listed.path, HidLink::Access::ReadWrite);
    const HidInterfaceInfo info = opened ? link.Info() : listed;
    link.Close();
    const std::string model = ModelText(listed.vendorId, listed.productId);
    if (options.json) {
      json.BeginObject().Key("path").String(listed.path).Key("model").String(model);
      if (opened) {
        json.Key("usage_page").Int(info.usagePage).Key("usage").Int(info.usage);
      } else {
        json.Key("usage_page").Null().Key("usage").Null();
      }
      json.EndObject();
    } else {
      Out() << listed.path << "  " << model << "  "
                << (opened ? "usage " + Hex4(info.usagePage) + ":" + Hex4(info.usage) : std::string("cannot be opened"))
                << '\n';
    }
  }
  json.EndArray().EndObject();
  if (found == 0) return Fail(kExitNoKeyboard, "no keyboard found; run 'keyloftctl doctor' to see why");
  if (options.json) PrintJson(json);
  return kExitOk;
}

int RunInfo(const GlobalOptions& options, std::span<const std::string> words) {
  if (int code = ExpectNoArguments(words)) return code;
  Session session(options);
  if (int code = session.Connect()) return code;
  InfoBlock info;
  if (DevResult result = session.ReadInfo(info); result != DevResult::Ok) return Fail(kExitKeyboard, DevResultText(result));

  KeyloftCore& core = session.Core();
  HidInterfaceInfo ids;
  {
    // The monitor opens and closes the link under this lock.
    std::scoped_lock lock(core.Device().commandLock);
    ids = core.Device().commandLink.Info();
  }
  const std::string model = ModelText(ids.vendorId, ids.productId);
  const uint32_t capacity = info.macroBlocks() * 128u;
  size_t used = 0;
  if (const MacroList macros = core.Editor().Macros(); !macros.empty()) {
    const MacroImageSize sizes = MacroImageSizes(macros);
    used = sizes.withNames <= capacity ? sizes.withNames : sizes.withoutNames;
  }
  const ModeList modes(info.effects());
  if (options.json) {
    JsonWriter json;
    json.BeginObject()
        .Key("model").String(model)
        .Key("active_profile").Int(info.activeProfile() + 1)
        .Key("macro_capacity").Int(capacity)
        .Key("macro_bytes_used").Int(static_cast<long long>(used))
        .Key("effects").BeginArray();
    for (uint8_t mode : modes.Modes()) {
      json.BeginObject().Key("number").Int(mode).Key("name").String(core.Lang().GetModeText(mode)).EndObject();
    }
    json.EndArray().EndObject();
    PrintJson(json);
    return kExitOk;
  }
  Out() << "model: " << model << '\n'
            << "active profile: " << info.activeProfile() + 1 << '\n'
            << "macro capacity: " << capacity << " bytes\n"
            << "macro bytes used: " << used << '\n'
            << "effects:\n";
  for (uint8_t mode : modes.Modes()) Out() << "  " << int(mode) << " " << core.Lang().GetModeText(mode) << '\n';
  return kExitOk;
}

int RunProfile(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (line.positional.size() > 1) return Fail(kExitUsage, "profile takes at most one number");
  int wanted = -1;
  if (!line.positional.empty()) {
    wanted = ParseProfileNumber(line.positional[0]);
    if (wanted < 0) return Fail(kExitUsage, "the profile must be 1, 2 or 3");
  }
  Session session(options);
  if (int code = session.Connect()) return code;
  KeyloftCore& core = session.Core();
  if (wanted >= 0) {
    SwitchOutcome switched;
    session.Run([&] {
      switched = core.Sync().SwitchProfile(wanted);
      if (switched.result == SwitchResult::Switched) core.Sync().MarkActiveProfile();
    });
    if (switched.result != SwitchResult::Switched) {
      return Fail(kExitKeyboard, "the profile could not be switched: " + DevResultText(switched.device));
    }
  }
  // The keyboard's own answer, not the cache.
  InfoBlock info;
  if (DevResult result = session.ReadInfo(info); result != DevResult::Ok) return Fail(kExitKeyboard, DevResultText(result));
  const int active = info.activeProfile();
  if (wanted >= 0 && active != wanted) {
    return Fail(kExitKeyboard, "the keyboard did not switch to profile " + std::to_string(wanted + 1));
  }
  if (options.json) {
    PrintJson(JsonWriter().BeginObject().Key("active_profile").Int(active + 1).EndObject());
  } else {
    Out() << active + 1 << '\n';
  }
  return kExitOk;
}

int RunBackup(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (line.positional.size() != 1) return Fail(kExitUsage, "backup needs one FILE");
  std::filesystem::path path = line.positional[0];
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != ".fwc") path += ".fwc";
  std::error_code ec;
  if (path.has_parent_path() && !std::filesystem::is_directory(FromCaller(options, path.parent_path()), ec)) {
    return Fail(kExitUsage, "the folder " + path.parent_path().string() + " does not exist");
  }

  Session session(options);
  if (int code = session.Connect()) return code;
  DevResult result = DevResult::NoReply;
  session.Run([&] { result = session.Core().Sync().ReadOnboardImage(FromCaller(options, path)); });
  if (result == DevResult::WriteFailed) return Fail(kExitUsage, path.string() + " could not be written");
  if (result != DevResult::Ok) {
    return Fail(kExitKeyboard, "the keyboard's profiles could not be read (" + DevResultText(result) + "); " +
                                   path.string() + " was not written");
  }
  if (options.json) {
    PrintJson(JsonWriter().BeginObject().Key("file").String(path.string()).EndObject());
  } else {
    Out() << path.string() << '\n';
  }
  return kExitOk;
}

int RunRestore(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kSpec[] = {{"--no-verify", false}};
  CommandLine line;
  if (!ParseArguments(words, kSpec, line)) return kExitUsage;
  if (line.positional.size() != 1) return Fail(kExitUsage, "restore needs one FILE");
  const std::filesystem::path path = line.positional[0];
  const bool verify = !line.Option("--no-verify");

  Session session(options);
  const std::filesystem::path file = FromCaller(options, path);
  // A rejected file is told before anything reaches the keyboard.
  std::string damage;
  const int check = ValidateProfileFile(file, session.Ui(), &damage);
  if (int code = ProfileFileExitCode(path, check, damage)) return code;
  if (int code = session.Connect()) return code;
  if (int code = session.RefuseWhileEditing()) return code;
  ProfileEditor::FileRestoreOutcome restored;
  session.Run([&] { restored = session.Core().Editor().RestoreFromFile(file); });
  if (int code = ReportSafetyBackup(restored.backup)) return code;
  const std::filesystem::path& backup = restored.backup.file;
  const ImportOutcome& result = restored.import;
  if (!result.loaded) return Fail(kExitFileRejected, path.string() + " could not be loaded");
  if (result.written.result == SaveResult::MacrosTooLong) {
    return Fail(kExitKeyboard, "the keyboard did not take the profiles: the macros do not fit its memory");
  }
  if (!result.Written()) {
    return Fail(kExitKeyboard, "the keyboard did not take the profiles: " + DevResultText(result.written.device));
  }
  static constexpr int kAll[] = {0, 1, 2};
  const bool verified = verify && VerifyWrites(session, kAll, false);
  if (verify && !verified) return kExitKeyboard;
  if (options.json) {
    PrintJson(JsonWriter()
                  .BeginObject()
                  .Key("file").String(path.string())
                  .Key("backup").String(backup.string())
                  .Key("verified").Bool(verified)
                  .EndObject());
  } else {
    Out() << "restored " << path.string() << (verified ? " (verified)" : "") << '\n';
  }
  return kExitOk;
}

}  // namespace keyloft::cli
