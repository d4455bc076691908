// Macro images from the keyboard: decoding and the damage check never read out
// of bounds, decoding keeps the list's limits, and what it gives survives a
// rebuild unchanged.
#include <cstdint>
#include <cstdlib>

#include "model/macros.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace keyloft;
  MacroList list = DecodeMacroImage(std::span(data, size), u"Macro ");
  Check(list.size() <= kMaxMacros);
  for (const auto& m : list) {
    Check(m.steps.size() <= kMaxMacroSteps && m.name.size() <= kMaxMacroNameChars && m.id >= 1 && m.id <= kMaxMacros);
  }
  // A decoded list is a valid one: building and decoding it again changes nothing
  // but the identifiers, which follow the positions.
  auto image = BuildMacroImage(list, true);
  if (image.empty()) return 0;  // too large for one image
  // An image that holds together gives a list whose own image holds together too.
  if (MacroImageDamage(std::span(data, size)).empty()) Check(MacroImageDamage(image).empty());
  MacroList again = DecodeMacroImage(image, u"Macro ");
  Check(again.size() == list.size());
  for (size_t i = 0; i < list.size(); ++i) Check(again[i].steps == list[i].steps && again[i].cycles == list[i].cycles);
  return 0;
}
