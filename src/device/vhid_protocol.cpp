#include "device/vhid_protocol.h"

#include <algorithm>

#include "util/bytes.h"

namespace keyloft {

std::vector<uint8_t> EncodeVhidHello(const VhidHello& hello) {
  std::vector<uint8_t> m(kVhidHelloHeader + hello.descriptor.size());
  std::copy(kVhidMagic.begin(), kVhidMagic.end(), m.begin());
  PutU16(m, 8, hello.vendorId);
  PutU16(m, 10, hello.productId);
  PutU16(m, 12, hello.versionNumber);
  PutU16(m, 14, hello.interfaceNumber);
  PutU16(m, 16, static_cast<uint16_t>(hello.descriptor.size()));
  std::copy(hello.descriptor.begin(), hello.descriptor.end(), m.begin() + kVhidHelloHeader);
  return m;
}

std::optional<VhidHello> DecodeVhidHello(std::span<const uint8_t> message) {
  if (message.size() < kVhidHelloHeader ||
      !std::equal(kVhidMagic.begin(), kVhidMagic.end(), message.begin())) {
    return std::nullopt;
  }
  VhidHello h;
  h.vendorId = GetU16(message, 8);
  h.productId = GetU16(message, 10);
  h.versionNumber = GetU16(message, 12);
  h.interfaceNumber = GetU16(message, 14);
  size_t length = GetU16(message, 16);
  if (message.size() != kVhidHelloHeader + length) return std::nullopt;
  h.descriptor.assign(message.begin() + kVhidHelloHeader, message.end());
  return h;
}

}  // namespace keyloft
