// file show and file diff: profile files read without a keyboard.
#include <iostream>

#include "cli/commands.h"
#include "model/key_assignments.h"
#include "model/keyboard_model.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "store/profile_file.h"
#include "store/registry.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

// The language of the user's settings, as the core would choose it; a file
// command only reads the settings.
struct Language {
  Paths paths = Paths::FromEnvironment();
  RegistryKey registry{SettingsFolder(paths) / "registry.ini"};
  Localisation lang{paths.programFolder,
                    ChooseLanguage(registry.ReadDword("", kLanguageIdValue), SystemLanguageId()).id};
};

// A quiet port for validation: the reason is told by the exit message.
class SilentPrompts : public Prompts {
 public:
  void Notify(std::string_view) override {}
  void NotifyFormatted(std::string_view, const FormatArg&) override {}
  bool Confirm(std::string_view) override { return false; }
};

int LoadFile(const std::filesystem::path& path, ProfileData& model) {
  SilentPrompts quiet;
  std::string damage;
  const int check = ValidateProfileFile(path, quiet, &damage);
  if (int code = ProfileFileExitCode(path, check, damage)) return code;
  if (!LoadProfileFile(path, model)) return Fail(kExitFileRejected, path.string() + " could not be loaded");
  return kExitOk;
}

std::string MacroSummary(const MacroRecord& m) {
  return std::to_string(m.steps.size()) + " steps, " + std::to_string(m.cycles) + " cycles";
}

const MacroRecord* FindMacro(const MacroList& list, const std::u16string& name) {
  for (const MacroRecord& m : list) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

int Show(const GlobalOptions& options, const std::filesystem::path& path) {
  auto model = std::make_unique<ProfileData>();
  if (int code = LoadFile(path, *model)) return code;
  Language language;
  const Localisation& lang = language.lang;
  JsonWriter json;
  if (options.json) {
    json.BeginObject().Key("file").String(path.string()).Key("macros").BeginArray();
    for (const MacroRecord& m : model->macros) {
      json.BeginObject()
          .Key("name").String(Utf16ToUtf8(m.name))
          .Key("id").Int(m.id)
          .Key("cycles").Int(m.cycles)
          .Key("steps").Int(static_cast<long long>(m.steps.size()))
          .EndObject();
    }
    json.EndArray().Key("profiles").BeginArray();
  } else {
    Out() << "file: " << path.string() << "\nmacros: " << model->macros.size() << '\n';
    for (const MacroRecord& m : model->macros) Out() << "  " << Utf16ToUtf8(m.name) << " (" << MacroSummary(m) << ")\n";
  }
  for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
    if (options.json) {
      json.BeginObject().Key("profile").Int(p + 1).Key("keys").BeginArray();
    } else {
      Out() << "profile " << p + 1 << ":\n";
    }
    size_t changed = 0;
    for (KeyCode code : AssignableKeys(DefaultKeyboardModel())) {
      const KeyLine line = DescribeKey(lang, *model, p, code);
      if (line.record.type == kAssignDefault) continue;
      ++changed;
      if (options.json) {
        WriteKeyJson(json, line);
      } else {
        Out() << "  " << line.name << '\t' << KeyLineWords(line) << '\n';
      }
    }
    if (options.json) {
      json.EndArray().EndObject();
    } else if (changed == 0) {
      Out() << "  every key default\n";
    }
  }
  if (options.json) {
    json.EndArray().EndObject();
    PrintJson(json);
  }
  return kExitOk;
}

int Diff(const GlobalOptions& options, const std::filesystem::path& pathA, const std::filesystem::path& pathB) {
  auto a = std::make_unique<ProfileData>(), b = std::make_unique<ProfileData>();
  if (int code = LoadFile(pathA, *a)) return code;
  if (int code = LoadFile(pathB, *b)) return code;
  Language language;
  const Localisation& lang = language.lang;
  JsonWriter json;
  json.BeginObject().Key("keys").BeginArray();
  size_t differences = 0;
  for (int p = 0; p < static_cast<int>(kProfiles); ++p) {
    for (KeyCode code : AssignableKeys(DefaultKeyboardModel())) {
      const KeyLine la = DescribeKey(lang, *a, p, code), lb = DescribeKey(lang, *b, p, code);
      const std::string wa = KeyLineWords(la), wb = KeyLineWords(lb);
      if (wa == wb) continue;  // the same action, whatever a macro's identifier
      ++differences;
      if (options.json) {
        json.BeginObject().Key("profile").Int(p + 1).Key("key").String(la.name).Key("a").String(wa).Key("b").String(wb).EndObject();
      } else {
        Out() << "profile " << p + 1 << ' ' << la.name << ": " << wa << " | " << wb << '\n';
      }
    }
  }
  json.EndArray().Key("macros").BeginArray();
  auto macroDiff = [&](const std::u16string& name, const MacroRecord* ma, const MacroRecord* mb) {
    const std::string sa = ma ? MacroSummary(*ma) : "absent", sb = mb ? MacroSummary(*mb) : "absent";
    if (ma && mb && ma->steps == mb->steps && ma->cycles == mb->cycles) return;
    ++differences;
    if (options.json) {
      json.BeginObject().Key("name").String(Utf16ToUtf8(name)).Key("a").String(sa).Key("b").String(sb).EndObject();
    } else {
      Out() << "macro " << Utf16ToUtf8(name) << ": " << sa << " | " << sb
                << (ma && mb ? " (steps differ)" : "") << '\n';
    }
  };
  for (const MacroRecord& m : a->macros) macroDiff(m.name, &m, FindMacro(b->macros, m.name));
  for (const MacroRecord& m : b->macros) {
    if (!FindMacro(a->macros, m.name)) macroDiff(m.name, nullptr, &m);
  }
  json.EndArray().Key("same").Bool(differences == 0).EndObject();
  if (options.json) {
    PrintJson(json);
  } else if (differences == 0) {
    Out() << "same\n";
  }
  return kExitOk;
}

}  // namespace

int RunFile(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  const auto& args = line.positional;
  if (!args.empty() && args[0] == "show") {
    if (args.size() != 2) return Fail(kExitUsage, "file show needs one FILE");
    return Show(options, args[1]);
  }
  if (!args.empty() && args[0] == "diff") {
    if (args.size() != 3) return Fail(kExitUsage, "file diff needs two files");
    return Diff(options, args[1], args[2]);
  }
  return Fail(kExitUsage, "use 'file show FILE' or 'file diff A B'");
}

}  // namespace keyloft::cli
