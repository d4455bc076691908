// The application's registry key, kept as an INI file: registry.ini in the
// settings folder. Each sub-key is a section named by its path below the key
// ("Vantor Orvo Full-Size Keyboard\PROFILES"); the key's own values live in the
// section "[]". A value keeps its type: a DWORD is written "dword:" and eight hex
// digits, a string as it is ("sz:" in front only when it would otherwise read as
// a DWORD or start with "sz:").
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keyloft {

class RegistryKey {
 public:
  // file: registry.ini; its folder is created on the first write.
  explicit RegistryKey(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }

  // Nothing when the value is missing or is not a DWORD.
  std::optional<uint32_t> ReadDword(std::string_view subKey, std::string_view name) const;
  // Nothing when the value is missing or is not a string.
  std::optional<std::string> ReadString(std::string_view subKey, std::string_view name) const;

  // Both return false when the value could not be stored.
  bool WriteDword(std::string_view subKey, std::string_view name, uint32_t value);
  bool WriteString(std::string_view subKey, std::string_view name, std::string_view value);

 private:
  bool Write(std::string_view subKey, std::string_view name, std::string_view text);

  std::filesystem::path file_;
};

}  // namespace keyloft
