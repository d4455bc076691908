#include "store/user_data.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <optional>
#include <system_error>
#include <vector>

#include "util/atomic_file.h"
#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr std::string_view kDefaultKeyLight = "255,0,0,1";
constexpr std::string_view kDefaultColour = "0,0,0";

std::string SchemeSection(int scheme) { return "Mode" + std::to_string(scheme); }

// Up to n comma-separated decimal numbers as "%d,%d,..." reads them; nothing
// unless all n are there.
template <size_t N>
std::optional<std::array<int, N>> ScanNumbers(std::string_view text) {
  std::array<int, N> numbers{};
  for (size_t i = 0; i < N; ++i) {
    if (i > 0) {
      if (text.empty() || text.front() != ',') return std::nullopt;
      text.remove_prefix(1);
    }
    size_t digits = 0;
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') ++digits;
    if (digits == 0) return std::nullopt;
    numbers[i] = ScanInt(text.substr(0, at + digits), 0);
    text.remove_prefix(at + digits);
  }
  return numbers;
}

uint32_t Colour(int r, int g, int b) {
  return static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 | static_cast<uint32_t>(b & 0xFF) << 16;
}

}  // namespace

std::string FormatColour(uint32_t colour) {
  char text[32];
  std::snprintf(text, sizeof text, "%u,%u,%u", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  return text;
}

bool ParseColour(std::string_view text, uint32_t& colour) {
  auto n = ScanNumbers<3>(text);
  if (n) colour = Colour((*n)[0], (*n)[1], (*n)[2]);
  return n.has_value();
}

UserData::UserData(std::filesystem::path folder, std::filesystem::path programFolder)
    : folder_(std::move(folder)), programFolder_(std::move(programFolder)) {}

std::filesystem::path UserData::LightingFilePath(int profile) const {
  return folder_ / ("UserDengColor_" + std::to_string(profile) + ".userd");
}

LightingFile UserData::ReadLightingFile(int profile) const { return LightingFile(LightingFilePath(profile)); }

std::filesystem::path UserData::TemplatePath() const { return programFolder_ / "Skins" / "UserDengColor_3.userd"; }

void UserData::EnsureUserDataFolder() {
  std::error_code ec;
  if (std::filesystem::exists(folder_, ec) || ec) return;  // an existing folder is never re-seeded
  std::filesystem::create_directories(folder_, ec);
  if (ec) return;
  ::chmod(folder_.c_str(), 0700);
  for (int p = 0; p < 3; ++p) ResetLightingFile(p);
}

bool UserData::ResetLightingFile(int profile) {
  auto source = ReadWholeFile(TemplatePath());
  if (!source) return false;
  // A text-mode copy, as the template has always been read.
  std::string copy;
  copy.reserve(source->size() + source->size() / 16);
  for (size_t i = 0; i < source->size(); ++i) {
    char c = (*source)[i];
    if (c == '\x1A') break;
    if (c == '\n' && (i == 0 || (*source)[i - 1] != '\r')) copy += '\r';
    copy += c;
  }
  return ReplaceFileAtomically(LightingFilePath(profile), copy);
}

std::optional<std::filesystem::path> UserData::SetAsideUnreadableLightingFile(int profile) {
  const std::optional<std::filesystem::path> aside = SetAsideForeignFile(LightingFilePath(profile));
  if (!aside) return std::nullopt;
  ResetLightingFile(profile);
  return aside;
}

LightingFile::LightingFile(const std::filesystem::path& path) {
  if (auto text = ReadWholeFile(path)) table_ = IniTable(*text);
}

std::string LightingFile::Value(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  const std::string* value = table_.Find(section, key);
  // The fixed buffer of the original reads: a value is cut to 259 characters.
  return std::string(TruncateCodePoints(value ? *value : defaultValue, kIniBufferChars - 1));
}

int LightingFile::SchemeIndex() const { return ScanInt(Value("PRESENTMODE", "mode", "0"), 0); }

std::string LightingFile::SchemeName(int scheme) const { return Value("MODENAME", std::to_string(scheme), "0"); }

SchemeTools LightingFile::Tools(int scheme) const {
  const auto section = SchemeSection(scheme);
  SchemeTools tools;
  tools.tool = ScanInt(Value(section, "tool", "0"), 0);
  if (!ParseColour(Value(section, "jcolor", kDefaultColour), tools.baseColour)) tools.baseColour = 0;
  if (!ParseColour(Value(section, "color", kDefaultColour), tools.brushColour)) tools.brushColour = 0;
  return tools;
}

KeyLight LightingFile::Light(int scheme, int slot) const {
  auto n = ScanNumbers<4>(Value(SchemeSection(scheme), std::to_string(slot), kDefaultKeyLight));
  if (!n) n = ScanNumbers<4>(kDefaultKeyLight);  // a value that does not scan reads as the default
  return {Colour((*n)[0], (*n)[1], (*n)[2]), (*n)[3] != 0 ? 1 : 0};
}

int UserData::ReadSchemeIndex(int profile) const { return ReadLightingFile(profile).SchemeIndex(); }

void UserData::WriteSchemeIndex(int profile, int scheme) {
  WriteIniString(LightingFilePath(profile), "PRESENTMODE", "mode", std::to_string(scheme));
}

std::string UserData::ReadSchemeName(int profile, int scheme) const {
  return ReadLightingFile(profile).SchemeName(scheme);
}

void UserData::WriteSchemeName(int profile, int scheme, std::string_view name) {
  WriteIniString(LightingFilePath(profile), "MODENAME", std::to_string(scheme), name);
}

SchemeTools UserData::ReadSchemeTools(int profile, int scheme) const { return ReadLightingFile(profile).Tools(scheme); }

void UserData::WriteSchemeTools(int profile, int scheme, const SchemeTools& tools) {
  const auto file = LightingFilePath(profile);
  const auto section = SchemeSection(scheme);
  WriteIniString(file, section, "tool", std::to_string(tools.tool));
  WriteIniString(file, section, "jcolor", FormatColour(tools.baseColour));
  WriteIniString(file, section, "color", FormatColour(tools.brushColour));
}

KeyLight UserData::ReadKeyLight(int profile, int scheme, int slot) const {
  return ReadLightingFile(profile).Light(scheme, slot);
}

namespace {
std::string FormatKeyLight(const KeyLight& light) { return FormatColour(light.colour) + (light.baseFlag ? ",1" : ",0"); }
}  // namespace

void UserData::WriteKeyLight(int profile, int scheme, int slot, const KeyLight& light) {
  WriteIniString(LightingFilePath(profile), SchemeSection(scheme), std::to_string(slot), FormatKeyLight(light));
}

void UserData::WriteKeyLights(int profile, int scheme, std::span<const SlotLight> lights) {
  std::vector<IniValue> values;
  values.reserve(lights.size());
  for (const SlotLight& l : lights) values.push_back({std::to_string(l.slot), FormatKeyLight(l.light)});
  WriteIniStrings(LightingFilePath(profile), SchemeSection(scheme), values);
}

}  // namespace keyloft
