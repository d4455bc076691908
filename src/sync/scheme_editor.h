// The editor of the user-defined effect's per-key colours: paint a key with
// the brush or the base colour, change the tools and the base colour (the
// keys that follow it are recoloured), select and rename one of the ten
// schemes of the profile being edited. Every stroke goes to the keyboard at
// once and into the profile's scheme file. Runs on the sequence thread, as
// the lighting controller does.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/keyboard_model.h"
#include "model/lighting.h"
#include "sync/lighting_controller.h"
#include "sync/lighting_view.h"
#include "sync/scheme_store.h"

namespace keyloft {

// The lighting as the panel shows it, copied on the sequence thread for a
// window on another.
struct LightingSnapshot {
  LightingState state;
  std::vector<std::string> modeNames;
  int scheme = 0;
  SchemeTools tools;
  KeyColourMirror mirror;
};

class SchemeEditor {
 public:
  SchemeEditor(LightingController& lighting, SchemeStore& schemes, LightingView& view,
               std::span<const LedSlotEntry> ledSlots)
      : lighting_(lighting), schemes_(schemes), view_(view), ledSlots_(ledSlots) {}

  // Painting acts only while the user-defined effect is the current one and
  // the keyboard lists it.
  bool Active() const;
  // The LED slot a click on a key paints; -1 for keys that paint nothing (the
  // G keys open the key dialog instead).
  int PaintSlot(KeyCode key) const;

  // The key with the current tool: the brush colour (the key stops following
  // the base colour) or the base colour (it follows it again).
  DevResult PaintKey(KeyCode key);
  void SetTool(int tool);  // 0 brush, 1 base; anything else changes nothing
  // Stored only: the next stroke uses it.
  void SetBrushColour(Colour colour);
  // Every key that follows the base colour takes the new one, and the image
  // is uploaded; the same colour again sends nothing.
  DevResult SetBaseColour(Colour colour);
  // Scheme 0..9 becomes the profile's current one, loaded and uploaded.
  DevResult SelectScheme(int scheme);
  // The current scheme's name; cut to what the file keeps.
  void RenameScheme(std::string_view name);

  LightingSnapshot Snapshot() const;

 private:
  int Profile() const { return lighting_.State().profile; }

  LightingController& lighting_;
  SchemeStore& schemes_;
  LightingView& view_;
  std::span<const LedSlotEntry> ledSlots_;
};

}  // namespace keyloft
