#include "model/key_codes.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "lang/localisation.h"
#include "util/text.h"

namespace keyloft {
namespace {

struct KeyTableEntry {
  KeyCode code;
  KeyRow row;
};

// The keys, by key code: virtual key (Num Lock on), virtual key with Num Lock
// off, list position, usage byte, English name, name key.
constexpr KeyTableEntry kKeys[] = {
    {0x001, {0x1B, 0x1B, 37, 0x29, "Esc", "IDS_KEYBOARD_ESC"}},
    {0x002, {0x31, 0x31, 26, 0x1E, "1", "IDS_KEYBOARD_1"}},
    {0x003, {0x32, 0x32, 27, 0x1F, "2", "IDS_KEYBOARD_2"}},
    {0x004, {0x33, 0x33, 28, 0x20, "3", "IDS_KEYBOARD_3"}},
    {0x005, {0x34, 0x34, 29, 0x21, "4", "IDS_KEYBOARD_4"}},
    {0x006, {0x35, 0x35, 30, 0x22, "5", "IDS_KEYBOARD_5"}},
    {0x007, {0x36, 0x36, 31, 0x23, "6", "IDS_KEYBOARD_6"}},
    {0x008, {0x37, 0x37, 32, 0x24, "7", "IDS_KEYBOARD_7"}},
    {0x009, {0x38, 0x38, 33, 0x25, "8", "IDS_KEYBOARD_8"}},
    {0x00A, {0x39, 0x39, 34, 0x26, "9", "IDS_KEYBOARD_9"}},
    {0x00B, {0x30, 0x30, 35, 0x27, "0", "IDS_KEYBOARD_0"}},
    {0x00C, {0xBD, 0xBD, 41, 0x2D, "-", "IDS_KEYBOARD_MINUS"}},
    {0x00D, {0xBB, 0xBB, 42, 0x2E, "=", "IDS_KEYBOARD_EQU"}},
    {0x00E, {0x08, 0x08, 38, 0x2A, "Backspace", "IDS_KEYBOARD_BS"}},
    {0x00F, {0x09, 0x09, 39, 0x2B, "Tab", "IDS_KEYBOARD_TAB"}},
    {0x010, {0x51, 0x51, 16, 0x14, "Q", "IDS_KEYBOARD_Q"}},
    {0x011, {0x57, 0x57, 22, 0x1A, "W", "IDS_KEYBOARD_W"}},
    {0x012, {0x45, 0x45, 4, 0x08, "E", "IDS_KEYBOARD_E"}},
    {0x013, {0x52, 0x52, 17, 0x15, "R", "IDS_KEYBOARD_R"}},
    {0x014, {0x54, 0x54, 19, 0x17, "T", "IDS_KEYBOARD_T"}},
    {0x015, {0x59, 0x59, 24, 0x1C, "Y", "IDS_KEYBOARD_Y"}},
    {0x016, {0x55, 0x55, 20, 0x18, "U", "IDS_KEYBOARD_U"}},
    {0x017, {0x49, 0x49, 8, 0x0C, "I", "IDS_KEYBOARD_I"}},
    {0x018, {0x4F, 0x4F, 14, 0x12, "O", "IDS_KEYBOARD_O"}},
    {0x019, {0x50, 0x50, 15, 0x13, "P", "IDS_KEYBOARD_P"}},
    {0x01A, {0xDB, 0xDB, 43, 0x2F, "[", "IDS_KEYBOARD_SB1"}},
    {0x01B, {0xDD, 0xDD, 44, 0x30, "]", "IDS_KEYBOARD_SB2"}},
    {0x01C, {0x0D, 0x0D, 36, 0x28, "Enter", "IDS_KEYBOARD_ENTER"}},
    {0x01D, {0xA2, 0xA2, 98, 0xE0, "Ctrl", "IDS_KEYBOARD_LCTRL"}},
    {0x01E, {0x41, 0x41, 0, 0x04, "A", "IDS_KEYBOARD_A"}},
    {0x01F, {0x53, 0x53, 18, 0x16, "S", "IDS_KEYBOARD_S"}},
    {0x020, {0x44, 0x44, 3, 0x07, "D", "IDS_KEYBOARD_D"}},
    {0x021, {0x46, 0x46, 5, 0x09, "F", "IDS_KEYBOARD_F"}},
    {0x022, {0x47, 0x47, 6, 0x0A, "G", "IDS_KEYBOARD_G"}},
    {0x023, {0x48, 0x48, 7, 0x0B, "H", "IDS_KEYBOARD_H"}},
    {0x024, {0x4A, 0x4A, 9, 0x0D, "J", "IDS_KEYBOARD_J"}},
    {0x025, {0x4B, 0x4B, 10, 0x0E, "K", "IDS_KEYBOARD_K"}},
    {0x026, {0x4C, 0x4C, 11, 0x0F, "L", "IDS_KEYBOARD_L"}},
    {0x027, {0xBA, 0xBA, 46, 0x33, ";", "IDS_KEYBOARD_SEM"}},
    {0x028, {0xDE, 0xDE, 47, 0x34, "'", "IDS_KEYBOARD_QUOT"}},
    {0x029, {0xC0, 0xC0, 48, 0x35, "`", "IDS_KEYBOARD_AID1"}},
    {0x02A, {0xA0, 0xA0, 99, 0xE1, "Shift", "IDS_KEYBOARD_LSHIFT"}},
    {0x02B, {0xDC, 0xDC, 45, 0x31, "\\", "IDS_KEYBOARD_AV"}},
    {0x02C, {0x5A, 0x5A, 25, 0x1D, "Z", "IDS_KEYBOARD_Z"}},
    {0x02D, {0x58, 0x58, 23, 0x1B, "X", "IDS_KEYBOARD_X"}},
    {0x02E, {0x43, 0x43, 2, 0x06, "C", "IDS_KEYBOARD_C"}},
    {0x02F, {0x56, 0x56, 21, 0x19, "V", "IDS_KEYBOARD_V"}},
    {0x030, {0x42, 0x42, 1, 0x05, "B", "IDS_KEYBOARD_B"}},
    {0x031, {0x4E, 0x4E, 13, 0x11, "N", "IDS_KEYBOARD_N"}},
    {0x032, {0x4D, 0x4D, 12, 0x10, "M", "IDS_KEYBOARD_M"}},
    {0x033, {0xBC, 0xBC, 49, 0x36, ",", "IDS_KEYBOARD_COMMA"}},
    {0x034, {0xBE, 0xBE, 50, 0x37, ".", "IDS_KEYBOARD_PER"}},
    {0x035, {0xBF, 0xBF, 51, 0x38, "/", "IDS_KEYBOARD_VIR"}},
    {0x036, {0xA1, 0xA1, 103, 0xE5, "Right Shift", "IDS_KEYBOARD_RSHIFT"}},
    {0x037, {0x6A, 0x6A, 81, 0x55, "Num *", "IDS_KEYBOARD_S_AST"}},
    {0x038, {0xA4, 0xA4, 100, 0xE2, "Alt", "IDS_KEYBOARD_LALT"}},
    {0x039, {0x20, 0x20, 40, 0x2C, "Space", "IDS_KEYBOARD_SPACE"}},
    {0x03A, {0x14, 0x14, 78, 0x39, "Caps Lock", "IDS_KEYBOARD_CAPS"}},
    {0x03B, {0x70, 0x70, 52, 0x3A, "F1", "IDS_KEYBOARD_F1"}},
    {0x03C, {0x71, 0x71, 53, 0x3B, "F2", "IDS_KEYBOARD_F2"}},
    {0x03D, {0x72, 0x72, 54, 0x3C, "F3", "IDS_KEYBOARD_F3"}},
    {0x03E, {0x73, 0x73, 55, 0x3D, "F4", "IDS_KEYBOARD_F4"}},
    {0x03F, {0x74, 0x74, 56, 0x3E, "F5", "IDS_KEYBOARD_F5"}},
    {0x040, {0x75, 0x75, 57, 0x3F, "F6", "IDS_KEYBOARD_F6"}},
    {0x041, {0x76, 0x76, 58, 0x40, "F7", "IDS_KEYBOARD_F7"}},
    {0x042, {0x77, 0x77, 59, 0x41, "F8", "IDS_KEYBOARD_F8"}},
    {0x043, {0x78, 0x78, 60, 0x42, "F9", "IDS_KEYBOARD_F9"}},
    {0x044, {0x79, 0x79, 61, 0x43, "F10", "IDS_KEYBOARD_F10"}},
    {0x045, {0x13, 0x13, 65, 0x48, "Pause", "IDS_KEYBOARD_PAUSE"}},
    {0x046, {0x91, 0x91, 77, 0x47, "Scroll Lock", "IDS_KEYBOARD_SCROLL"}},
    {0x047, {0x67, 0x24, 91, 0x5F, "Num 7", "IDS_KEYBOARD_S_7"}},
    {0x048, {0x68, 0x26, 92, 0x60, "Num 8", "IDS_KEYBOARD_S_8"}},
    {0x049, {0x69, 0x21, 93, 0x61, "Num 9", "IDS_KEYBOARD_S_9"}},
    {0x04A, {0x6D, 0x6D, 82, 0x56, "Num -", "IDS_KEYBOARD_S_MINUS"}},
    {0x04B, {0x64, 0x25, 88, 0x5C, "Num 4", "IDS_KEYBOARD_S_4"}},
    {0x04C, {0x65, 0x0C, 89, 0x5D, "Num 5", "IDS_KEYBOARD_S_5"}},
    {0x04D, {0x66, 0x27, 90, 0x5E, "Num 6", "IDS_KEYBOARD_S_6"}},
    {0x04E, {0x6B, 0x6B, 83, 0x57, "Num +", "IDS_KEYBOARD_S_PLUS"}},
    {0x04F, {0x61, 0x23, 85, 0x59, "Num 1", "IDS_KEYBOARD_S_1"}},
    {0x050, {0x62, 0x28, 86, 0x5A, "Num 2", "IDS_KEYBOARD_S_2"}},
    {0x051, {0x63, 0x22, 87, 0x5B, "Num 3", "IDS_KEYBOARD_S_3"}},
    {0x052, {0x60, 0x2D, 94, 0x62, "Num 0", "IDS_KEYBOARD_S_0"}},
    {0x053, {0x6E, 0x2E, 95, 0x63, "Num .", "IDS_KEYBOARD_S_DEL"}},
    {0x054, {0x2C, 0x2C, 0x8012, 0x00, "Sys Req", "IDS_KEYBOARD_SYSREQ"}},
    {0x056, {0xE2, 0xE2, 96, 0x64, "K45", "IDS_KEYBOARD_K45"}},
    {0x057, {0x7A, 0x7A, 62, 0x44, "F11", "IDS_KEYBOARD_F11"}},
    {0x058, {0x7B, 0x7B, 63, 0x45, "F12", "IDS_KEYBOARD_F12"}},
    {0x064, {0x7C, 0x7C, 0x802D, 0x00, "F13", ""}},
    {0x070, {0xFF, 0xFF, 0x8018, 0x88, "ROMA (133)", "IDS_KEYBOARD_ROMA"}},
    {0x071, {0xE9, 0xE9, 0x8019, 0x91, "KL", "IDS_KEYBOARD_KL"}},
    {0x072, {0xFF, 0xFF, 0x801A, 0x90, "KR", "IDS_KEYBOARD_KR"}},
    {0x073, {0xC1, 0xC1, 0x8014, 0x87, "K56", "IDS_KEYBOARD_K56"}},
    {0x079, {0xFF, 0xFF, 0x8017, 0x8A, "CHG (132)", "IDS_KEYBOARD_CHG"}},
    {0x07B, {0xEB, 0xEB, 0x8016, 0x8B, "N-CHG (131)", "IDS_KEYBOARD_N_CHG"}},
    {0x07D, {0xFF, 0xFF, 0x8013, 0x89, "K14", "IDS_KEYBOARD_K14"}},
    {0x07E, {0xC2, 0xC2, 0x8015, 0x85, "K107", "IDS_KEYBOARD_K107"}},
    {0x110, {0xB1, 0xB1, 0x8021, 0xD0, "Prev Track", "MEDIA_PREV_TRACK_4"}},
    {0x119, {0xB0, 0xB0, 0x8022, 0xD1, "Next Track", "MEDIA_Next_TRACK_5"}},
    {0x11C, {0x0D, 0x0D, 84, 0x58, "Num Enter", "IDS_KEYBOARD_S_ENTER"}},
    {0x11D, {0xA3, 0xA3, 102, 0xE4, "Right Ctrl", "IDS_KEYBOARD_RCTRL"}},
    {0x120, {0xAD, 0xAD, 0x8025, 0xCD, "Mute", "MEDIA_MUTE_8"}},
    {0x121, {0xB7, 0xB7, 0x801C, 0xC4, "Calc", "MEDIA_CALC_17"}},
    {0x122, {0xB3, 0xB3, 0x801F, 0xCE, "Play/Pause", "MEDIA_PALY_PAUSE_2"}},
    {0x124, {0xB2, 0xB2, 0x8020, 0xCF, "Stop Play", "MEDIA_STOP_PALY_3"}},
    {0x12E, {0xAE, 0xAE, 0x8024, 0xC1, "V-", "MEDIA_V_LOW_6"}},
    {0x130, {0xAF, 0xAF, 0x8023, 0xC0, "V+", "MEDIA_V_ADD_7"}},
    {0x132, {0xAC, 0xAC, 0x8026, 0xC7, "WWW Home", "MEDIA_WWW_HOME_9"}},
    {0x135, {0x6F, 0x6F, 80, 0x54, "Num /", "IDS_KEYBOARD_S_VIR"}},
    {0x136, {0xA1, 0xA1, 103, 0xE5, "Right Shift", "IDS_KEYBOARD_RSHIFT"}},
    {0x137, {0x2C, 0x2C, 64, 0x46, "Print Screen", "IDS_KEYBOARD_PRINT"}},
    {0x138, {0xA5, 0xA5, 104, 0xE6, "Right Alt", "IDS_KEYBOARD_RALT"}},
    {0x145, {0x90, 0x90, 79, 0x53, "Num Lock", "IDS_KEYBOARD_NUM"}},
    {0x146, {0x03, 0x03, 66, 0x48, "Break", "IDS_KEYBOARD_BREAK"}},
    {0x147, {0x24, 0x24, 69, 0x4A, "Home", "IDS_KEYBOARD_HOME"}},
    {0x148, {0x26, 0x26, 73, 0x52, "↑", "IDS_KEYBOARD_UP"}},
    {0x149, {0x21, 0x21, 71, 0x4B, "Page Up", "IDS_KEYBOARD_PAGE_UP"}},
    {0x14B, {0x25, 0x25, 75, 0x50, "←", "IDS_KEYBOARD_LEFT"}},
    {0x14D, {0x27, 0x27, 76, 0x4F, "→", "IDS_KEYBOARD_RIGHT"}},
    {0x14F, {0x23, 0x23, 70, 0x4D, "End", "IDS_KEYBOARD_END"}},
    {0x150, {0x28, 0x28, 74, 0x51, "↓", "IDS_KEYBOARD_DOWN"}},
    {0x151, {0x22, 0x22, 72, 0x4E, "Page Down", "IDS_KEYBOARD_PAGE_DOWN"}},
    {0x152, {0x2D, 0x2D, 67, 0x49, "Insert", "IDS_KEYBOARD_INSERT"}},
    {0x153, {0x2E, 0x2E, 68, 0x4C, "Delete", "IDS_KEYBOARD_DELETE"}},
    {0x15B, {0x5B, 0x5B, 101, 0xE3, "Win", "IDS_KEYBOARD_LWIN"}},
    {0x15C, {0x5C, 0x5C, 105, 0xE7, "Right Win", "IDS_KEYBOARD_RWIN"}},
    {0x15D, {0x5D, 0x5D, 97, 0x65, "App", "IDS_KEYBOARD_APP"}},
    {0x15E, {0xFF, 0xFF, 0x8001, 0x81, "Power", "IDS_KEYBOARD_POWER"}},
    {0x15F, {0x5F, 0x5F, 0x8002, 0x82, "Sleep", "IDS_KEYBOARD_SLEEP"}},
    {0x161, {0xD1, 0xD1, 110, 0xF4, "Roll Up", "IDS_KEYBOARD_ROLL_UP"}},
    {0x162, {0xD2, 0xD2, 111, 0xF5, "Roll Down", "IDS_KEYBOARD_ROLL_DOWN"}},
    {0x163, {0xFF, 0xFF, 0x8003, 0x83, "Wake", "IDS_KEYBOARD_WAKE"}},
    {0x165, {0xAA, 0xAA, 0x802C, 0xC6, "WWW Search", "MEDIA_WWW_SEARCH_15"}},
    {0x166, {0xAB, 0xAB, 0x802B, 0xCC, "WWW Favorite", "MEDIA_WWW_FAVORITE_14"}},
    {0x167, {0xA8, 0xA8, 0x8027, 0xCB, "WWW Refresh", "MEDIA_WWW_REFRESH_10"}},
    {0x168, {0xA9, 0xA9, 0x8028, 0xCA, "WWW Stop", "MEDIA_WWW_STOP_11"}},
    {0x169, {0xA7, 0xA7, 0x802A, 0xC9, "WWW Forward", "MEDIA_WWW_FORWARD_13"}},
    {0x16A, {0xA6, 0xA6, 0x8029, 0xC8, "WWW Back", "MEDIA_WWW_BACK_12"}},
    {0x16B, {0xB6, 0xB6, 0x801B, 0xC5, "My PC", "MEDIA_MY_PC_16"}},
    {0x16C, {0xB4, 0xB4, 0x801D, 0xC3, "Mail", "MEDIA_MAIL_18"}},
    {0x16D, {0xB5, 0xB5, 0x801E, 0xC2, "Media Player", "MEDIA_PALYER_1"}},
    {0x16E, {0x88, 0x88, 0x8005, 0x00, "Pan Left", "IDS_KEYBOARD_MOU_PANLEFT"}},
    {0x16F, {0x89, 0x89, 0x8006, 0x00, "Pan Right", "IDS_KEYBOARD_MOU_PANRIGHT"}},
    {0x170, {0x8A, 0x8A, 0x8004, 0x00, "Double Click", "IDS_KEYBOARD_MOU_DBCLICK"}},
    {0x171, {0x01, 0x01, 107, 0xF1, "Left Button", "IDS_KEYBOARD_MOU_LEFT"}},
    {0x172, {0x02, 0x02, 108, 0xF2, "Right Button", "IDS_KEYBOARD_MOU_RIGHT"}},
    {0x173, {0x04, 0x04, 109, 0xF3, "Middle Button", "IDS_KEYBOARD_MOU_MIDDLE"}},
    {0x174, {0x8B, 0x8B, 0x8007, 0xD2, "Zoom-", "IDS_KEYBOARD_FUNC_ZOOMOUT"}},
    {0x175, {0x8C, 0x8C, 0x8008, 0xD3, "Zoom+", "IDS_KEYBOARD_FUNC_ZOOMIN"}},
    {0x176, {0x97, 0x97, 0x8009, 0x00, "Copy", "IDS_KEYBOARD_FUNC_COPY"}},
    {0x177, {0x98, 0x98, 0x800A, 0x00, "Cut", "IDS_KEYBOARD_FUNC_CUT"}},
    {0x178, {0x99, 0x99, 0x800B, 0x00, "Paste", "IDS_KEYBOARD_FUNC_PASTE"}},
    {0x179, {0x9A, 0x9A, 0x800C, 0x00, "Minimize", "IDS_KEYBOARD_FUNC_MINI"}},
    {0x17A, {0x9B, 0x9B, 0x800D, 0x00, "Maximize", "IDS_KEYBOARD_FUNC_MAXI"}},
    {0x17B, {0x9C, 0x9C, 0x800E, 0xD4, "Word", "IDS_KEYBOARD_FUNC_WORD"}},
    {0x17C, {0x9D, 0x9D, 0x800F, 0xD5, "Excel", "IDS_KEYBOARD_FUNC_EXCEL"}},
    {0x17D, {0x9E, 0x9E, 0x8010, 0x00, "PowerPoint", "IDS_KEYBOARD_FUNC_POWERPOINT"}},
    {0x17E, {0x9F, 0x9F, 0x8011, 0x00, "Calendar", "IDS_KEYBOARD_FUNC_CALENDAR"}},
};

constexpr std::array<KeyRow, kKeyTableRows> BuildKeyTable() {
  std::array<KeyRow, kKeyTableRows> table{};
  for (const auto& e : kKeys) table[KeyCodeToIndex(e.code)] = e.row;
  return table;
}

constexpr std::array<KeyRow, kKeyTableRows> kKeyTable = BuildKeyTable();

constexpr std::array<uint16_t, 32> kConsumerUsages = {
    0x00E9, 0x00EA, 0x0183, 0x018A, 0x0192, 0x0194, 0x0221, 0x0223, 0x0224,
    0x0225, 0x0226, 0x0227, 0x022A, 0x00E2, 0x00CD, 0x00B7, 0x00B6, 0x00B5,
};

constexpr std::array<MediaEntry, kMediaCount> kMediaList = {{
    {0x0183, 0x16D, "MEDIA_PALYER_1"},        {0x00CD, 0x122, "MEDIA_PALY_PAUSE_2"},
    {0x00B7, 0x124, "MEDIA_STOP_PALY_3"},     {0x00B6, 0x110, "MEDIA_PREV_TRACK_4"},
    {0x00B5, 0x119, "MEDIA_Next_TRACK_5"},    {0x00EA, 0x12E, "MEDIA_V_LOW_6"},
    {0x00E9, 0x130, "MEDIA_V_ADD_7"},         {0x00E2, 0x120, "MEDIA_MUTE_8"},
    {0x0223, 0x132, "MEDIA_WWW_HOME_9"},      {0x0227, 0x167, "MEDIA_WWW_REFRESH_10"},
    {0x0226, 0x168, "MEDIA_WWW_STOP_11"},     {0x0224, 0x16A, "MEDIA_WWW_BACK_12"},
    {0x0225, 0x169, "MEDIA_WWW_FORWARD_13"},  {0x022A, 0x166, "MEDIA_WWW_FAVORITE_14"},
    {0x0221, 0x165, "MEDIA_WWW_SEARCH_15"},   {0x0194, 0x16B, "MEDIA_MY_PC_16"},
    {0x0192, 0x121, "MEDIA_CALC_17"},         {0x018A, 0x16C, "MEDIA_MAIL_18"},
}};

constexpr KeyCode kReleaseOnlyKeys[] = {0x054, 0x071, 0x072, 0x137};

// Modifier bit n (lowest first) and its key.
constexpr KeyCode kModifierKeys[8] = {0x01D, 0x02A, 0x038, 0x15B, 0x11D, 0x036, 0x138, 0x15C};

// Virtual keys that name no key although a row carries them: the mouse buttons
// (they are not keyboard keys here) and the pseudo virtual keys that tag the
// mouse and office functions. Num Lock (0x90) and Scroll Lock (0x91) sit between
// the pseudo ranges and are real keys.
constexpr bool IsUnmappedVirtualKey(int vk) {
  return vk == 0x00 || vk == 0x01 || vk == 0x02 || vk == 0x04 || (vk >= 0x88 && vk <= 0x8C) ||
         (vk >= 0x97 && vk <= 0x9F) || vk == 0xFF;
}

// Virtual key -> key table index. A row's Num-Lock-on virtual key maps to it, the
// first row in index order winning; the Num-Lock-off keypad keys do not map.
constexpr std::array<uint8_t, 256> BuildVirtualKeyTable() {
  std::array<uint8_t, 256> table{};
  for (int i = static_cast<int>(kKeyTableRows) - 1; i >= 0; --i) {
    int vk = kKeyTable[static_cast<size_t>(i)].virtualKey;
    if (kKeyTable[static_cast<size_t>(i)].listPosition != kNoListPosition && !IsUnmappedVirtualKey(vk)) {
      table[static_cast<size_t>(vk)] = static_cast<uint8_t>(i);
    }
  }
  table[0x10] = KeyCodeToIndex(0x02A);  // VK_SHIFT: left Shift
  table[0x11] = KeyCodeToIndex(0x01D);  // VK_CONTROL: left Ctrl
  table[0x12] = KeyCodeToIndex(0x038);  // VK_MENU: left Alt
  table[0x2C] = KeyCodeToIndex(0x137);  // VK_SNAPSHOT: Print Screen, not Sys Req
  return table;
}

constexpr std::array<uint8_t, 256> kVirtualKeyTable = BuildVirtualKeyTable();

// Usage byte -> the key of the first row, in index order, that carries it.
constexpr std::array<KeyCode, 256> BuildUsageRows() {
  std::array<KeyCode, 256> rows{};
  for (int i = static_cast<int>(kKeyTableRows) - 1; i >= 0; --i) {
    uint8_t usage = kKeyTable[static_cast<size_t>(i)].usage;
    if (usage != 0) rows[usage] = IndexToKeyCode(static_cast<uint16_t>(i));
  }
  return rows;
}

constexpr std::array<KeyCode, 256> kUsageRows = BuildUsageRows();

struct EvdevEntry {
  uint16_t evdev;
  KeyCode code;
};

// Linux input codes that are not simply the set-1 make code.
constexpr EvdevEntry kEvdevKeys[] = {
    {69, 0x145},   // KEY_NUMLOCK
    {119, 0x045},  // KEY_PAUSE
    {86, 0x056},   // KEY_102ND
    {89, 0x073},   // KEY_RO
    {92, 0x079},   // KEY_HENKAN
    {93, 0x070},   // KEY_KATAKANAHIRAGANA
    {94, 0x07B},   // KEY_MUHENKAN
    {121, 0x07E},  // KEY_KPCOMMA
    {122, 0x072},  // KEY_HANGEUL
    {123, 0x071},  // KEY_HANJA
    {124, 0x07D},  // KEY_YEN
    {183, 0x064},  // KEY_F13
    {96, 0x11C},   // KEY_KPENTER
    {97, 0x11D},   // KEY_RIGHTCTRL
    {98, 0x135},   // KEY_KPSLASH
    {99, 0x137},   // KEY_SYSRQ: the Print Screen key
    {100, 0x138},  // KEY_RIGHTALT
    {102, 0x147},  // KEY_HOME
    {103, 0x148},  // KEY_UP
    {104, 0x149},  // KEY_PAGEUP
    {105, 0x14B},  // KEY_LEFT
    {106, 0x14D},  // KEY_RIGHT
    {107, 0x14F},  // KEY_END
    {108, 0x150},  // KEY_DOWN
    {109, 0x151},  // KEY_PAGEDOWN
    {110, 0x152},  // KEY_INSERT
    {111, 0x153},  // KEY_DELETE
    {125, 0x15B},  // KEY_LEFTMETA
    {126, 0x15C},  // KEY_RIGHTMETA
    {127, 0x15D},  // KEY_COMPOSE
    {113, 0x120},  // KEY_MUTE
    {114, 0x12E},  // KEY_VOLUMEDOWN
    {115, 0x130},  // KEY_VOLUMEUP
    {116, 0x15E},  // KEY_POWER
    {142, 0x15F},  // KEY_SLEEP
    {143, 0x163},  // KEY_WAKEUP
    {140, 0x121},  // KEY_CALC
    {163, 0x119},  // KEY_NEXTSONG
    {164, 0x122},  // KEY_PLAYPAUSE
    {165, 0x110},  // KEY_PREVIOUSSONG
    {166, 0x124},  // KEY_STOPCD
    {172, 0x132},  // KEY_HOMEPAGE
    {173, 0x167},  // KEY_REFRESH
    {128, 0x168},  // KEY_STOP
    {158, 0x16A},  // KEY_BACK
    {159, 0x169},  // KEY_FORWARD
    {156, 0x166},  // KEY_BOOKMARKS
    {217, 0x165},  // KEY_SEARCH
    {144, 0x16B},  // KEY_FILE: the kernel's key for consumer usage 0x194
    {157, 0x16B},  // KEY_COMPUTER
    {155, 0x16C},  // KEY_MAIL
    {215, 0x16C},  // KEY_EMAIL
    {171, 0x16D},  // KEY_CONFIG: the kernel's key for consumer usage 0x183
    {226, 0x16D},  // KEY_MEDIA
    {0x110, 0x171},  // BTN_LEFT
    {0x111, 0x172},  // BTN_RIGHT
    {0x112, 0x173},  // BTN_MIDDLE
};

// Compile-time checks of the tables against each other.

constexpr int RowsAtListPosition(uint16_t position) {
  int n = 0;
  for (const auto& row : kKeyTable) n += row.listPosition == position;
  return n;
}

constexpr bool ListPositionsAreWellFormed() {
  for (uint16_t p = 0; p <= 111; ++p) {
    int expected = p == 103 ? 2 : p == 106 ? 0 : 1;  // both Right Shift rows carry 103
    if (RowsAtListPosition(p) != expected) return false;
  }
  return true;
}
static_assert(ListPositionsAreWellFormed(), "every list position 0..111 but 106 belongs to one key, 103 to two");

constexpr bool KeyCodesRoundTrip() {
  for (const auto& e : kKeys) {
    if (IndexToKeyCode(KeyCodeToIndex(e.code)) != e.code) return false;
    if (e.row.englishName.empty()) return false;
  }
  for (uint16_t i = 0; i < kKeyRecordCount; ++i) {
    if (KeyCodeToIndex(IndexToKeyCode(i)) != i) return false;
  }
  return true;
}
static_assert(KeyCodesRoundTrip(), "key codes and indices convert both ways");
static_assert(std::size(kKeys) == 157, "the key table has 157 keys");

constexpr bool MediaListMatchesKeyTable() {
  for (const auto& m : kMediaList) {
    uint8_t usage = kKeyTable[KeyCodeToIndex(m.code)].usage;
    if (usage < 0xC0 || usage > 0xDF || kConsumerUsages[usage - 0xC0u] != m.consumerUsage) return false;
    if (kKeyTable[KeyCodeToIndex(m.code)].nameKey != m.nameKey) return false;
  }
  return true;
}
static_assert(MediaListMatchesKeyTable(), "each media key's usage byte names its consumer usage");

constexpr bool EvdevCodesAreKeys() {
  for (const auto& e : kEvdevKeys) {
    if (kKeyTable[KeyCodeToIndex(e.code)].listPosition == kNoListPosition) return false;
  }
  return true;
}
static_assert(EvdevCodesAreKeys(), "every Linux input code maps to a key of the table");

const KeyRow kEmptyRow{};

std::string NameOfRow(const Localisation& lang, const KeyRow& row) {
  return row.nameKey.empty() ? std::string() : lang.GetText(row.nameKey);
}

}  // namespace

const std::array<KeyRow, kKeyTableRows>& KeyTable() { return kKeyTable; }
const std::array<uint16_t, 32>& ConsumerUsages() { return kConsumerUsages; }
const std::array<MediaEntry, kMediaCount>& MediaList() { return kMediaList; }

const KeyRow& KeyRowOf(KeyCode code) {
  uint16_t index = KeyCodeToIndex(code);
  return index < kKeyTableRows ? kKeyTable[index] : kEmptyRow;
}

UsagePair KeyCodeToUsage(KeyCode code) {
  uint8_t b = KeyRowOf(code).usage;
  if (b == 0x00 || b == 0xFF) return {kUsageNone, 0};
  if (b >= 0x81 && b <= 0x83) return {kUsageSystemControl, b};
  if (b >= 0xF1 && b <= 0xF8) return {kUsageSpecial, b};
  // Consumer bytes 0xC0..0xDF come out as keyboard-page usages too; media keys
  // reach the keyboard through the media list instead.
  return {kUsageKeyboard, b};
}

KeyCode UsageToKeyCode(UsagePair usage) {
  int search = 0;
  switch (usage.type) {
    case kUsageKeyboard:
      search = usage.usage;
      break;
    case kUsageSystemControl:
      search = (usage.usage >= 0x81 && usage.usage <= 0x83) ? usage.usage : 0;
      break;
    case kUsageConsumer: {
      auto it = std::find(kConsumerUsages.begin(), kConsumerUsages.end(), usage.usage);
      search = (usage.usage != 0 && it != kConsumerUsages.end()) ? 0xC0 + static_cast<int>(it - kConsumerUsages.begin())
                                                                 : 0;
      break;
    }
    default:
      break;
  }
  return search == 0 ? 0 : kUsageRows[static_cast<size_t>(search)];
}

uint16_t KeyCodeToListPosition(KeyCode code) { return KeyRowOf(code).listPosition; }

KeyCode ListPositionToKeyCode(uint16_t position) {
  for (uint16_t i = 0; i < kKeyTableRows; ++i) {
    if (kKeyTable[i].listPosition == position && position != kNoListPosition) return IndexToKeyCode(i);
  }
  return 0;
}

KeyCode VirtualKeyToKeyCode(uint8_t vk) { return IndexToKeyCode(kVirtualKeyTable[vk]); }

KeyCode KeystrokeToKeyCode(uint8_t vk, uint32_t keystrokeFlags) {
  const KeyCode s = static_cast<KeyCode>((keystrokeFlags >> 16) & 0x1FF);
  const KeyCode v = VirtualKeyToKeyCode(vk);
  if (s == 0x036) return 0x036;  // right Shift, whatever virtual key it came with
  if (vk == 0xFF) return s;
  if ((s & 0xFF) == 0) return v;
  const KeyRow& row = KeyRowOf(s);
  if (row.virtualKey == vk || row.altVirtualKey == vk) return s;
  if (kVirtualKeyTable[vk] == (s & 0xFF)) return s;
  return v;
}

KeyCode EvdevToKeyCode(uint16_t evdevCode) {
  for (const auto& e : kEvdevKeys) {
    if (e.evdev == evdevCode) return e.code;
  }
  // Below these the Linux code is the set-1 make code.
  if ((evdevCode >= 0x01 && evdevCode <= 0x53) || (evdevCode >= 0x57 && evdevCode <= 0x58)) return evdevCode;
  return 0;
}

KeyCode ModifierBitsToKeyCode(uint8_t bits) {
  for (int bit = 0; bit < 8; ++bit) {
    if (bits & (1u << bit)) return kModifierKeys[bit];
  }
  return 0;
}

uint8_t KeyCodeToModifierBit(KeyCode code) {
  for (int bit = 0; bit < 8; ++bit) {
    if (kModifierKeys[bit] == code) return static_cast<uint8_t>(1u << bit);
  }
  return 0;
}

KeyCode DeviceItemToKeyCode(DeviceKeyItem item) {
  switch (item.category) {
    case 0x01:
      if (item.data1 == 0x01 && item.data2 == 0x01) return 0x171;
      if (item.data1 == 0x01 && item.data2 == 0x02) return 0x172;
      if (item.data1 == 0x01 && item.data2 == 0x04) return 0x173;
      if (item.data1 == 0x05 && item.data2 == 0x01) return 0x161;
      if (item.data1 == 0x05 && item.data2 == 0xFF) return 0x162;
      return 0;
    case 0x02:
      return item.data1 == 0x02 ? UsageToKeyCode({kUsageKeyboard, item.data2}) : ModifierBitsToKeyCode(item.data2);
    case 0x03:
      return UsageToKeyCode({kUsageConsumer, static_cast<uint16_t>(item.data1 | item.data2 << 8)});
    case 0x04:
      return UsageToKeyCode({kUsageSystemControl, static_cast<uint16_t>(item.data1 | item.data2 << 8)});
    case 0x06:
      return item.data1 == 0xA2 ? static_cast<KeyCode>(0x1FF + item.data2) : 0;
    default:  // 0x05 keyboard-side functions are not keys
      return 0;
  }
}

std::string GetKeyName(const Localisation& lang, KeyCode code, size_t capacity) {
  std::string name = NameOfRow(lang, KeyRowOf(code));
  if (name.empty()) name = lang.FormatTextOf("UNKNOWN_KEY", static_cast<long long>(code));
  return std::string(TruncateCodePoints(name, capacity == 0 ? 0 : capacity - 1));
}

std::string KeyName(const Localisation& lang, KeyCode code) {
  if (code == kFnKey) return "Fn";
  if (code >= kFirstGKey && code < kFirstGKey + 2 * kGKeysShown) return "G" + std::to_string(code - kFirstGKey + 1);
  return GetKeyName(lang, code);
}

namespace {

std::optional<KeyCode> ParseKeyCodeText(std::string_view text) {
  if (!StartsWithIgnoreCase(text, "0x") || text.size() < 3) return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
  return static_cast<KeyCode>(value);
}

}  // namespace

std::string KeyCodeText(KeyCode code) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%03x", code);
  return text;
}

std::optional<KeyCode> FindKeyByName(const Localisation& lang, std::string_view text, std::span<const KeyCode> keys) {
  const std::optional<KeyCode> code = ParseKeyCodeText(text);
  for (KeyCode k : keys) {
    if (code ? k == *code : EqualsIgnoreCase(KeyName(lang, k), text)) return k;
  }
  return std::nullopt;
}

std::optional<KeyCode> FindTableKeyByName(const Localisation& lang, std::string_view text) {
  if (auto code = ParseKeyCodeText(text)) {
    if (KeyRowOf(*code).nameKey.empty()) return std::nullopt;
    return code;
  }
  for (uint16_t index = 1; index < kKeyTableRows; ++index) {
    const KeyCode code = IndexToKeyCode(index);
    if (!KeyRowOf(code).nameKey.empty() && EqualsIgnoreCase(GetKeyName(lang, code), text)) return code;
  }
  return std::nullopt;
}

std::optional<size_t> FindMediaByName(const Localisation& lang, std::string_view text) {
  for (size_t i = 0; i < kMediaCount; ++i) {
    if (EqualsIgnoreCase(GetKeyName(lang, kMediaList[i].code), text)) return i;
  }
  return std::nullopt;
}

std::string GetListPositionName(const Localisation& lang, uint16_t position) {
  KeyCode code = ListPositionToKeyCode(position);
  return code == 0 ? std::string() : NameOfRow(lang, KeyRowOf(code));
}

bool IsMediaKeyCode(KeyCode code) {
  return std::any_of(kMediaList.begin(), kMediaList.end(), [code](const MediaEntry& m) { return m.code == code; });
}

bool IsReleaseOnlyKey(KeyCode code) { return std::find(std::begin(kReleaseOnlyKeys), std::end(kReleaseOnlyKeys), code) != std::end(kReleaseOnlyKeys); }

}  // namespace keyloft
