// The lighting as the keyboard keeps it: every lighting read and write, in the
// order the keyboard expects, on the sequence thread. Each write goes to the
// keyboard at once in its own begin/end bracket and the model's state follows
// it whether or not the keyboard took it; every operation says what the
// keyboard answered (the first failure of its bracket), so a caller can tell
// the user. The panel and the keyboard view hear of changes through LightingView.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/command_protocol.h"
#include "device/device_context.h"
#include "model/lighting.h"

namespace keyloft {

class Localisation;
class Settings;
class LightingView;
class UserLightingStore;
struct SlotPaint;

class LightingController {
 public:
  LightingController(DeviceContext& device, const Localisation& lang, Settings& settings, LightingView& view,
                     UserLightingStore& schemes);

  const LightingState& State() const { return state_; }
  const ModeList& Modes() const { return modes_; }
  // The effect combo's texts: the MODE name of each listed effect.
  std::vector<std::string> ModeNames() const;
  const LightingParams& Block(int profile) const;
  const KeyColourMirror& Mirror() const { return mirror_; }
  bool UserDefinedSupported() const { return modes_.Contains(kUserDefinedMode); }

  // The profile whose lighting is edited (0..2); anything else changes nothing.
  void SetProfile(int profile);
  // The lighting-view flag, stored in the settings.
  void SetLightingView(bool on);
  // If the view is on: off, stored, and the view told.
  void LeaveLightingView();

  // Information block, then the three blocks in one bracket; the current
  // profile's block into the state. When the information block cannot be read
  // nothing else is sent and that read's result is returned.
  DevResult ReadAllParams();
  // The lighting part of the connection sequence, panel refresh and base flags
  // included, whatever the keyboard answers.
  DevResult SyncOnConnect();
  // A profile button: that profile's lighting read and shown, the view left.
  DevResult ChangeProfile(int profile);

  // One bracket writing bytes at an offset of the current profile's block;
  // BadProfile, with nothing sent, for bytes outside the block.
  DevResult WriteParam(size_t offsetInBlock, std::span<const uint8_t> bytes);

  // The effect at a combo index; an index outside the list does nothing.
  DevResult SelectMode(int comboIndex);
  // The same by effect number, listed or not. An effect without a table row
  // sends nothing.
  DevResult SelectEffect(LightingMode mode);
  // Positions and choices outside their range are clamped into it. Brightness
  // and speed send nothing when the stored value would not change.
  DevResult SetBrightness(int position);      // 0..4, written as it is
  DevResult SetSpeed(int position);           // 0..3, written as 3 - position
  DevResult SetDirection(uint8_t direction);  // kDirectionFirst, or kDirectionSecond for 0
  DevResult SetColour(Colour colour);         // multicolour off
  DevResult ToggleMulticolour();
  DevResult SetFourColour(int choice);  // 0..3
  DevResult SetReportRate(int rate);    // 0..3: the report-rate button's index

  // One slot of the current profile, on the keyboard and in the mirror.
  DevResult WriteKeyColour(int slot, Colour colour);
  // Slots of the current profile's mirror set to one colour, then uploaded.
  DevResult RecolourSlots(std::span<const int> slots, Colour colour);
  // Slots 0..143 of the current profile's mirror, in eight commands.
  DevResult UploadKeyImage();
  // The current scheme of the current profile into the mirror and uploaded.
  DevResult LoadSchemeWithUpload();
  // Effect 1 and the factory parameters for the current profile.
  DevResult ResetLighting();

  // Keys of the user-defined effect painted into the current profile's
  // current scheme (or scheme, which becomes current), and the scheme
  // uploaded. What the keyboard said; *painted is the scheme painted.
  DevResult PaintKeys(std::optional<int> scheme, std::span<const SlotPaint> paints, int* painted = nullptr);

 private:
  struct FieldWrite {
    size_t offset;
    std::span<const uint8_t> bytes;
  };
  DevResult WriteFields(std::span<const FieldWrite> fields);
  DevResult ReadInfo();
  DevResult ReadBlocks();
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
