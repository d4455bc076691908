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

// What one command came to. Every routine returns one, and the compiler makes
// its callers look at it.
enum class [[nodiscard]] DevResult : int {
  Ok = 1,
  NoReply = 0,       // no answer after every attempt, or no keyboard connected (nothing sent)
  WriteFailed = -1,  // the report could not be written
  StatusFF = -102,   // the keyboard refused the command
  StatusFE = -103,   // the keyboard found the report malformed
  BadProfile = -201, // a key-map profile outside 0..2 (nothing sent)
  InUse = -301,      // another program kept the keyboard past the wait (nothing sent)
};

// A short phrase for messages: "the keyboard did not answer", ...
const char* DescribeDevResult(DevResult result);

// The first failure of a series of writes: a series is good only if every write was.
class DevResults {
 public:
  void Add(DevResult result) {
    if (first_ == DevResult::Ok) first_ = result;
  }
  DevResult First() const { return first_; }
  bool Ok() const { return first_ == DevResult::Ok; }

 private:
  DevResult first_ = DevResult::Ok;
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
  // one reply: Ok when a reply arrived, NoReply, or WriteFailed. A command left
  // unanswered after its retries marks the keyboard silent (DeviceContext), and
  // until a sequence starts afresh nothing more is sent: each further command
  // returns NoReply at once instead of waiting out its own retries. The same
  // for InUse: another program's turn is waited out once per sequence.
  DevResult SendCommand(std::span<const uint8_t> frame, std::span<uint8_t, kCommandReportBytes> reply,
                  uint32_t* bytesRead = nullptr);

  DevResult DevBegin();
  DevResult DevEnd();  // written no sooner than 10 ms after the call
  DevResult DevReadInfo(std::span<uint8_t, kInfoBlockBytes> dst);
  DevResult DevWriteInfo(std::span<const uint8_t, kInfoBlockBytes> src);
  // Copies all 56 reply payload bytes to dst, whatever the length.
  DevResult DevReadParams(std::span<uint8_t, kCommandPayloadBytes> dst, uint8_t length, uint16_t offset);
  DevResult DevWriteParams(std::span<const uint8_t> src, uint16_t offset);  // at most 56 bytes
  // Chunked, keyMapBytes long, at profile × keyMapStride; profile 0..2.
  DevResult DevReadKeyMap(std::span<uint8_t> dst, int profile);
  DevResult DevWriteKeyMap(std::span<const uint8_t> src, int profile);
  // Chunked from offset 0, dst.size() / src.size() bytes.
  DevResult DevReadMacros(std::span<uint8_t> dst);
  DevResult DevWriteMacros(std::span<const uint8_t> src);
  DevResult DevReadDefaultKeyMap(std::span<uint8_t> dst);
  // At lightingProfile × 512 + firstSlot × 3; at most 56 bytes.
  DevResult DevWriteKeyColours(std::span<const uint8_t> src, int firstSlot, int lightingProfile);

 private:
  // The reply to the command just written, within the read limit.
  bool ReadAnswer(HidLink& link, uint8_t command, std::span<uint8_t, kCommandReportBytes> reply, uint32_t* bytesRead);
  // One command report with a payload, its reply checked for the status.
  DevResult Exchange(CommandReport& report, CommandReport* reply);
  DevResult ReadChunked(uint8_t command, std::span<uint8_t> dst, uint32_t base);
  DevResult WriteChunked(uint8_t command, std::span<const uint8_t> src, uint32_t base);

  DeviceContext& device_;
};

}  // namespace keyloft
