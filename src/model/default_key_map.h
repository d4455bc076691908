// The keyboard's factory key map as the program knows it before it has read the
// keyboard's own: 126 slots of three bytes (a device key item each). The
// second model's key map is 384 bytes; its last six bytes are zero here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace keyloft {

inline constexpr size_t kKeyMapSlots = 126;
inline constexpr size_t kKeyMapSlotBytes = 3;
inline constexpr size_t kManagedKeyMapBytes = kKeyMapSlots * kKeyMapSlotBytes;  // 378
inline constexpr size_t kLargestKeyMapBytes = 384;

// 384 bytes: the 126 slots, then the second model's six further bytes.
const std::array<uint8_t, kLargestKeyMapBytes>& BuiltInDefaultKeyMap();

}  // namespace keyloft
