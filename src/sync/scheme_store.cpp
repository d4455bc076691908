#include "sync/scheme_store.h"

namespace keyloft {

std::vector<std::string> SchemeStore::SchemeNames(int profile) {
  const LightingFile file = data_.ReadLightingFile(profile);
  std::vector<std::string> names;
  for (int s = 0; s < kSchemesPerProfile; ++s) names.push_back(file.SchemeName(s));
  return names;
}

void SchemeStore::LoadCurrentScheme(int profile, KeyColourMirror& mirror) {
  const LightingFile file = data_.ReadLightingFile(profile);
  const int scheme = file.SchemeIndex();
  tools_[Clamp(profile)] = file.Tools(scheme);
  // Keys in table order and the Fn key last, as the scheme file lists them.
  for (LedKeyKind kind : {LedKeyKind::kKey, LedKeyKind::kFn}) {
    for (const auto& entry : ledSlots_) {
      if (entry.kind != kind) continue;
      KeyLight light = file.Light(scheme, entry.slot);
      mirror.Set(profile, entry.slot, light.colour);
      baseFlags_[Clamp(profile)][static_cast<size_t>(entry.slot)] = light.baseFlag != 0;
    }
  }
}

void SchemeStore::ResetSchemesFromTemplate(int profile) { data_.ResetLightingFile(profile); }

void SchemeStore::RecomputeBaseFlags(const KeyColourMirror& mirror) {
  for (int p = 0; p < 3; ++p) {
    for (const auto& entry : ledSlots_) {
      if (entry.kind == LedKeyKind::kGKey) continue;
      baseFlags_[static_cast<size_t>(p)][static_cast<size_t>(entry.slot)] =
          mirror.Get(p, entry.slot) == tools_[static_cast<size_t>(p)].baseColour;
    }
  }
}

int SchemeStore::PaintSlots(int profile, std::optional<int> scheme, std::span<const SlotPaint> paints) {
  if (scheme) data_.WriteSchemeIndex(profile, *scheme);
  const int painted = data_.ReadSchemeIndex(profile);
  const uint32_t base = data_.ReadSchemeTools(profile, painted).baseColour;
  for (const SlotPaint& p : paints) data_.WriteKeyLight(profile, painted, p.slot, KeyLight{p.colour, p.colour == base ? 1 : 0});
  return painted;
}

bool SchemeStore::BaseFlag(int profile, int slot) const {
  return slot >= 0 && slot < kLedSlotsPerImage && baseFlags_[Clamp(profile)][static_cast<size_t>(slot)];
}

}  // namespace keyloft
