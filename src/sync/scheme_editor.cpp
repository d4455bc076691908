#include "sync/scheme_editor.h"

#include <algorithm>

#include "util/ini_file.h"
#include "util/text.h"

namespace keyloft {

bool SchemeEditor::Active() const {
  return lighting_.State().mode == kUserDefinedMode && lighting_.UserDefinedSupported();
}

int SchemeEditor::PaintSlot(KeyCode key) const {
  for (const LedSlotEntry& e : ledSlots_)
    if (e.key == key) return e.kind == LedKeyKind::kGKey ? -1 : e.slot;
  return -1;
}

DevResult SchemeEditor::PaintKey(KeyCode key) {
  const int slot = PaintSlot(key);
  if (!Active() || slot < 0) return DevResult::Ok;
  const SchemeTools& tools = schemes_.Tools(Profile());
  if (tools.tool != 0 && tools.tool != 1) return DevResult::Ok;
  const bool base = tools.tool == 1;
  const Colour colour = base ? tools.baseColour : tools.brushColour;
  const DevResult written = lighting_.WriteKeyColour(slot, colour);
  schemes_.StoreKeyLight(Profile(), slot, colour, base);
  view_.RepaintKeysFromMirror();
  return written;
}

void SchemeEditor::SetTool(int tool) {
  if (tool != 0 && tool != 1) return;
  SchemeTools tools = schemes_.Tools(Profile());
  tools.tool = tool;
  schemes_.StoreTools(Profile(), tools);
}

void SchemeEditor::SetBrushColour(Colour colour) {
  SchemeTools tools = schemes_.Tools(Profile());
  tools.brushColour = colour & 0xFFFFFF;
  schemes_.StoreTools(Profile(), tools);
}

DevResult SchemeEditor::SetBaseColour(Colour colour) {
  colour &= 0xFFFFFF;
  SchemeTools tools = schemes_.Tools(Profile());
  if (colour == tools.baseColour) return DevResult::Ok;
  tools.baseColour = colour;
  schemes_.StoreTools(Profile(), tools);
  // The keys, the Fn key and the G keys' shared slot that follow the base.
  std::vector<int> slots;
  for (const LedSlotEntry& e : ledSlots_) {
    if (!schemes_.BaseFlag(Profile(), e.slot) || std::ranges::find(slots, e.slot) != slots.end()) continue;
    slots.push_back(e.slot);
  }
  schemes_.StoreKeyLights(Profile(), slots, colour, true);
  const DevResult uploaded = lighting_.RecolourSlots(slots, colour);
  view_.RepaintKeysFromMirror();
  return uploaded;
}

DevResult SchemeEditor::SelectScheme(int scheme) {
  if (scheme < 0 || scheme >= kSchemesPerProfile) return DevResult::Ok;
  schemes_.StoreSchemeIndex(Profile(), scheme);
  const DevResult loaded = lighting_.LoadSchemeWithUpload();
  view_.RefreshPanel();
  view_.RepaintKeysFromMirror();
  return loaded;
}

void SchemeEditor::RenameScheme(std::string_view name) {
  schemes_.StoreSchemeName(Profile(), schemes_.Scheme(Profile()), TruncateCodePoints(name, kIniBufferChars - 1));
}

LightingSnapshot SchemeEditor::Snapshot() const {
  return LightingSnapshot{lighting_.State(), lighting_.ModeNames(), schemes_.Scheme(Profile()),
                          schemes_.Tools(Profile()), lighting_.Mirror()};
}

}  // namespace keyloft
