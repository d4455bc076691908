// What reaches the running program's control socket: the reader cuts any byte
// stream into bodies within the limit, decoding never reads out of bounds, and
// a request that decodes encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cli/control_protocol.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace keyloft::cli;
  const std::span<const uint8_t> bytes(data, size);
  if (const auto request = DecodeRequest(bytes); request && request->version == kControlProtocolVersion) {
    Check(request->words.size() <= kMaxControlWords);
    const std::vector<uint8_t> again = EncodeRequest(*request);
    Check(again.size() == size + 4 && std::equal(again.begin() + 4, again.end(), bytes.begin()));
  }
  [[maybe_unused]] auto reply = DecodeReply(bytes);

  // The same bytes as a stream, fed in pieces as recv hands them over.
  MessageReader reader;
  std::vector<uint8_t> body;
  const size_t piece = size > 0 ? data[0] % 17 + 1 : 1;
  for (size_t at = 0; at < size; at += piece) {
    reader.Feed(bytes.subspan(at, std::min(piece, size - at)));
    MessageReader::Status status;
    while ((status = reader.Next(body)) == MessageReader::Status::Message) {
      Check(!body.empty() && body.size() <= kMaxControlMessage);
      [[maybe_unused]] auto r = DecodeRequest(body);
      [[maybe_unused]] auto p = DecodeReply(body);
    }
    if (status == MessageReader::Status::Malformed) break;
  }
  return 0;
}
