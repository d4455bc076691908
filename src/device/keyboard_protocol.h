// What travels between the keyboard and the host, shared by the program and
// the virtual keyboard: the command report's layout and command numbers, and
// the consumer usages of the keyboard's own events.
#pragma once

#include <cstddef>
#include <cstdint>

namespace keyloft {

// A command report and its reply: report id, checksum (2), command, length,
// offset (2), status, then the payload.
inline constexpr size_t kCommandReportBytes = 64;
inline constexpr size_t kCommandHeaderBytes = 8;
inline constexpr size_t kCommandPayloadBytes = kCommandReportBytes - kCommandHeaderBytes;  // 56
inline constexpr uint8_t kCommandReportId = 4;

enum Command : uint8_t {
  CMD_BEGIN = 0x01,
  CMD_END = 0x02,
  CMD_READ_INFO = 0x03,
  CMD_WRITE_INFO = 0x04,
  CMD_READ_PARAMS = 0x05,
  CMD_WRITE_PARAMS = 0x06,
  CMD_READ_KEYMAP = 0x07,
  CMD_WRITE_KEYMAP = 0x08,
  CMD_READ_MACROS = 0x09,
  CMD_WRITE_MACROS = 0x0A,
  CMD_READ_DEFAULT_KEYMAP = 0x0F,
  CMD_WRITE_KEY_COLOURS = 0x11,
};

// Reply status bytes: anything else is acceptance.
inline constexpr uint8_t kStatusBadReport = 0xFE;  // checksum, size or length
inline constexpr uint8_t kStatusRefused = 0xFF;    // command, address or bracket

// Consumer usages the keyboard reports for things done on the keyboard itself;
// each is followed by a release (no usage).
inline constexpr uint16_t kUsageLightingChanged = 0x0401;
inline constexpr uint16_t kUsageProfileChanged = 0x0402;
inline constexpr uint16_t kUsageMacroStopped = 0x1810;
inline constexpr uint16_t kUsageMacroStarted = 0x1811;

}  // namespace keyloft
