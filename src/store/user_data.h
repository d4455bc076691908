// The per-user data folder and the per-key colour schemes of the user-defined
// lighting effect: ten named schemes per onboard profile, one INI file per
// profile (UserDengColor_<p>.userd), seeded from the template shipped in the
// program's Skins folder. Missing or malformed values read as fixed defaults;
// a failed write changes nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "util/ini_file.h"

namespace keyloft {

inline constexpr int kSchemesPerProfile = 10;

// A scheme's paint tool and its two colours (0x00BBGGRR).
struct SchemeTools {
  int tool = 0;  // 0 brush, 1 base
  uint32_t baseColour = 0;
  uint32_t brushColour = 0;
  friend bool operator==(const SchemeTools&, const SchemeTools&) = default;
};

// One key's colour in a scheme, and whether it follows the base colour.
struct KeyLight {
  uint32_t colour = 0x0000FF;  // red
  int baseFlag = 1;
  friend bool operator==(const KeyLight&, const KeyLight&) = default;
};

// One profile's lighting file as it was when read, parsed once: many values
// read for the price of one file read. Missing and malformed values read as
// the fixed defaults, as UserData's reads give them.
class LightingFile {
 public:
  explicit LightingFile(const std::filesystem::path& path);

  int SchemeIndex() const;
  std::string SchemeName(int scheme) const;
  SchemeTools Tools(int scheme) const;
  KeyLight Light(int scheme, int slot) const;

 private:
  std::string Value(std::string_view section, std::string_view key, std::string_view defaultValue) const;

  IniTable table_;
};

class UserData {
 public:
  // folder: UserDataFolder; programFolder: where Skins/ lies.
  UserData(std::filesystem::path folder, std::filesystem::path programFolder);

  const std::filesystem::path& Folder() const { return folder_; }

  // Creates the folder when it does not exist, and then only, seeds the three
  // scheme files from the template.
  void EnsureUserDataFolder();

  int ReadSchemeIndex(int profile) const;
  void WriteSchemeIndex(int profile, int scheme);
  std::string ReadSchemeName(int profile, int scheme) const;
  void WriteSchemeName(int profile, int scheme, std::string_view name);
  SchemeTools ReadSchemeTools(int profile, int scheme) const;
  void WriteSchemeTools(int profile, int scheme, const SchemeTools& tools);
  KeyLight ReadKeyLight(int profile, int scheme, int slot) const;
  void WriteKeyLight(int profile, int scheme, int slot, const KeyLight& light);
  // Many keys of a scheme in one write of the file.
  struct SlotLight {
    int slot;
    KeyLight light;
  };
  void WriteKeyLights(int profile, int scheme, std::span<const SlotLight> lights);

  // The profile's lighting file, read once for many values.
  LightingFile ReadLightingFile(int profile) const;

  // Replaces the profile's scheme file with a copy of the template (lone line
  // feeds become CR LF; a 0x1A byte ends it). When the template cannot be
  // read the old file stays and the result is false.
  bool ResetLightingFile(int profile);

  // A scheme file that is there but cannot be read (or is in an encoding this
  // program does not write) is renamed aside with a time stamp, never
  // overwritten, and a copy of the template takes its place: the new name, or
  // nothing when the file is readable, missing, or cannot be moved.
  std::optional<std::filesystem::path> SetAsideUnreadableLightingFile(int profile);

  std::filesystem::path LightingFilePath(int profile) const;
  std::filesystem::path TemplatePath() const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path programFolder_;
};

// "r,g,b" of a colour, and back. Each number keeps its low 8 bits; text that
// does not scan as three numbers gives nothing.
std::string FormatColour(uint32_t colour);
bool ParseColour(std::string_view text, uint32_t& colour);

}  // namespace keyloft
