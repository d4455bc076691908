// What keyloftctl and the running keyloft say to each other on the control
// socket: length-prefixed messages, a version in the first one, a limit on
// every size. A message is a u32 length (of what follows), a kind byte, and
// the kind's fields:
//
//   Request  (client, first)  u16 version, u8 flags, str transport, str folder, u16 n, n × str word
//   Output   (server)         u8 stream (1 stdout, 2 stderr), bytes to the end
//   Exit     (server, last)   i32 code
//   Decline  (server, last)   str reason: serve this command yourself
//   Error    (server, last)   str message: the program refused the request
//
// str is a u32 byte count and that many bytes. All numbers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace keyloft::cli {

inline constexpr uint16_t kControlProtocolVersion = 1;
inline constexpr char kControlSocketName[] = "keyloftctl.socket";
// A request of this one word is answered with what the program serves (doctor).
inline constexpr char kProbeWord[] = "--probe";

// Limits: nothing a command line or its output needs comes near them.
inline constexpr size_t kMaxControlMessage = 1 << 20;
inline constexpr size_t kMaxControlWords = 4096;
inline constexpr size_t kMaxControlWordBytes = 64 * 1024;

enum class ControlKind : uint8_t { Request = 1, Output = 2, Exit = 3, Decline = 4, Error = 5 };

enum ControlFlags : uint8_t { kFlagJson = 1, kFlagYes = 2, kFlagVerify = 4, kFlagVerbose = 8 };

struct ControlRequest {
  uint16_t version = kControlProtocolVersion;
  uint8_t flags = 0;
  std::string transport;            // TransportKey of the keyboard the command is for
  std::string folder;               // the client's working folder, for relative file names
  std::vector<std::string> words;   // the command and its arguments
};

enum class OutputStream : uint8_t { Out = 1, Err = 2 };

// One message from the server.
struct ControlReply {
  ControlKind kind = ControlKind::Exit;
  OutputStream stream = OutputStream::Out;  // Output
  std::string text;                         // Output's bytes, Decline's reason, Error's message
  int32_t code = 0;                         // Exit
};

// Whole messages, length prefix included.
std::vector<uint8_t> EncodeRequest(const ControlRequest& request);
std::vector<uint8_t> EncodeOutput(OutputStream stream, std::string_view bytes);
std::vector<uint8_t> EncodeExit(int32_t code);
std::vector<uint8_t> EncodeDecline(std::string_view reason);
std::vector<uint8_t> EncodeError(std::string_view message);

// A message's body (what follows the length). A request with another version
// decodes with that version and no further fields, so the server can say so.
// nullopt, with why in *error, for anything malformed.
std::optional<ControlRequest> DecodeRequest(std::span<const uint8_t> body, std::string* error = nullptr);
std::optional<ControlReply> DecodeReply(std::span<const uint8_t> body, std::string* error = nullptr);

// Cuts a byte stream into message bodies.
class MessageReader {
 public:
  enum class Status { Message, NeedMore, Malformed };
  void Feed(std::span<const uint8_t> bytes);
  // The next whole message's body into body; Malformed for an empty one or one over the limit
  // (the stream cannot be trusted after it).
  Status Next(std::vector<uint8_t>& body);

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
};

}  // namespace keyloft::cli
