// The keyboard's lighting: the 42-byte parameter block of each onboard profile,
// the in-memory state of the profile being edited, the effects the keyboard
// supports, the mode table that says which controls each effect takes, the LED
// slot of every key button, the per-key colour mirror, and the operations that
// read and write all of it. Every write goes to the keyboard at once, in its
// own begin/end bracket; results of the data commands are not reported.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/command_protocol.h"
#include "device/device_context.h"

namespace keyloft {

class Localisation;
class Settings;
class LightingView;

inline constexpr int kLightingProfiles = 3;

// ---- Colours ---------------------------------------------------------------

// red | green << 8 | blue << 16; on the wire red, green, blue.
using Colour = uint32_t;

inline constexpr Colour kWhite = 0xFFFFFF;

constexpr uint8_t ColourRed(Colour c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t ColourGreen(Colour c) { return static_cast<uint8_t>(c >> 8 & 0xFF); }
constexpr uint8_t ColourBlue(Colour c) { return static_cast<uint8_t>(c >> 16 & 0xFF); }
constexpr Colour MakeColour(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Colour>(red) | static_cast<Colour>(green) << 8 | static_cast<Colour>(blue) << 16;
}

// ---- The parameter block ---------------------------------------------------

inline constexpr size_t kLightingBlockBytes = 42;
inline constexpr size_t kLightingAreaBytes = kLightingProfiles * kLightingBlockBytes;  // 126

// Field offsets inside a block. Bytes without a name are the keyboard's own and
// are kept as read.
inline constexpr size_t kParamEffect = 0;
inline constexpr size_t kParamBrightness = 1;     // 0..4
inline constexpr size_t kParamSpeed = 2;          // 0..3, shown inverted
inline constexpr size_t kParamDirection = 3;      // 0xFF or 0x00
inline constexpr size_t kParamMulticolour = 4;    // non-zero: a spectrum instead of the colour
inline constexpr size_t kParamColour = 5;         // red, green, blue
inline constexpr size_t kParamReportRate = 15;    // 0..3
inline constexpr size_t kParamFourColour = 17;    // 0 red, 1 yellow, 2 green, 3 blue
inline constexpr size_t kParamEffect7Option = 18;
inline constexpr size_t kParamTriggerStyle = 19;  // 0 single key, 1 grid
inline constexpr size_t kParamRippleColour = 25;
inline constexpr size_t kParamRippleMulticolour = 28;
inline constexpr size_t kParamRibbonColour = 30;
inline constexpr size_t kParamRibbonMulticolour = 33;

// A reset writes bytes 0..34 of the block.
inline constexpr size_t kResetBytes = 35;

inline constexpr int kMaxBrightness = 4;
inline constexpr int kMaxSpeed = 3;
inline constexpr int kMaxReportRate = 3;
inline constexpr uint8_t kDirectionFirst = 0xFF;   // left, up or outward
inline constexpr uint8_t kDirectionSecond = 0x00;  // right, down or inward

// The speed slider runs slow to fast and the keyboard counts the other way;
// the mapping is its own inverse (position <-> stored speed), clamped to 0..3.
constexpr int SpeedSliderPosition(int value) { return kMaxSpeed - std::clamp(value, 0, kMaxSpeed); }

struct LightingParams {
  std::array<uint8_t, kLightingBlockBytes> bytes{};
};

// ---- Effects ---------------------------------------------------------------

// An effect number, 1..20; 20 is the user-defined per-key effect.
using LightingMode = int;
inline constexpr LightingMode kUserDefinedMode = 20;
inline constexpr size_t kSupportedModeBytes = 32;

enum class DirectionKind : uint8_t { kNone, kLeftRight, kUpDown, kOutwardInward };

// The control an effect takes besides brightness, speed, direction and colour.
enum class OtherControl : uint8_t {
  kNone,
  kReactiveColour,  // the reactive colour button and its multicolour toggle
  kFourColour,      // red / yellow / green / blue, byte 17
  kUserDefined,     // per-key colours and schemes
};

struct ModeInfo {
  LightingMode mode;
  bool speed;
  DirectionKind direction;
  bool colour;  // the breathing-type colour button and its multicolour toggle
  OtherControl other;
  bool selectWritesMulticolour;  // selecting the effect also writes byte 4
};

// Brightness applies to every effect. Effect 19 has no entry.
inline constexpr std::array<ModeInfo, 19> kModeTable = {{
    {1, true, DirectionKind::kLeftRight, true, OtherControl::kNone, true},
    {2, true, DirectionKind::kLeftRight, true, OtherControl::kNone, true},
    {3, true, DirectionKind::kLeftRight, true, OtherControl::kNone, true},
    {4, true, DirectionKind::kNone, false, OtherControl::kNone, false},
    {5, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {6, false, DirectionKind::kNone, false, OtherControl::kReactiveColour, false},
    {7, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {8, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {9, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {10, true, DirectionKind::kNone, true, OtherControl::kNone, false},
    {11, true, DirectionKind::kLeftRight, true, OtherControl::kNone, false},
    {12, true, DirectionKind::kUpDown, false, OtherControl::kNone, false},
    {13, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {14, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {15, true, DirectionKind::kNone, true, OtherControl::kNone, true},
    {16, false, DirectionKind::kNone, false, OtherControl::kReactiveColour, false},
    {17, false, DirectionKind::kNone, false, OtherControl::kFourColour, false},
    {18, false, DirectionKind::kOutwardInward, false, OtherControl::kNone, false},
    {20, false, DirectionKind::kNone, false, OtherControl::kUserDefined, false},
}};

// The table row of an effect; nullptr for 19, 0 and anything above 20.
constexpr const ModeInfo* FindModeInfo(LightingMode mode) {
  for (const ModeInfo& m : kModeTable)
    if (m.mode == mode) return &m;
  return nullptr;
}

// Which panel controls an effect shows while the lighting view is on.
struct EffectControls {
  bool modeCombo = false;
  bool brightness = false;
  bool speed = false;
  DirectionKind direction = DirectionKind::kNone;  // kNone: arrows hidden
  bool colour = false;
  bool reactiveColour = false;
  bool fourColour = false;
  bool userDefined = false;
};

// An effect without a table row is one the keyboard may list but this program
// does not know: nothing of it can be set, so only the combo stays, letting the
// user move to an effect that can.
constexpr EffectControls ControlsForEffect(LightingMode mode) {
  const ModeInfo* m = FindModeInfo(mode);
  if (!m) return EffectControls{.modeCombo = true};
  return EffectControls{.modeCombo = true,
                        .brightness = true,
                        .speed = m->speed,
                        .direction = m->direction,
                        .colour = m->colour,
                        .reactiveColour = m->other == OtherControl::kReactiveColour,
                        .fourColour = m->other == OtherControl::kFourColour,
                        .userDefined = m->other == OtherControl::kUserDefined};
}

// The effect combo's entries: the non-zero entries of the supported-mode list,
// in order, so a combo index is not an effect number.
class ModeList {
 public:
  ModeList() = default;
  explicit ModeList(std::span<const uint8_t, kSupportedModeBytes> supported);

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The effect at a combo index; 0 outside the list.
  LightingMode ModeAt(int index) const;
  // The first combo index of an effect; -1 when it is not listed.
  int IndexOf(LightingMode mode) const;
  bool Contains(LightingMode mode) const { return IndexOf(mode) >= 0; }
  std::span<const uint8_t> Modes() const { return std::span(modes_).first(count_); }

 private:
  std::array<uint8_t, kSupportedModeBytes> modes_{};
  size_t count_ = 0;
};

// ---- State -----------------------------------------------------------------

struct LightingState {
  int profile = 0;  // 0..2: the block and image being edited
  LightingMode mode = 0;
  int brightness = 0;
  int speed = 0;  // as stored: slider position is 3 - speed
  int direction = 0;
  bool multicolour = false;
  Colour colour = 0;
  int reportRate = 0;  // 0..3
  int fourColour = 0;
  bool lightingView = false;  // persisted as KEYCOLOR/DengCheck
  std::array<uint8_t, kSupportedModeBytes> supportedModes{};
};

// The block's fields into the state; byte 15 above 3 reads as 3. Profile,
// lighting view and supported modes are left alone.
void UnpackLightingParams(const LightingParams& block, LightingState& state);

// ---- Per-key colours -------------------------------------------------------

inline constexpr size_t kKeyColourStride = 512;  // one image per profile
inline constexpr size_t kKeyColourMirrorBytes = kLightingProfiles * kKeyColourStride;
inline constexpr int kLedSlotsPerImage = static_cast<int>(kKeyColourStride / 3);  // 170
inline constexpr size_t kUploadChunkBytes = 54;  // 18 slots
inline constexpr int kUploadChunks = 8;
inline constexpr size_t kUploadBytes = kUploadChunkBytes * kUploadChunks;  // 432: slots 0..143

// Three images of 512 bytes, three bytes per slot, as the keyboard lays them
// out. Filled from the scheme files, never read from the keyboard.
struct KeyColourMirror {
  std::array<uint8_t, kKeyColourMirrorBytes> bytes{};

  // Profile 0..2, slot 0..169; outside that Get gives 0 and Set does nothing.
  Colour Get(int profile, int slot) const;
  void Set(int profile, int slot, Colour colour);
  std::span<const uint8_t, kKeyColourStride> Image(int profile) const;
};

// ---- Key buttons and LED slots ---------------------------------------------

enum class LedKeyKind : uint8_t { kKey, kFn, kGKey };

struct LedSlotEntry {
  int controlId;  // the key button of the main window's keyboard view
  int slot;
  LedKeyKind kind;
  std::string_view name;
};

inline constexpr int kSharedWinPageUpSlot = 112;
inline constexpr int kFnSlot = 91;
inline constexpr int kGKeySlot = 125;

// In slot order: 105 keys, the Fn key, then the nine G keys. Right Win and
// Page Up share a slot; every G key lights slot 125.
inline constexpr std::array<LedSlotEntry, 115> kLedSlotTable = {{
    {1199, 0, LedKeyKind::kKey, "K45"},
    {1022, 1, LedKeyKind::kKey, "Esc"},
    {1010, 2, LedKeyKind::kKey, "F1"},
    {1011, 3, LedKeyKind::kKey, "F2"},
    {1012, 4, LedKeyKind::kKey, "F3"},
    {1013, 5, LedKeyKind::kKey, "F4"},
    {1014, 6, LedKeyKind::kKey, "F5"},
    {1015, 7, LedKeyKind::kKey, "F6"},
    {1023, 8, LedKeyKind::kKey, "F7"},
    {1024, 9, LedKeyKind::kKey, "F8"},
    {1025, 10, LedKeyKind::kKey, "F9"},
    {1026, 11, LedKeyKind::kKey, "F10"},
    {1027, 12, LedKeyKind::kKey, "F11"},
    {1028, 13, LedKeyKind::kKey, "F12"},
    {1029, 18, LedKeyKind::kKey, "`~"},
    {1030, 19, LedKeyKind::kKey, "1"},
    {1031, 20, LedKeyKind::kKey, "2"},
    {1032, 21, LedKeyKind::kKey, "3"},
    {1033, 22, LedKeyKind::kKey, "4"},
    {1034, 23, LedKeyKind::kKey, "5"},
    {1035, 24, LedKeyKind::kKey, "6"},
    {1036, 25, LedKeyKind::kKey, "7"},
    {1037, 26, LedKeyKind::kKey, "8"},
    {1038, 27, LedKeyKind::kKey, "9"},
    {1039, 28, LedKeyKind::kKey, "0"},
    {1040, 29, LedKeyKind::kKey, "-_"},
    {1041, 30, LedKeyKind::kKey, "=+"},
    {1104, 31, LedKeyKind::kKey, "Num Lock"},
    {1105, 32, LedKeyKind::kKey, "Keypad /"},
    {1106, 33, LedKeyKind::kKey, "Keypad *"},
    {1056, 35, LedKeyKind::kKey, "Tab"},
    {1044, 36, LedKeyKind::kKey, "Q"},
    {1045, 37, LedKeyKind::kKey, "W"},
    {1046, 38, LedKeyKind::kKey, "E"},
    {1047, 39, LedKeyKind::kKey, "R"},
    {1048, 40, LedKeyKind::kKey, "T"},
    {1049, 41, LedKeyKind::kKey, "Y"},
    {1050, 42, LedKeyKind::kKey, "U"},
    {1051, 43, LedKeyKind::kKey, "I"},
    {1052, 44, LedKeyKind::kKey, "O"},
    {1053, 45, LedKeyKind::kKey, "P"},
    {1054, 46, LedKeyKind::kKey, "[{"},
    {1055, 47, LedKeyKind::kKey, "]}"},
    {1108, 48, LedKeyKind::kKey, "Keypad 7"},
    {1109, 49, LedKeyKind::kKey, "Keypad 8"},
    {1110, 50, LedKeyKind::kKey, "Keypad 9"},
    {1069, 52, LedKeyKind::kKey, "Caps Lock"},
    {1058, 53, LedKeyKind::kKey, "A"},
    {1059, 54, LedKeyKind::kKey, "S"},
    {1060, 55, LedKeyKind::kKey, "D"},
    {1061, 56, LedKeyKind::kKey, "F"},
    {1062, 57, LedKeyKind::kKey, "G"},
    {1063, 58, LedKeyKind::kKey, "H"},
    {1064, 59, LedKeyKind::kKey, "J"},
    {1065, 60, LedKeyKind::kKey, "K"},
    {1066, 61, LedKeyKind::kKey, "L"},
    {1067, 62, LedKeyKind::kKey, ";:"},
    {1068, 63, LedKeyKind::kKey, "'\""},
    {1042, 64, LedKeyKind::kKey, "\\|"},
    {1112, 65, LedKeyKind::kKey, "Keypad 4"},
    {1113, 66, LedKeyKind::kKey, "Keypad 5"},
    {1114, 67, LedKeyKind::kKey, "Keypad 6"},
    {1082, 69, LedKeyKind::kKey, "Left Shift"},
    {1071, 70, LedKeyKind::kKey, "Z"},
    {1072, 71, LedKeyKind::kKey, "X"},
    {1073, 72, LedKeyKind::kKey, "C"},
    {1074, 73, LedKeyKind::kKey, "V"},
    {1075, 74, LedKeyKind::kKey, "B"},
    {1076, 75, LedKeyKind::kKey, "N"},
    {1077, 76, LedKeyKind::kKey, "M"},
    {1078, 77, LedKeyKind::kKey, ",<"},
    {1079, 78, LedKeyKind::kKey, ".>"},
    {1080, 79, LedKeyKind::kKey, "/?"},
    {1081, 80, LedKeyKind::kKey, "Right Shift"},
    {1070, 81, LedKeyKind::kKey, "Enter"},
    {1115, 82, LedKeyKind::kKey, "Keypad 1"},
    {1116, 83, LedKeyKind::kKey, "Keypad 2"},
    {1117, 84, LedKeyKind::kKey, "Keypad 3"},
    {1083, 86, LedKeyKind::kKey, "Left Ctrl"},
    {1084, 87, LedKeyKind::kKey, "Left Win"},
    {1085, 88, LedKeyKind::kKey, "Left Alt"},
    {1090, 89, LedKeyKind::kKey, "Space"},
    {1086, 90, LedKeyKind::kKey, "Right Alt"},
    {1088, 92, LedKeyKind::kKey, "Menu"},
    {1089, 93, LedKeyKind::kKey, "Right Ctrl"},
    {1100, 94, LedKeyKind::kKey, "Left"},
    {1101, 95, LedKeyKind::kKey, "Down"},
    {1103, 96, LedKeyKind::kKey, "Up"},
    {1102, 97, LedKeyKind::kKey, "Right"},
    {1043, 98, LedKeyKind::kKey, "Backspace"},
    {1120, 99, LedKeyKind::kKey, "Keypad 0"},
    {1119, 100, LedKeyKind::kKey, "Keypad ."},
    {1118, 101, LedKeyKind::kKey, "Keypad Enter"},
    {1091, 106, LedKeyKind::kKey, "Print Screen"},
    {1092, 107, LedKeyKind::kKey, "Scroll Lock"},
    {1093, 108, LedKeyKind::kKey, "Pause"},
    {1094, 110, LedKeyKind::kKey, "Insert"},
    {1095, 111, LedKeyKind::kKey, "Home"},
    {1087, 112, LedKeyKind::kKey, "Right Win"},
    {1096, 112, LedKeyKind::kKey, "Page Up"},
    {1097, 113, LedKeyKind::kKey, "Delete"},
    {1098, 114, LedKeyKind::kKey, "End"},
    {1099, 115, LedKeyKind::kKey, "Page Down"},
    {1107, 116, LedKeyKind::kKey, "Keypad -"},
    {1111, 117, LedKeyKind::kKey, "Keypad +"},
    {1174, 91, LedKeyKind::kFn, "Fn"},
    {1000, 125, LedKeyKind::kGKey, "G1"},
    {1001, 125, LedKeyKind::kGKey, "G2"},
    {1002, 125, LedKeyKind::kGKey, "G3"},
    {1003, 125, LedKeyKind::kGKey, "G4"},
    {1004, 125, LedKeyKind::kGKey, "G5"},
    {1140, 125, LedKeyKind::kGKey, "G6"},
    {1141, 125, LedKeyKind::kGKey, "G7"},
    {1142, 125, LedKeyKind::kGKey, "G8"},
    {1143, 125, LedKeyKind::kGKey, "G9"},
}};

// The slot of a key button; -1 for a control without one (D1..D6 among them).
constexpr int LedSlotOfControl(int controlId) {
  for (const LedSlotEntry& e : kLedSlotTable)
    if (e.controlId == controlId) return e.slot;
  return -1;
}

// Every key button lit by a slot, in table order.
struct SlotControls {
  std::array<int, 9> ids{};
  size_t count = 0;
  std::span<const int> Ids() const { return std::span(ids).first(count); }
};

constexpr SlotControls ControlsOfSlot(int slot) {
  SlotControls out;
  for (const LedSlotEntry& e : kLedSlotTable)
    if (e.slot == slot && out.count < out.ids.size()) out.ids[out.count++] = e.controlId;
  return out;
}

// ---- The user-defined effect's schemes --------------------------------------

// Where the ten colour schemes of each profile live (the per-user lighting
// files). The model calls it only when the keyboard supports effect 20.
class UserLightingStore {
 public:
  virtual ~UserLightingStore() = default;

  // The ten scheme names of a profile, in order.
  virtual std::vector<std::string> SchemeNames(int profile) = 0;
  // The profile's selected scheme into its image of the mirror (and the
  // editor's tool, colours and base flags). The model uploads afterwards.
  virtual void LoadCurrentScheme(int profile, KeyColourMirror& mirror) = 0;
  // The template copied over the profile's lighting file.
  virtual void ResetSchemesFromTemplate(int profile) = 0;
  // Every key's base flag, for all three profiles, from the mirror.
  virtual void RecomputeBaseFlags(const KeyColourMirror& mirror) = 0;
};

// ---- The model -------------------------------------------------------------

// One instance, used on the thread that runs the program's sequences.
class LightingModel {
 public:
  LightingModel(DeviceContext& device, const Localisation& lang, Settings& settings, LightingView& view,
                UserLightingStore& schemes);

  const LightingState& State() const { return state_; }
  const ModeList& Modes() const { return modes_; }
  // The effect combo's texts: the MODE name of each listed effect.
  std::vector<std::string> ModeNames() const;
  const LightingParams& Block(int profile) const;
  const KeyColourMirror& Mirror() const { return mirror_; }
  KeyColourMirror& Mirror() { return mirror_; }
  bool UserDefinedSupported() const { return modes_.Contains(kUserDefinedMode); }

  // The profile whose lighting is edited (0..2); anything else changes nothing.
  void SetProfile(int profile);
  // The lighting-view flag, stored in the settings.
  void SetLightingView(bool on);
  // If the view is on: off, stored, and the view told.
  void LeaveLightingView();

  // Information block, then the three blocks in one bracket; the current
  // profile's block into the state. -1 when the information block cannot be
  // read (nothing else is sent), else 1.
  int ReadAllParams();
  // The lighting part of the connection sequence, panel refresh and base flags
  // included. -1 when the information block cannot be read, else 1.
  int SyncOnConnect();
  // A profile button: that profile's lighting read and shown, the view left.
  void ChangeProfile(int profile);

  // One bracket writing bytes at an offset of the current profile's block.
  void WriteParam(size_t offsetInBlock, std::span<const uint8_t> bytes);

  // The effect at a combo index; an index outside the list does nothing.
  void SelectMode(int comboIndex);
  // The same by effect number, listed or not. An effect without a table row
  // sends nothing.
  void SelectEffect(LightingMode mode);
  // Positions and choices outside their range are clamped into it. Brightness
  // and speed send nothing when the stored value would not change.
  void SetBrightness(int position);      // 0..4, written as it is
  void SetSpeed(int position);           // 0..3, written as 3 - position
  void SetDirection(uint8_t direction);  // kDirectionFirst, or kDirectionSecond for 0
  void SetColour(Colour colour);         // multicolour off
  void ToggleMulticolour();
  void SetFourColour(int choice);  // 0..3
  void SetReportRate(int rate);    // 0..3: the report-rate button's index

  // One slot of the current profile, on the keyboard and in the mirror.
  void WriteKeyColour(int slot, Colour colour);
  // Slots 0..143 of the current profile's mirror, in eight commands.
  void UploadKeyImage();
  // The current scheme of the current profile into the mirror and uploaded.
  void LoadSchemeWithUpload();
  // Effect 1 and the factory parameters for the current profile.
  void ResetLighting();

 private:
  struct FieldWrite {
    size_t offset;
    std::span<const uint8_t> bytes;
  };
  void WriteFields(std::span<const FieldWrite> fields);
  bool ReadInfo();
  void ReadBlocks();
  void RefillSchemeNames();
  uint16_t BlockOffset(size_t offsetInBlock) const;

  DeviceContext& device_;
  CommandChannel channel_;
  const Localisation& lang_;
  Settings& settings_;
  LightingView& view_;
  UserLightingStore& schemes_;

  LightingState state_;
  ModeList modes_;
  std::array<LightingParams, kLightingProfiles> blocks_{};
  KeyColourMirror mirror_;
};

}  // namespace keyloft
