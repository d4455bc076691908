#include "store/settings.h"

#include <algorithm>

#include <cstdio>

#include "lang/localisation.h"
#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {

uint16_t ResolveLanguageId(RegistryKey& registry, uint16_t systemLanguageId) {
  const LanguageChoice choice = ChooseLanguage(registry.ReadDword("", kLanguageIdValue), systemLanguageId);
  // A registry that cannot be written still gives the language for this run.
  if (choice.store) registry.WriteDword("", kLanguageIdValue, choice.id);
  return choice.id;
}

Settings::Settings(RegistryKey& registry, std::filesystem::path userDataFolder, const Localisation& lang)
    : registry_(registry), userDataFolder_(std::move(userDataFolder)), lang_(lang) {}

int Settings::ReadFlag(std::string_view name) const {
  return ScanInt(registry_.ReadString(kProfilesSubKey, name).value_or("0"), 0);
}

int Settings::WriteFlag(std::string_view name, int value) {
  int stored = (value == 0 || value == 1) ? value : 0;
  registry_.WriteString(kProfilesSubKey, name, std::to_string(stored));
  return stored;
}

std::string Settings::RecordDelayValueName() const { return lang_.GetText("MACRO_ACTION_RECORD_DELAY"); }

int Settings::ReadFlip() const { return ReadFlag("Flip"); }
int Settings::WriteFlip(int value) { return WriteFlag("Flip", value); }
int Settings::ReadRecordDelay() const { return ReadFlag(RecordDelayValueName()); }
int Settings::WriteRecordDelay(int value) { return WriteFlag(RecordDelayValueName(), value); }

void Settings::WriteProfileList(const std::vector<std::string>& paths) {
  for (size_t i = 0; i < paths.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02zu", "PROFILE", i + 1);
    registry_.WriteString(kProfilesSubKey, name, paths[i]);
  }
  registry_.WriteString(kProfilesSubKey, "PROFILE00", std::to_string(paths.size()));
}

std::vector<std::string> Settings::ReadProfileList() const {
  // A damaged count must not make thousands of rows.
  constexpr int kMostRows = 999;
  const int count = std::clamp(ScanInt(registry_.ReadString(kProfilesSubKey, "PROFILE00").value_or("0"), 0), 0, kMostRows);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d", "PROFILE", i + 1);
    paths.push_back(registry_.ReadString(kProfilesSubKey, name).value_or(std::string()));
  }
  return paths;
}

bool Settings::ReadLightingView() const {
  return ScanInt(ReadIniString(SettingsFile(), "KEYCOLOR", "DengCheck", "0"), 0) == 1;
}

void Settings::WriteLightingView(bool on) { WriteIniString(SettingsFile(), "KEYCOLOR", "DengCheck", on ? "1" : "0"); }

}  // namespace keyloft
