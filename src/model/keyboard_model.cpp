#include "model/keyboard_model.h"

#include "model/default_key_map.h"

namespace keyloft {

std::span<const KeyboardModel> KeyboardModels() {
  static const KeyboardModel kModels[] = {
      {"Vantor Orvo Full-Size Keyboard", 0x0C45, 0x652F, 378, 378, kFullSizeKeys, kFullSizeLedSlots,
       BuiltInDefaultKeyMap()},
      {"Vantor Orvo Full-Size Keyboard (second model)", 0x320F, 0x5064, 384, 512, kFullSizeKeys, kFullSizeLedSlots,
       BuiltInDefaultKeyMap()},
  };
  return kModels;
}

const KeyboardModel* FindKeyboardModel(uint16_t vendorId, uint16_t productId) {
  for (const KeyboardModel& m : KeyboardModels()) {
    if (m.vendorId == vendorId && m.productId == productId) return &m;
  }
  return nullptr;
}

const KeyboardModel& DefaultKeyboardModel() { return KeyboardModels().front(); }

std::vector<KeyCode> AssignableKeys(const KeyboardModel& model) {
  std::vector<KeyCode> keys(model.keys.begin(), model.keys.end());
  for (int g = 0; g < kGKeysShown; ++g) keys.push_back(static_cast<KeyCode>(kFirstGKey + g));
  return keys;
}

}  // namespace keyloft
