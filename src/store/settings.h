// The user's choices that outlive a run: the Flip toggle, the macro recorder's
// record-delays box and the profile manager's list (in the registry stand-in),
// and whether the main window shows the lighting view (lykb.ini in the user
// data folder). A missing or unreadable value reads as its default; a failed
// write changes nothing and is not reported, as the original program does.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/registry.h"

namespace keyloft {

class Localisation;

// The application title: the registry sub-key of the application's settings and
// the caption of its message boxes.
inline constexpr std::string_view kApplicationTitle = "Vantor Orvo Full-Size Keyboard";
// The sub-key that holds Flip, the record-delays value and the profile list.
inline constexpr std::string_view kProfilesSubKey = "Vantor Orvo Full-Size Keyboard\\PROFILES";

// The run's language: the stored dwLanguageId, chosen from the system's
// language and written on the first run (or while it holds 0 or no DWORD).
// Read once at start-up; lookups never touch the registry.
uint16_t ResolveLanguageId(RegistryKey& registry, uint16_t systemLanguageId);

class Settings {
 public:
  // registry: the application's key; userDataFolder: the folder of lykb.ini.
  // lang names the record-delays value (the text of MACRO_ACTION_RECORD_DELAY).
  Settings(RegistryKey& registry, std::filesystem::path userDataFolder, const Localisation& lang);

  int ReadFlip() const;
  // Stores value when it is 0 or 1, else 0; returns what was stored.
  int WriteFlip(int value);

  int ReadRecordDelay() const;
  int WriteRecordDelay(int value);

  // PROFILE01.. with the paths, then PROFILE00 with their count. Entries of
  // higher numbers from an earlier, longer list stay as they are.
  void WriteProfileList(const std::vector<std::string>& paths);
  // The list as last written: PROFILE01.. up to the count in PROFILE00;
  // values that are missing or not text read as empty paths.
  std::vector<std::string> ReadProfileList() const;

  bool ReadLightingView() const;
  void WriteLightingView(bool on);

  std::filesystem::path SettingsFile() const { return userDataFolder_ / "lykb.ini"; }

 private:
  int ReadFlag(std::string_view name) const;
  int WriteFlag(std::string_view name, int value);
  std::string RecordDelayValueName() const;

  RegistryKey& registry_;
  std::filesystem::path userDataFolder_;
  const Localisation& lang_;
};

}  // namespace keyloft
