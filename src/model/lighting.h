// The keyboard's lighting as data: the 42-byte parameter block of each onboard
// profile, the in-memory state of the profile being edited, the effects the
// keyboard supports, the mode table that says which controls each effect
// takes, and the per-key colour mirror. What reaches the keyboard, and when,
// is the lighting controller's (sync/lighting_controller.h).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace keyloft {

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
  // Quirks of the view being turned on with the effect: the direction arrows
  // wait for the next refresh; coming from the off picture, the colour button stays hidden.
  bool arrowsWaitOnEnter = false;
  bool colourHiddenEnteringFromOff = false;
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
    {10, true, DirectionKind::kNone, true, OtherControl::kNone, false, false, true},
    {11, true, DirectionKind::kLeftRight, true, OtherControl::kNone, false, true, false},
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

}  // namespace keyloft
