#include "device/command_protocol.h"

#include <algorithm>
#include <chrono>

#include "platform/precise_sleep.h"
#include "util/bytes.h"

namespace keyloft {
namespace {

// Replies left over from an earlier attempt, or read for another program while
// this one waited for its turn: at most the link's queue long (64 on hidraw, more
// on a socket), and a stale one of the same command would pass for the answer.
// The bound only stops a link that never runs dry.
constexpr int kMaxStaleReports = 4096;

bool IsKnownCommand(uint8_t c) {
  switch (c) {
    case CMD_BEGIN: case CMD_END: case CMD_READ_INFO: case CMD_WRITE_INFO: case CMD_READ_PARAMS:
    case CMD_WRITE_PARAMS: case CMD_READ_KEYMAP: case CMD_WRITE_KEYMAP: case CMD_READ_MACROS:
    case CMD_WRITE_MACROS: case CMD_READ_DEFAULT_KEYMAP: case CMD_WRITE_KEY_COLOURS:
      return true;
    default:
      return false;
  }
}

DevResult StatusResult(uint8_t status) {
  if (status == kStatusRefused) return DevResult::StatusFF;
  if (status == kStatusBadReport) return DevResult::StatusFE;
  return DevResult::Ok;
}

// The keyboard lock for one exchange, let go on every path unless a bracket
// or a hold keeps it.
class ExchangeGuard {
 public:
  explicit ExchangeGuard(DeviceContext& d) : exchange_(d.exchangeLock), device_(d), taken_(d.TakeKeyboard()) {}
  ~ExchangeGuard() { device_.ReleaseKeyboardIfDone(); }
  bool Taken() const { return taken_; }

 private:
  std::scoped_lock<std::mutex> exchange_;
  DeviceContext& device_;
  bool taken_;
};

}  // namespace

const char* DescribeDevResult(DevResult result) {
  switch (result) {
    case DevResult::Ok: return "done";
    case DevResult::NoReply: return "the keyboard did not answer";
    case DevResult::WriteFailed: return "the command could not be sent to the keyboard";
    case DevResult::StatusFF: return "the keyboard refused the command";
    case DevResult::StatusFE: return "the keyboard rejected the command as malformed";
    case DevResult::BadProfile: return "no such onboard profile";
    case DevResult::InUse: return "another program kept the keyboard busy too long; try again when it has finished";
  }
  return "the keyboard failed";
}

void CommandReport::SetHeader(uint8_t command, uint8_t length, uint16_t offset) {
  bytes[0] = kCommandReportId;
  bytes[3] = command;
  bytes[4] = length;
  PutU16(bytes, 5, offset);
  bytes[7] = 0;
}

uint16_t CommandChecksum(std::span<const uint8_t, kCommandReportBytes> report) {
  uint32_t sum = 0;
  for (size_t i = 3; i < kCommandReportBytes; ++i) sum += report[i];
  return static_cast<uint16_t>(sum);
}

void CommandReport::FillChecksum() { PutU16(bytes, 1, CommandChecksum(bytes)); }

bool CommandChannel::ReadAnswer(HidLink& link, uint8_t command, std::span<uint8_t, kCommandReportBytes> reply,
                                uint32_t* bytesRead) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCommandReadTimeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    std::optional<size_t> got;
    {
      std::scoped_lock lock(device_.commandLock);
      got = link.Read(reply, std::max(left, std::chrono::milliseconds(0)));
    }
    const bool answered = got.has_value();
    if (bytesRead) *bytesRead = answered ? static_cast<uint32_t>(*got) : 0;
    // Another program's reply can still be on its way to us when our turn
    // starts; one that names a different command is never ours.
    if (!answered || !IsKnownCommand(reply[3]) || reply[3] == command) return answered;
  }
}

DevResult CommandChannel::SendCommand(std::span<const uint8_t> frame, std::span<uint8_t, kCommandReportBytes> reply,
                                      uint32_t* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  // A keyboard already found silent in this sequence is not asked again.
  if (!device_.deviceConnected || device_.unanswered) return DevResult::NoReply;
  if (device_.keyboardInUse) return DevResult::InUse;
  std::array<uint8_t, kCommandReportBytes> report{};
  std::copy_n(frame.begin(), std::min(frame.size(), report.size()), report.begin());

  ExchangeGuard exchange(device_);
  if (!exchange.Taken()) {
    device_.keyboardInUse = true;
    return DevResult::InUse;
  }
  HidLink& link = device_.commandLink;
  for (int attempt = 0; attempt < kCommandAttempts; ++attempt) {
    // Whatever waits on the link now is no answer to what we are about to ask.
    for (int stale = 0; stale < kMaxStaleReports; ++stale) {
      std::scoped_lock lock(device_.commandLock);
      if (!link.Read(reply, std::chrono::milliseconds(0))) break;
    }
    bool written;
    {
      std::scoped_lock lock(device_.commandLock);
      written = link.Write(report, std::chrono::milliseconds(kCommandWriteTimeoutMs));
    }
    if (!written) {
      device_.unanswered = true;
      return DevResult::WriteFailed;
    }
    if (ReadAnswer(link, report[3], reply, bytesRead)) return DevResult::Ok;
  }
  device_.unanswered = true;
  return DevResult::NoReply;
}

DevResult CommandChannel::Exchange(CommandReport& report, CommandReport* reply) {
  report.FillChecksum();
  CommandReport answer;
  DevResult result = SendCommand(report.bytes, answer.bytes);
  if (result != DevResult::Ok) return result;
  result = StatusResult(answer.status());
  if (result == DevResult::Ok && reply) *reply = answer;
  return result;
}

DevResult CommandChannel::DevBegin() {
  if (device_.deviceConnected) {
    // From here to the end, the keyboard is this program's alone.
    std::scoped_lock lock(device_.exchangeLock);
    if (device_.keyboardInUse || !device_.TakeKeyboard()) {
      device_.keyboardInUse = true;
      return DevResult::InUse;
    }
    ++device_.bracketsOpen;
  }
  CommandReport r;
  r.SetHeader(CMD_BEGIN, 0, 0);
  return Exchange(r, nullptr);
}

DevResult CommandChannel::DevEnd() {
  // The keyboard needs a moment after the last data command of a bracket.
  SleepPrecisely(std::chrono::milliseconds(kEndDelayMs));
  CommandReport r;
  r.SetHeader(CMD_END, 0, 0);
  const DevResult result = Exchange(r, nullptr);
  std::scoped_lock lock(device_.exchangeLock);
  if (device_.bracketsOpen > 0) --device_.bracketsOpen;
  device_.ReleaseKeyboardIfDone();
  return result;
}

DevResult CommandChannel::DevReadInfo(std::span<uint8_t, kInfoBlockBytes> dst) {
  CommandReport r, reply;
  r.SetHeader(CMD_READ_INFO, kInfoBlockBytes, 0);
  DevResult result = Exchange(r, &reply);
  if (result == DevResult::Ok) std::copy_n(reply.payload().begin(), kInfoBlockBytes, dst.begin());
  return result;
}

DevResult CommandChannel::DevWriteInfo(std::span<const uint8_t, kInfoBlockBytes> src) {
  CommandReport r;
  r.SetHeader(CMD_WRITE_INFO, kInfoBlockBytes, 0);
  std::copy(src.begin(), src.end(), r.payload().begin());
  return Exchange(r, nullptr);
}

DevResult CommandChannel::DevReadParams(std::span<uint8_t, kCommandPayloadBytes> dst, uint8_t length, uint16_t offset) {
  CommandReport r, reply;
  r.SetHeader(CMD_READ_PARAMS, length, offset);
  DevResult result = Exchange(r, &reply);
  if (result == DevResult::Ok) std::copy(reply.payload().begin(), reply.payload().end(), dst.begin());
  return result;
}

DevResult CommandChannel::DevWriteParams(std::span<const uint8_t> src, uint16_t offset) {
  if (src.size() > kCommandPayloadBytes) return DevResult::WriteFailed;  // would not fit one report: nothing sent
  CommandReport r;
  r.SetHeader(CMD_WRITE_PARAMS, static_cast<uint8_t>(src.size()), offset);
  std::copy(src.begin(), src.end(), r.payload().begin());
  return Exchange(r, nullptr);
}

DevResult CommandChannel::DevWriteKeyColours(std::span<const uint8_t> src, int firstSlot, int lightingProfile) {
  if (src.size() > kCommandPayloadBytes) return DevResult::WriteFailed;
  CommandReport r;
  r.SetHeader(CMD_WRITE_KEY_COLOURS, static_cast<uint8_t>(src.size()),
              static_cast<uint16_t>(lightingProfile * 512 + firstSlot * 3));
  std::copy(src.begin(), src.end(), r.payload().begin());
  return Exchange(r, nullptr);
}

DevResult CommandChannel::ReadChunked(uint8_t command, std::span<uint8_t> dst, uint32_t base) {
  CommandReport reply;
  for (size_t k = 0; k < dst.size(); k += kCommandPayloadBytes) {
    size_t n = std::min(kCommandPayloadBytes, dst.size() - k);
    CommandReport r;
    r.SetHeader(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + k));
    DevResult result = Exchange(r, &reply);
    if (result != DevResult::Ok) return result;  // chunks already read stay in dst
    std::copy_n(reply.payload().begin(), n, dst.begin() + static_cast<std::ptrdiff_t>(k));
  }
  return DevResult::Ok;
}

DevResult CommandChannel::WriteChunked(uint8_t command, std::span<const uint8_t> src, uint32_t base) {
  // One report for every chunk: payload bytes past a short chunk keep what the
  // previous chunk left there, as the keyboard has always seen it.
  CommandReport r;
  for (size_t k = 0; k < src.size(); k += kCommandPayloadBytes) {
    size_t n = std::min(kCommandPayloadBytes, src.size() - k);
    r.SetHeader(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + k));
    std::copy_n(src.begin() + static_cast<std::ptrdiff_t>(k), n, r.payload().begin());
    DevResult result = Exchange(r, nullptr);
    if (result != DevResult::Ok) return result;
  }
  return DevResult::Ok;
}

DevResult CommandChannel::DevReadKeyMap(std::span<uint8_t> dst, int profile) {
  if (profile < 0 || profile > 2) return DevResult::BadProfile;
  size_t total = std::min<size_t>(device_.keyMapBytes, dst.size());
  return ReadChunked(CMD_READ_KEYMAP, dst.first(total), static_cast<uint32_t>(profile) * device_.keyMapStride);
}

DevResult CommandChannel::DevWriteKeyMap(std::span<const uint8_t> src, int profile) {
  if (profile < 0 || profile > 2) return DevResult::BadProfile;
  size_t total = std::min<size_t>(device_.keyMapBytes, src.size());
  return WriteChunked(CMD_WRITE_KEYMAP, src.first(total), static_cast<uint32_t>(profile) * device_.keyMapStride);
}

DevResult CommandChannel::DevReadMacros(std::span<uint8_t> dst) { return ReadChunked(CMD_READ_MACROS, dst, 0); }

DevResult CommandChannel::DevWriteMacros(std::span<const uint8_t> src) { return WriteChunked(CMD_WRITE_MACROS, src, 0); }

DevResult CommandChannel::DevReadDefaultKeyMap(std::span<uint8_t> dst) {
  size_t total = std::min<size_t>(device_.keyMapBytes, dst.size());
  return ReadChunked(CMD_READ_DEFAULT_KEYMAP, dst.first(total), 0);
}

}  // namespace keyloft
