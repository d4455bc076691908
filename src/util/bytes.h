// Little-endian fields over byte spans, for every layout that reaches the
// keyboard or a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace keyloft {

inline void PutU16(std::span<uint8_t> b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline uint16_t GetU16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

inline void PutU32(std::span<uint8_t> b, size_t at, uint32_t v) {
  PutU16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

inline uint32_t GetU32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(GetU16(b, at)) | static_cast<uint32_t>(GetU16(b, at + 2)) << 16;
}

}  // namespace keyloft
