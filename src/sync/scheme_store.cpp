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
  schemes_[Clamp(profile)] = scheme;
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
    // The G keys share one slot, which no scheme load reads: its flag comes
    // from here alone.
    for (const auto& entry : ledSlots_) {
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

void SchemeStore::StoreTools(int profile, const SchemeTools& tools) {
  tools_[Clamp(profile)] = tools;
  data_.WriteSchemeTools(profile, Scheme(profile), tools);
}

void SchemeStore::StoreKeyLight(int profile, int slot, Colour colour, bool baseFlag) {
  if (slot < 0 || slot >= kLedSlotsPerImage) return;
  baseFlags_[Clamp(profile)][static_cast<size_t>(slot)] = baseFlag;
  data_.WriteKeyLight(profile, Scheme(profile), slot, KeyLight{colour, baseFlag ? 1 : 0});
}

void SchemeStore::StoreKeyLights(int profile, std::span<const int> slots, Colour colour, bool baseFlag) {
  std::vector<UserData::SlotLight> lights;
  for (int slot : slots) {
    if (slot < 0 || slot >= kLedSlotsPerImage) continue;
    baseFlags_[Clamp(profile)][static_cast<size_t>(slot)] = baseFlag;
    lights.push_back({slot, KeyLight{colour, baseFlag ? 1 : 0}});
  }
  data_.WriteKeyLights(profile, Scheme(profile), lights);
}

void SchemeStore::StoreSchemeIndex(int profile, int scheme) {
  if (scheme < 0 || scheme >= kSchemesPerProfile) return;
  schemes_[Clamp(profile)] = scheme;
  data_.WriteSchemeIndex(profile, scheme);
}

void SchemeStore::StoreSchemeName(int profile, int scheme, std::string_view name) {
  if (scheme < 0 || scheme >= kSchemesPerProfile) return;
  data_.WriteSchemeName(profile, scheme, name);
}

bool SchemeStore::BaseFlag(int profile, int slot) const {
  return slot >= 0 && slot < kLedSlotsPerImage && baseFlags_[Clamp(profile)][static_cast<size_t>(slot)];
}

}  // namespace keyloft
