// The key code space and its constant tables: the key table (one row per key),
// the consumer-usage list, the media list, the virtual-key table, the device
// key item, and every conversion between them. Pure data and pure functions;
// only the display names go through the language file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// The keyboard's 105 keys, as the main window shows them: a full-size layout
// and the extra key K45, in rows from the function row down.
inline constexpr std::array<KeyCode, 105> kKeyboardKeys = {
    0x001, 0x03B, 0x03C, 0x03D, 0x03E, 0x03F, 0x040, 0x041, 0x042, 0x043, 0x044, 0x057, 0x058,
    0x137, 0x046, 0x045,
    0x029, 0x002, 0x003, 0x004, 0x005, 0x006, 0x007, 0x008, 0x009, 0x00A, 0x00B, 0x00C, 0x00D, 0x00E,
    0x152, 0x147, 0x149, 0x145, 0x135, 0x037, 0x04A,
    0x00F, 0x010, 0x011, 0x012, 0x013, 0x014, 0x015, 0x016, 0x017, 0x018, 0x019, 0x01A, 0x01B, 0x02B,
    0x153, 0x14F, 0x151, 0x047, 0x048, 0x049, 0x04E,
    0x03A, 0x01E, 0x01F, 0x020, 0x021, 0x022, 0x023, 0x024, 0x025, 0x026, 0x027, 0x028, 0x01C,
    0x04B, 0x04C, 0x04D,
    0x02A, 0x056, 0x02C, 0x02D, 0x02E, 0x02F, 0x030, 0x031, 0x032, 0x033, 0x034, 0x035, 0x036,
    0x148, 0x04F, 0x050, 0x051, 0x11C,
    0x01D, 0x15B, 0x038, 0x039, 0x138, 0x15C, 0x15D, 0x11D, 0x14B, 0x150, 0x14D, 0x052, 0x053,
};

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
// The display name of the key at a list position, or "" when there is none.
std::string GetListPositionName(const Localisation& lang, uint16_t position);

bool IsMediaKeyCode(KeyCode code);
// Keys whose press the system never reports: recording adds the press itself.
bool IsReleaseOnlyKey(KeyCode code);

}  // namespace keyloft
