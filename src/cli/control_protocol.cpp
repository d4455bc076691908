#include "cli/control_protocol.h"

#include "util/bytes.h"

namespace keyloft::cli {
namespace {

// A message under construction: the length is filled in by Finish.
class Writer {
 public:
  explicit Writer(ControlKind kind) : bytes_(4, 0) { U8(static_cast<uint8_t>(kind)); }
  Writer& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Writer& U16(uint16_t v) {
    bytes_.resize(bytes_.size() + 2);
    PutU16(bytes_, bytes_.size() - 2, v);
    return *this;
  }
  Writer& U32(uint32_t v) {
    bytes_.resize(bytes_.size() + 4);
    PutU32(bytes_, bytes_.size() - 4, v);
    return *this;
  }
  Writer& Raw(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  Writer& Str(std::string_view s) { return U32(static_cast<uint32_t>(s.size())).Raw(s); }
  std::vector<uint8_t> Finish() {
    PutU32(bytes_, 0, static_cast<uint32_t>(bytes_.size() - 4));
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads fields in order; any read past the end or over a limit makes it fail for good.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return at_ == b_.size(); }
  size_t Left() const { return b_.size() - at_; }
  uint8_t U8() { return Need(1) ? b_[at_++] : 0; }
  uint16_t U16() {
    if (!Need(2)) return 0;
    at_ += 2;
    return GetU16(b_, at_ - 2);
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    at_ += 4;
    return GetU32(b_, at_ - 4);
  }
  std::string Str(size_t limit) {
    const uint32_t n = U32();
    if (n > limit) ok_ = false;
    if (!ok_ || !Need(n)) return {};
    std::string s(reinterpret_cast<const char*>(b_.data() + at_), n);
    at_ += n;
    return s;
  }
  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(b_.data() + at_), b_.size() - at_);
    at_ = b_.size();
    return s;
  }

 private:
  bool Need(size_t n) {
    if (ok_ && Left() < n) ok_ = false;
    return ok_;
  }
  std::span<const uint8_t> b_;
  size_t at_ = 0;
  bool ok_ = true;
};

template <class T>
std::optional<T> Bad(std::string* error, std::string_view why) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

std::vector<uint8_t> EncodeRequest(const ControlRequest& request) {
  Writer w(ControlKind::Request);
  w.U16(request.version).U8(request.flags).Str(request.transport).Str(request.folder).U16(static_cast<uint16_t>(request.words.size()));
  for (const std::string& word : request.words) w.Str(word);
  return w.Finish();
}

std::vector<uint8_t> EncodeOutput(OutputStream stream, std::string_view bytes) {
  return Writer(ControlKind::Output).U8(static_cast<uint8_t>(stream)).Raw(bytes).Finish();
}

std::vector<uint8_t> EncodeExit(int32_t code) {
  return Writer(ControlKind::Exit).U32(static_cast<uint32_t>(code)).Finish();
}

std::vector<uint8_t> EncodeDecline(std::string_view reason) { return Writer(ControlKind::Decline).Str(reason).Finish(); }

std::vector<uint8_t> EncodeError(std::string_view message) { return Writer(ControlKind::Error).Str(message).Finish(); }

std::optional<ControlRequest> DecodeRequest(std::span<const uint8_t> body, std::string* error) {
  Reader r(body);
  if (r.U8() != static_cast<uint8_t>(ControlKind::Request)) return Bad<ControlRequest>(error, "not a request");
  ControlRequest request;
  request.version = r.U16();
  if (!r.Ok()) return Bad<ControlRequest>(error, "a request without its version");
  // Another version's fields are not ours to read: the version alone says enough.
  if (request.version != kControlProtocolVersion) return request;
  request.flags = r.U8();
  request.transport = r.Str(kMaxControlWordBytes);
  request.folder = r.Str(kMaxControlWordBytes);
  const uint16_t count = r.U16();
  if (!r.Ok()) return Bad<ControlRequest>(error, "a truncated request");
  if (count > kMaxControlWords) return Bad<ControlRequest>(error, "too many words in a request");
  for (uint16_t i = 0; i < count && r.Ok(); ++i) request.words.push_back(r.Str(kMaxControlWordBytes));
  if (!r.Ok()) return Bad<ControlRequest>(error, "a truncated or oversized word in a request");
  if (!r.AtEnd()) return Bad<ControlRequest>(error, "bytes left over after a request");
  return request;
}

std::optional<ControlReply> DecodeReply(std::span<const uint8_t> body, std::string* error) {
  Reader r(body);
  ControlReply reply;
  const uint8_t kind = r.U8();
  switch (kind) {
    case static_cast<uint8_t>(ControlKind::Output): {
      const uint8_t stream = r.U8();
      if (stream != 1 && stream != 2) return Bad<ControlReply>(error, "output to an unknown stream");
      reply.stream = static_cast<OutputStream>(stream);
      reply.text = r.Rest();
      break;
    }
    case static_cast<uint8_t>(ControlKind::Exit):
      reply.code = static_cast<int32_t>(r.U32());
      break;
    case static_cast<uint8_t>(ControlKind::Decline):
    case static_cast<uint8_t>(ControlKind::Error):
      reply.text = r.Str(kMaxControlMessage);
      break;
    default:
      return Bad<ControlReply>(error, "an unknown reply");
  }
  if (!r.Ok() || !r.AtEnd()) return Bad<ControlReply>(error, "a malformed reply");
  reply.kind = static_cast<ControlKind>(kind);
  return reply;
}

void MessageReader::Feed(std::span<const uint8_t> bytes) {
  // What was handed out goes before the buffer grows again.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

MessageReader::Status MessageReader::Next(std::vector<uint8_t>& body) {
  const std::span<const uint8_t> pending = std::span(buffer_).subspan(start_);
  if (pending.size() < 4) return Status::NeedMore;
  const uint32_t length = GetU32(pending, 0);
  if (length == 0 || length > kMaxControlMessage) return Status::Malformed;
  if (pending.size() - 4 < length) return Status::NeedMore;
  body.assign(pending.begin() + 4, pending.begin() + 4 + length);
  start_ += 4 + length;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return Status::Message;
}

}  // namespace keyloft::cli
