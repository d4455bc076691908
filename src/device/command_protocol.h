// Command reports on the keyboard's vendor interface: one 64-byte report out,
// one back, with the checksum, the retries, the time limits and one routine
// per command, chunking areas larger than one report.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "device/device_context.h"
#include "device/keyboard_protocol.h"

namespace keyloft {

enum DevResult : int {
  DEV_OK = 1,
  DEV_NO_REPLY = 0,
  DEV_WRITE_FAILED = -1,
  DEV_STATUS_FF = -102,
  DEV_STATUS_FE = -103,
  DEV_BAD_PROFILE = -201,
};


inline constexpr uint32_t kCommandWriteTimeoutMs = 1000;
inline constexpr uint32_t kCommandReadTimeoutMs = 300;
inline constexpr int kCommandAttempts = 4;
inline constexpr int kEndDelayMs = 10;

// The 64-byte report, the same layout out and back: id, checksum (2), command,
// length, offset (2), status, 56 payload bytes.
struct CommandReport {
  std::array<uint8_t, kCommandReportBytes> bytes{};

  uint8_t command() const { return bytes[3]; }
  uint8_t length() const { return bytes[4]; }
  uint16_t offset() const { return static_cast<uint16_t>(bytes[5] | bytes[6] << 8); }
  uint8_t status() const { return bytes[7]; }
  std::span<uint8_t, kCommandPayloadBytes> payload() { return std::span(bytes).subspan<8, kCommandPayloadBytes>(); }
  std::span<const uint8_t, kCommandPayloadBytes> payload() const {
    return std::span(bytes).subspan<8, kCommandPayloadBytes>();
  }

  // Fills the header (id 4, command, length, offset, status 0).
  void SetHeader(uint8_t command, uint8_t length, uint16_t offset);
  // The 16-bit sum of bytes 3..63 into bytes 1 (low) and 2 (high); last.
  void FillChecksum();
};

uint16_t CommandChecksum(std::span<const uint8_t, kCommandReportBytes> report);

// The routines run on any thread; each transfer holds device.commandLock.
class CommandChannel {
 public:
  explicit CommandChannel(DeviceContext& device) : device_(device) {}

  // Sends the first min(frame.size(), 64) bytes (zero-filled to 64) and reads
  // one reply: DEV_OK when a reply arrived, DEV_NO_REPLY, or DEV_WRITE_FAILED.
  int SendCommand(std::span<const uint8_t> frame, std::span<uint8_t, kCommandReportBytes> reply,
                  uint32_t* bytesRead = nullptr);

  int DevBegin();
  int DevEnd();  // written no sooner than 10 ms after the call
  int DevReadInfo(std::span<uint8_t, kInfoBlockBytes> dst);
  int DevWriteInfo(std::span<const uint8_t, kInfoBlockBytes> src);
  // Copies all 56 reply payload bytes to dst, whatever the length.
  int DevReadParams(std::span<uint8_t, kCommandPayloadBytes> dst, uint8_t length, uint16_t offset);
  int DevWriteParams(std::span<const uint8_t> src, uint16_t offset);  // at most 56 bytes
  // Chunked, keyMapBytes long, at profile × keyMapStride; profile 0..2.
  int DevReadKeyMap(std::span<uint8_t> dst, int profile);
  int DevWriteKeyMap(std::span<const uint8_t> src, int profile);
  // Chunked from offset 0, dst.size() / src.size() bytes.
  int DevReadMacros(std::span<uint8_t> dst);
  int DevWriteMacros(std::span<const uint8_t> src);
  int DevReadDefaultKeyMap(std::span<uint8_t> dst);
  // At lightingProfile × 512 + firstSlot × 3; at most 56 bytes.
  int DevWriteKeyColours(std::span<const uint8_t> src, int firstSlot, int lightingProfile);

 private:
  // The reply to the command just written, within the read limit.
  bool ReadAnswer(HidLink& link, uint8_t command, std::span<uint8_t, kCommandReportBytes> reply, uint32_t* bytesRead);
  // One command report with a payload, its reply checked for the status.
  int Exchange(CommandReport& report, CommandReport* reply);
  int ReadChunked(uint8_t command, std::span<uint8_t> dst, uint32_t base);
  int WriteChunked(uint8_t command, std::span<const uint8_t> src, uint32_t base);

  DeviceContext& device_;
};

}  // namespace keyloft
