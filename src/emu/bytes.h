// Lowercase hex text over byte spans (and the little-endian helpers), for the virtual
// keyboard's reports, hello message, trace lines and state file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/bytes.h"

namespace keyloft::emu {

// "042f00..." for 04 2F 00 ...
std::string ToHex(std::span<const uint8_t> bytes);

// The bytes of an even-length run of lowercase hex digits; nothing for any other text.
std::optional<std::vector<uint8_t>> FromHex(std::string_view text);

}  // namespace keyloft::emu
