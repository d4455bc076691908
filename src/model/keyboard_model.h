// The keyboards Keyloft knows, each with the tables that belong to it: its
// identifiers and key-map sizes, the keys its main window shows, the LED slot
// of every lit key, and the factory key map used until the keyboard's own has
// been read. Another model is one more table set and one more line in
// KeyboardModels(). Both models known today are the same full-size board.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/key_codes.h"

namespace keyloft {

// ---- The full-size board ------------------------------------------------------

// Its 105 keys, as the main window shows them: a full-size layout and the extra
// key K45, in rows from the function row down.
inline constexpr std::array<KeyCode, 105> kFullSizeKeys = {
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

enum class LedKeyKind : uint8_t { kKey, kFn, kGKey };

// A lit key and the slot of the per-key colour image that lights it.
struct LedSlotEntry {
  KeyCode key;  // a key of the board, kFnKey, or a G-key
  int slot;
  LedKeyKind kind;
};

inline constexpr int kSharedWinPageUpSlot = 112;
inline constexpr int kFnSlot = 91;
inline constexpr int kGKeySlot = 125;

// In slot order: the 105 keys, the Fn key, then the nine G keys. Right Win and
// Page Up share a slot; every G key lights slot 125.
inline constexpr std::array<LedSlotEntry, 115> kFullSizeLedSlots = {{
    {0x056, 0, LedKeyKind::kKey},  // K45
    {0x001, 1, LedKeyKind::kKey},  // Esc
    {0x03B, 2, LedKeyKind::kKey},  // F1
    {0x03C, 3, LedKeyKind::kKey},  // F2
    {0x03D, 4, LedKeyKind::kKey},  // F3
    {0x03E, 5, LedKeyKind::kKey},  // F4
    {0x03F, 6, LedKeyKind::kKey},  // F5
    {0x040, 7, LedKeyKind::kKey},  // F6
    {0x041, 8, LedKeyKind::kKey},  // F7
    {0x042, 9, LedKeyKind::kKey},  // F8
    {0x043, 10, LedKeyKind::kKey},  // F9
    {0x044, 11, LedKeyKind::kKey},  // F10
    {0x057, 12, LedKeyKind::kKey},  // F11
    {0x058, 13, LedKeyKind::kKey},  // F12
    {0x029, 18, LedKeyKind::kKey},  // `~
    {0x002, 19, LedKeyKind::kKey},  // 1
    {0x003, 20, LedKeyKind::kKey},  // 2
    {0x004, 21, LedKeyKind::kKey},  // 3
    {0x005, 22, LedKeyKind::kKey},  // 4
    {0x006, 23, LedKeyKind::kKey},  // 5
    {0x007, 24, LedKeyKind::kKey},  // 6
    {0x008, 25, LedKeyKind::kKey},  // 7
    {0x009, 26, LedKeyKind::kKey},  // 8
    {0x00A, 27, LedKeyKind::kKey},  // 9
    {0x00B, 28, LedKeyKind::kKey},  // 0
    {0x00C, 29, LedKeyKind::kKey},  // -_
    {0x00D, 30, LedKeyKind::kKey},  // =+
    {0x145, 31, LedKeyKind::kKey},  // Num Lock
    {0x135, 32, LedKeyKind::kKey},  // Keypad /
    {0x037, 33, LedKeyKind::kKey},  // Keypad *
    {0x00F, 35, LedKeyKind::kKey},  // Tab
    {0x010, 36, LedKeyKind::kKey},  // Q
    {0x011, 37, LedKeyKind::kKey},  // W
    {0x012, 38, LedKeyKind::kKey},  // E
    {0x013, 39, LedKeyKind::kKey},  // R
    {0x014, 40, LedKeyKind::kKey},  // T
    {0x015, 41, LedKeyKind::kKey},  // Y
    {0x016, 42, LedKeyKind::kKey},  // U
    {0x017, 43, LedKeyKind::kKey},  // I
    {0x018, 44, LedKeyKind::kKey},  // O
    {0x019, 45, LedKeyKind::kKey},  // P
    {0x01A, 46, LedKeyKind::kKey},  // [{
    {0x01B, 47, LedKeyKind::kKey},  // ]}
    {0x047, 48, LedKeyKind::kKey},  // Keypad 7
    {0x048, 49, LedKeyKind::kKey},  // Keypad 8
    {0x049, 50, LedKeyKind::kKey},  // Keypad 9
    {0x03A, 52, LedKeyKind::kKey},  // Caps Lock
    {0x01E, 53, LedKeyKind::kKey},  // A
    {0x01F, 54, LedKeyKind::kKey},  // S
    {0x020, 55, LedKeyKind::kKey},  // D
    {0x021, 56, LedKeyKind::kKey},  // F
    {0x022, 57, LedKeyKind::kKey},  // G
    {0x023, 58, LedKeyKind::kKey},  // H
    {0x024, 59, LedKeyKind::kKey},  // J
    {0x025, 60, LedKeyKind::kKey},  // K
    {0x026, 61, LedKeyKind::kKey},  // L
    {0x027, 62, LedKeyKind::kKey},  // ;:
    {0x028, 63, LedKeyKind::kKey},  // '"
    {0x02B, 64, LedKeyKind::kKey},  // \|
    {0x04B, 65, LedKeyKind::kKey},  // Keypad 4
    {0x04C, 66, LedKeyKind::kKey},  // Keypad 5
    {0x04D, 67, LedKeyKind::kKey},  // Keypad 6
    {0x02A, 69, LedKeyKind::kKey},  // Left Shift
    {0x02C, 70, LedKeyKind::kKey},  // Z
    {0x02D, 71, LedKeyKind::kKey},  // X
    {0x02E, 72, LedKeyKind::kKey},  // C
    {0x02F, 73, LedKeyKind::kKey},  // V
    {0x030, 74, LedKeyKind::kKey},  // B
    {0x031, 75, LedKeyKind::kKey},  // N
    {0x032, 76, LedKeyKind::kKey},  // M
    {0x033, 77, LedKeyKind::kKey},  // ,<
    {0x034, 78, LedKeyKind::kKey},  // .>
    {0x035, 79, LedKeyKind::kKey},  // /?
    {0x036, 80, LedKeyKind::kKey},  // Right Shift
    {0x01C, 81, LedKeyKind::kKey},  // Enter
    {0x04F, 82, LedKeyKind::kKey},  // Keypad 1
    {0x050, 83, LedKeyKind::kKey},  // Keypad 2
    {0x051, 84, LedKeyKind::kKey},  // Keypad 3
    {0x01D, 86, LedKeyKind::kKey},  // Left Ctrl
    {0x15B, 87, LedKeyKind::kKey},  // Left Win
    {0x038, 88, LedKeyKind::kKey},  // Left Alt
    {0x039, 89, LedKeyKind::kKey},  // Space
    {0x138, 90, LedKeyKind::kKey},  // Right Alt
    {0x15D, 92, LedKeyKind::kKey},  // Menu
    {0x11D, 93, LedKeyKind::kKey},  // Right Ctrl
    {0x14B, 94, LedKeyKind::kKey},  // Left
    {0x150, 95, LedKeyKind::kKey},  // Down
    {0x148, 96, LedKeyKind::kKey},  // Up
    {0x14D, 97, LedKeyKind::kKey},  // Right
    {0x00E, 98, LedKeyKind::kKey},  // Backspace
    {0x052, 99, LedKeyKind::kKey},  // Keypad 0
    {0x053, 100, LedKeyKind::kKey},  // Keypad .
    {0x11C, 101, LedKeyKind::kKey},  // Keypad Enter
    {0x137, 106, LedKeyKind::kKey},  // Print Screen
    {0x046, 107, LedKeyKind::kKey},  // Scroll Lock
    {0x045, 108, LedKeyKind::kKey},  // Pause
    {0x152, 110, LedKeyKind::kKey},  // Insert
    {0x147, 111, LedKeyKind::kKey},  // Home
    {0x15C, 112, LedKeyKind::kKey},  // Right Win
    {0x149, 112, LedKeyKind::kKey},  // Page Up
    {0x153, 113, LedKeyKind::kKey},  // Delete
    {0x14F, 114, LedKeyKind::kKey},  // End
    {0x151, 115, LedKeyKind::kKey},  // Page Down
    {0x04A, 116, LedKeyKind::kKey},  // Keypad -
    {0x04E, 117, LedKeyKind::kKey},  // Keypad +
    {kFnKey, 91, LedKeyKind::kFn},  // Fn
    {0x200, 125, LedKeyKind::kGKey},  // G1
    {0x201, 125, LedKeyKind::kGKey},  // G2
    {0x202, 125, LedKeyKind::kGKey},  // G3
    {0x203, 125, LedKeyKind::kGKey},  // G4
    {0x204, 125, LedKeyKind::kGKey},  // G5
    {0x205, 125, LedKeyKind::kGKey},  // G6
    {0x206, 125, LedKeyKind::kGKey},  // G7
    {0x207, 125, LedKeyKind::kGKey},  // G8
    {0x208, 125, LedKeyKind::kGKey},  // G9
}};

// ---- Lookups in a model's LED table --------------------------------------------

// Whether the lighting view shows a key in its own colour: every key of the
// board and Fn, not the G-keys (one light for all of them).
constexpr bool ShowsOwnLight(std::span<const LedSlotEntry> table, KeyCode key) {
  for (const LedSlotEntry& e : table)
    if (e.key == key) return e.kind != LedKeyKind::kGKey;
  return key < kFirstGKey || key == kFnKey;
}

// The slot of a key; -1 for a key without one.
constexpr int LedSlotOfKey(std::span<const LedSlotEntry> table, KeyCode key) {
  for (const LedSlotEntry& e : table)
    if (e.key == key) return e.slot;
  return -1;
}

// Every key lit by a slot, in table order.
struct SlotKeys {
  std::array<KeyCode, 9> keys{};
  size_t count = 0;
  std::span<const KeyCode> Keys() const { return std::span(keys).first(count); }
};

constexpr SlotKeys KeysOfSlot(std::span<const LedSlotEntry> table, int slot) {
  SlotKeys out;
  for (const LedSlotEntry& e : table)
    if (e.slot == slot && out.count < out.keys.size()) out.keys[out.count++] = e.key;
  return out;
}

// ---- The models ------------------------------------------------------------------

// F1..F4, which share their place with D1..D6 (Flip says which may be clicked).
inline constexpr KeyCode kFlipFunctionKeys[] = {0x03B, 0x03C, 0x03D, 0x03E};

struct KeyboardModel {
  std::string_view name;
  uint16_t vendorId;
  uint16_t productId;
  uint32_t keyMapBytes;   // one onboard key map
  uint32_t keyMapStride;  // from one profile's key map to the next
  std::span<const KeyCode> keys;
  std::span<const LedSlotEntry> ledSlots;
  std::span<const uint8_t> defaultKeyMap;  // kLargestKeyMapBytes: the built-in factory key map
  int profileCount = 3;                     // onboard profiles, 0..profileCount-1
  KeyCode macroKey = kFirstGKey + kGKeysShown - 1;  // the key the Macros button edits (G9)
  // Flip: either these keys or D1..D<dKeys> can be clicked.
  std::span<const KeyCode> flipFunctionKeys = kFlipFunctionKeys;
  int dKeys = 6;

  // The profile the windows show for what the keyboard reported: the active
  // one, or the first while it is not known.
  int ShownProfile(int active) const { return active >= 0 && active < profileCount ? active : 0; }
};

std::span<const KeyboardModel> KeyboardModels();
// The model of an identifier pair; nullptr for other devices.
const KeyboardModel* FindKeyboardModel(uint16_t vendorId, uint16_t productId);
// The tables the program shows before (and whatever) keyboard it finds: the first model's.
const KeyboardModel& DefaultKeyboardModel();

// The keys a user can assign: the model's keys, then G1..G9.
std::vector<KeyCode> AssignableKeys(const KeyboardModel& model);

}  // namespace keyloft
