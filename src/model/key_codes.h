// The key code space and its constant tables: the key table (one row per key),
// the consumer-usage list, the media list, the virtual-key table, the device
// key item, and every conversion between them. Pure data and pure functions;
// only the display names go through the language file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keyloft {

class Localisation;

// Set-1 make code; 0x100 + make code for E0 keys (0x045 is Pause, 0x145 Num Lock);
// 0x200 + n - 1 for G-key n; 0 for no key.
using KeyCode = uint16_t;

inline constexpr size_t kKeyTableRows = 256;
inline constexpr size_t kKeyRecordCount = 512;  // per-key assignment records: keys, then G-keys
inline constexpr uint16_t kNoListPosition = 0xFFFF;
inline constexpr uint16_t kKeyListLength = 106;  // list positions 0..105 form the macro step key list
inline constexpr KeyCode kFirstGKey = 0x200;
inline constexpr int kGKeysShown = 9;  // G1..G9: the first set of G-keys
// The Fn key: it has no scan code and no assignment record; it is named and lit only.
inline constexpr KeyCode kFnKey = 0x300;
// Keys the desktop acts on by itself, or reports only on release.
inline constexpr KeyCode kLeftWinKey = 0x15B;
inline constexpr KeyCode kRightWinKey = 0x15C;
inline constexpr KeyCode kMenuKey = 0x15D;
inline constexpr KeyCode kPrintScreenKey = 0x137;

struct KeyRow {
  uint8_t virtualKey = 0;
  uint8_t altVirtualKey = 0;  // keypad keys with Num Lock off; else equal to virtualKey
  uint16_t listPosition = kNoListPosition;
  uint8_t usage = 0;  // coded usage byte, see KeyCodeToUsage
  std::string_view englishName;
  std::string_view nameKey;  // TEXT key of the display name; empty when the key has none
};

// HID usage type and usage.
enum UsageType : uint16_t {
  kUsageNone = 0,
  kUsageSystemControl = 1,
  kUsageSpecial = 2,  // mouse buttons and wheel, 0xF1..0xF8
  kUsageKeyboard = 7,
  kUsageConsumer = 12,
};

struct UsagePair {
  uint16_t type = kUsageNone;
  uint16_t usage = 0;
  friend constexpr bool operator==(const UsagePair&, const UsagePair&) = default;
};

// Three bytes in which the keyboard stores what a key or a macro step produces.
struct DeviceKeyItem {
  uint8_t category = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

struct MediaEntry {
  uint16_t consumerUsage;
  KeyCode code;
  std::string_view nameKey;
};

inline constexpr size_t kMediaCount = 18;


// Index rules: < 0x100 is itself; 0x100..0x1FF is (code - 0x80) & 0xFF; from 0x200
// on it is code - 0x100 (G-key records 256..511). Codes above 0x2FF name no
// record and give 0, so an index is always inside the 512 records.
constexpr uint16_t KeyCodeToIndex(KeyCode code) {
  if (code < 0x100) return code;
  if (code < 0x200) return static_cast<uint16_t>((code - 0x80) & 0xFF);
  if (code < 0x300) return static_cast<uint16_t>(code - 0x100);
  return 0;
}

// The inverse for all 512 indices; 0 for anything larger.
constexpr KeyCode IndexToKeyCode(uint16_t index) {
  if (index < 128) return index;
  if (index < 256) return static_cast<KeyCode>(index + 0x80);
  if (index < kKeyRecordCount) return static_cast<KeyCode>(index + 0x100);
  return 0;
}

// The key table row of a code; an empty row for codes outside the table.
const KeyRow& KeyRowOf(KeyCode code);
// All 256 rows by index.
const std::array<KeyRow, kKeyTableRows>& KeyTable();

// The 32 consumer usages that usage bytes 0xC0 + i stand for (entries 18..31 are 0).
const std::array<uint16_t, 32>& ConsumerUsages();
// Media keys in the order they are offered, stored and named (MediaIndex 0..17).
const std::array<MediaEntry, kMediaCount>& MediaList();

UsagePair KeyCodeToUsage(KeyCode code);
KeyCode UsageToKeyCode(UsagePair usage);

uint16_t KeyCodeToListPosition(KeyCode code);
KeyCode ListPositionToKeyCode(uint16_t position);

// Windows virtual-key code to key code, through the virtual-key table.
KeyCode VirtualKeyToKeyCode(uint8_t vk);
// The key of a keyboard-hook event: flags bits 16..23 hold the scan code, bit 24
// the extended flag. The scan code wins only when it agrees with the virtual key.
KeyCode KeystrokeToKeyCode(uint8_t vk, uint32_t keystrokeFlags);
// A Linux input event code (KEY_*, BTN_LEFT/RIGHT/MIDDLE) to key code; 0 when none.
KeyCode EvdevToKeyCode(uint16_t evdevCode);

// Modifier bits of a device key item: 0x01 left Ctrl .. 0x80 right Win; the lowest set bit decides.
KeyCode ModifierBitsToKeyCode(uint8_t bits);
uint8_t KeyCodeToModifierBit(KeyCode code);

KeyCode DeviceItemToKeyCode(DeviceKeyItem item);

// The display name in the current language, cut to capacity - 1 characters.
// A key without a name shows the UNKNOWN_KEY text formatted with its code.
std::string GetKeyName(const Localisation& lang, KeyCode code, size_t capacity = 260);
// The one name every program shows and accepts for a key: the language
// file's name of a key of the table, "G<n>" for a G-key, "Fn" for the Fn key.
std::string KeyName(const Localisation& lang, KeyCode code);
// The key among keys that text names: its KeyName without regard to case, or
// its code written "0x01e". Nothing when none of them matches.
std::optional<KeyCode> FindKeyByName(const Localisation& lang, std::string_view text, std::span<const KeyCode> keys);
// The same among every key of the key table that has a name: what a key or a
// macro step may produce.
std::optional<KeyCode> FindTableKeyByName(const Localisation& lang, std::string_view text);
// The media list index of the media key that text names (its KeyName, without
// regard to case).
std::optional<size_t> FindMediaByName(const Localisation& lang, std::string_view text);
// "0x01e": how a key code is written where a name will not do.
std::string KeyCodeText(KeyCode code);

// The display name of the key at a list position, or "" when there is none.
std::string GetListPositionName(const Localisation& lang, uint16_t position);

bool IsMediaKeyCode(KeyCode code);
// Keys whose press the system never reports: recording adds the press itself.
bool IsReleaseOnlyKey(KeyCode code);

}  // namespace keyloft
