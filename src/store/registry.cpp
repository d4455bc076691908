#include "store/registry.h"

#include <sys/stat.h>

#include <cstdio>
#include <system_error>

#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kStringPrefix = "sz:";

std::optional<uint32_t> ParseDword(std::string_view text) {
  if (!StartsWithIgnoreCase(text, kDwordPrefix)) return std::nullopt;
  std::string_view hex = text.substr(kDwordPrefix.size());
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : hex) {
    int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace

RegistryKey::RegistryKey(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<uint32_t> RegistryKey::ReadDword(std::string_view subKey, std::string_view name) const {
  auto text = ReadIniValue(file_, subKey, name);
  return text ? ParseDword(*text) : std::nullopt;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view subKey, std::string_view name) const {
  auto text = ReadIniValue(file_, subKey, name);
  if (!text) return std::nullopt;
  if (StartsWithIgnoreCase(*text, kStringPrefix)) return text->substr(kStringPrefix.size());
  if (StartsWithIgnoreCase(*text, kDwordPrefix)) return std::nullopt;
  return text;
}

bool RegistryKey::WriteDword(std::string_view subKey, std::string_view name, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return Write(subKey, name, text);
}

bool RegistryKey::WriteString(std::string_view subKey, std::string_view name, std::string_view value) {
  bool ambiguous = StartsWithIgnoreCase(value, kDwordPrefix) || StartsWithIgnoreCase(value, kStringPrefix);
  return Write(subKey, name, ambiguous ? std::string(kStringPrefix) + std::string(value) : std::string(value));
}

bool RegistryKey::Write(std::string_view subKey, std::string_view name, std::string_view text) {
  std::error_code ec;
  auto folder = file_.parent_path();
  if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
    // Settings are the user's own: the folder is private.
    std::filesystem::create_directories(folder, ec);
    if (ec) return false;
    ::chmod(folder.c_str(), 0700);
  }
  return WriteIniString(file_, subKey, name, text);
}

}  // namespace keyloft
