// Key-map images from the keyboard, against the built-in and an arbitrary
// default image: decoding and encoding stay inside both images, and encoding
// gives an image of the default's length.
#include <cstdint>
#include <cstdlib>

#include "model/default_key_map.h"
#include "model/key_assignments.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace keyloft;
  if (size < 1) return 0;
  // The first byte picks the default image: the built-in one, or bytes of the input.
  std::span<const uint8_t> rest(data + 1, size - 1);
  std::span<const uint8_t> defaults = BuiltInDefaultKeyMap();
  std::span<const uint8_t> image = rest;
  if (data[0] & 1) {
    size_t split = rest.size() / 2;
    defaults = rest.first(split);
    image = rest.subspan(split);
  }
  RecordArray records;
  DecodeKeyMapImage(image, defaults, records);
  MacroList macros;
  auto encoded = EncodeKeyMapImage(records, defaults, macros);
  Check(encoded.size() == defaults.size());
  for (const auto& r : records) Check(r.type <= kAssignFunction);
  return 0;
}
