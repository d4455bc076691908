// The virtual HID transport's hello: the first message a device sends on each
// new connection. Bytes 0..7 "KLVHID01", then little-endian u16 vendor id (8),
// product id (10), version number (12), interface number (14), report
// descriptor length N (16), then the N descriptor bytes (18..). After it every
// message is one report, report id in byte 0 when the descriptor uses ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace keyloft {

inline constexpr std::string_view kVhidMagic = "KLVHID01";
inline constexpr size_t kVhidHelloHeader = 18;
inline constexpr size_t kVhidMaxMessage = 4096 + kVhidHelloHeader;  // the longest descriptor or report

struct VhidHello {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
  uint16_t interfaceNumber = 0;
  std::vector<uint8_t> descriptor;
};

std::vector<uint8_t> EncodeVhidHello(const VhidHello& hello);
// Nothing when the message is not a whole, well-formed hello.
std::optional<VhidHello> DecodeVhidHello(std::span<const uint8_t> message);

}  // namespace keyloft
