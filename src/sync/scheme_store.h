// The per-key colour schemes as the lighting model uses them: the ten names of
// a profile, its selected scheme loaded into the colour mirror with the
// scheme's tools and every key's base flag, and the reset from the template.
#pragma once

#include <array>

#include "model/lighting.h"
#include "store/user_data.h"

namespace keyloft {

class SchemeStore : public UserLightingStore {
 public:
  explicit SchemeStore(UserData& data) : data_(data) {}

  std::vector<std::string> SchemeNames(int profile) override;
  void LoadCurrentScheme(int profile, KeyColourMirror& mirror) override;
  void ResetSchemesFromTemplate(int profile) override;
  void RecomputeBaseFlags(const KeyColourMirror& mirror) override;

  // The loaded scheme's tools, and whether a key (by LED slot) follows the
  // base colour, per profile.
  const SchemeTools& Tools(int profile) const { return tools_[Clamp(profile)]; }
  bool BaseFlag(int profile, int slot) const;

 private:
  static size_t Clamp(int profile) { return profile >= 0 && profile < 3 ? static_cast<size_t>(profile) : 0; }

  UserData& data_;
  std::array<SchemeTools, 3> tools_{};
  std::array<std::array<bool, kLedSlotsPerImage>, 3> baseFlags_{};
};

}  // namespace keyloft
