#include "model/lighting.h"

#include <algorithm>


namespace keyloft {
namespace {

constexpr size_t ProfileIndex(int profile) { return static_cast<size_t>(std::clamp(profile, 0, kLightingProfiles - 1)); }

constexpr bool ValidSlot(int slot) { return slot >= 0 && slot < kLedSlotsPerImage; }

}  // namespace

ModeList::ModeList(std::span<const uint8_t, kSupportedModeBytes> supported) {
  for (uint8_t mode : supported)
    if (mode != 0) modes_[count_++] = mode;
}

LightingMode ModeList::ModeAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= count_) return 0;
  return modes_[static_cast<size_t>(index)];
}

int ModeList::IndexOf(LightingMode mode) const {
  for (size_t i = 0; i < count_; ++i)
    if (modes_[i] == mode) return static_cast<int>(i);
  return -1;
}

void UnpackLightingParams(const LightingParams& block, LightingState& state) {
  const auto& b = block.bytes;
  state.mode = b[kParamEffect];
  state.brightness = b[kParamBrightness];
  state.speed = b[kParamSpeed];
  state.direction = b[kParamDirection];
  state.multicolour = b[kParamMulticolour] != 0;
  state.colour = MakeColour(b[kParamColour], b[kParamColour + 1], b[kParamColour + 2]);
  state.reportRate = std::min<int>(b[kParamReportRate], kMaxReportRate);
  state.fourColour = b[kParamFourColour];
}

Colour KeyColourMirror::Get(int profile, int slot) const {
  if (profile < 0 || profile >= kLightingProfiles || !ValidSlot(slot)) return 0;
  size_t at = static_cast<size_t>(profile) * kKeyColourStride + static_cast<size_t>(slot) * 3;
  return MakeColour(bytes[at], bytes[at + 1], bytes[at + 2]);
}

void KeyColourMirror::Set(int profile, int slot, Colour colour) {
  if (profile < 0 || profile >= kLightingProfiles || !ValidSlot(slot)) return;
  size_t at = static_cast<size_t>(profile) * kKeyColourStride + static_cast<size_t>(slot) * 3;
  bytes[at] = ColourRed(colour);
  bytes[at + 1] = ColourGreen(colour);
  bytes[at + 2] = ColourBlue(colour);
}

std::span<const uint8_t, kKeyColourStride> KeyColourMirror::Image(int profile) const {
  return std::span(bytes).subspan(ProfileIndex(profile) * kKeyColourStride).first<kKeyColourStride>();
}

}  // namespace keyloft
