// INI text from outside: reads never fail or go out of bounds, a write reads
// back exactly and leaves every other value as it was, and a looked-up text
// used as a format never misbehaves.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "util/ini_file.h"
#include "util/text.h"

namespace {

constexpr std::array<std::string_view, 4> kSections = {"TEXT", "keycolor", "", "Vantor Orvo Full-Size Keyboard\\PROFILES"};
constexpr std::array<std::string_view, 4> kKeys = {"A", "DengCheck", "UNKNOWN_KEY", "Flip"};
constexpr std::array<std::string_view, 6> kValues = {"1", "", " padded ", "\"q\"", "日本", "a=b;c"};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t pick = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto section = kSections[pick & 3];
  const auto key = kKeys[(pick >> 2) & 3];
  const auto value = kValues[(pick >> 4) % kValues.size()];

  for (auto s : kSections) {
    for (auto k : kKeys) {
      if (auto found = keyloft::FindIniValue(text, s, k)) {
        (void)keyloft::FormatText(*found, 100LL);
        (void)keyloft::FormatText(*found, std::string_view("path"));
        (void)keyloft::TruncateCodePoints(*found, 259);
      }
    }
  }

  auto updated = keyloft::SetIniValue(text, section, key, value);
  Check(updated.has_value());
  Check(keyloft::FindIniValue(*updated, section, key) == std::string(value));
  for (auto s : kSections) {
    for (auto k : kKeys) {
      if (keyloft::EqualsIgnoreCase(s, section) && keyloft::EqualsIgnoreCase(k, key)) continue;
      Check(keyloft::FindIniValue(*updated, s, k) == keyloft::FindIniValue(text, s, k));
    }
  }
  return 0;
}
