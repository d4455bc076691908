// The per-key colour schemes as the lighting model uses them: the ten names of
// a profile, its selected scheme loaded into the colour mirror with the
// scheme's tools and every key's base flag, and the reset from the template.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/keyboard_model.h"
#include "model/lighting.h"
#include "store/user_data.h"

namespace keyloft {

struct SlotPaint {
  int slot;
  Colour colour;
};

// Where the ten colour schemes of each profile live (the per-user lighting
// files). The lighting controller calls it only when the keyboard supports
// effect 20.
class UserLightingStore {
 public:
  virtual ~UserLightingStore() = default;

  // The ten scheme names of a profile, in order.
  virtual std::vector<std::string> SchemeNames(int profile) = 0;
  // The profile's selected scheme into its image of the mirror (and the
  // editor's tool, colours and base flags). The controller uploads afterwards.
  virtual void LoadCurrentScheme(int profile, KeyColourMirror& mirror) = 0;
  // The template copied over the profile's lighting file.
  virtual void ResetSchemesFromTemplate(int profile) = 0;
  // Every key's base flag, for all three profiles, from the mirror.
  virtual void RecomputeBaseFlags(const KeyColourMirror& mirror) = 0;
  // Makes scheme (0..9) the profile's current one, when given, and paints
  // slots of the current scheme; a key painted the base colour follows it.
  // Returns the scheme painted.
  virtual int PaintSlots(int profile, std::optional<int> scheme, std::span<const SlotPaint> paints) = 0;
};

class SchemeStore : public UserLightingStore {
 public:
  // ledSlots: the keyboard model's LED table.
  SchemeStore(UserData& data, std::span<const LedSlotEntry> ledSlots) : data_(data), ledSlots_(ledSlots) {}

  std::vector<std::string> SchemeNames(int profile) override;
  void LoadCurrentScheme(int profile, KeyColourMirror& mirror) override;
  void ResetSchemesFromTemplate(int profile) override;
  void RecomputeBaseFlags(const KeyColourMirror& mirror) override;
  int PaintSlots(int profile, std::optional<int> scheme, std::span<const SlotPaint> paints) override;

  // The loaded scheme's tools, and whether a key (by LED slot) follows the
  // base colour, per profile.
  const SchemeTools& Tools(int profile) const { return tools_[Clamp(profile)]; }
  bool BaseFlag(int profile, int slot) const;
  // The profile's selected scheme as last loaded.
  int Scheme(int profile) const { return schemes_[Clamp(profile)]; }

  // The editor's changes to the loaded scheme, stored at once.
  void StoreTools(int profile, const SchemeTools& tools);
  // One key's colour and base flag.
  void StoreKeyLight(int profile, int slot, Colour colour, bool baseFlag);
  // Many slots in one colour, in one write of the file.
  void StoreKeyLights(int profile, std::span<const int> slots, Colour colour, bool baseFlag);
  // Selects scheme 0..9 for the next load.
  void StoreSchemeIndex(int profile, int scheme);
  void StoreSchemeName(int profile, int scheme, std::string_view name);

 private:
  static size_t Clamp(int profile) { return profile >= 0 && profile < 3 ? static_cast<size_t>(profile) : 0; }

  UserData& data_;
  std::span<const LedSlotEntry> ledSlots_;
  std::array<SchemeTools, 3> tools_{};
  std::array<int, 3> schemes_{};
  std::array<std::array<bool, kLedSlotsPerImage>, 3> baseFlags_{};
};

}  // namespace keyloft
