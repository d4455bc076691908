// The virtual keyboard against anything a host may send or a state file may
// hold: commands of any length and content never crash it, every reply is a
// whole report with a valid checksum, and a state file it accepts writes back
// the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/command_protocol.h"
#include "emu/firmware.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  using keyloft::emu::Firmware;
  const bool asJson = data[0] & 1;
  const int model = (data[0] & 2) ? 2 : 1;
  std::span<const uint8_t> rest(data + 1, size - 1);

  if (asJson) {
    std::string error;
    auto firmware = Firmware::FromJson(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()),
                                       std::nullopt, std::nullopt, error);
    if (firmware) {
      std::string again = firmware->ToJson();
      auto reloaded = Firmware::FromJson(again, std::nullopt, std::nullopt, error);
      Check(reloaded && reloaded->ToJson() == again);
    }
    return 0;
  }

  // A run of commands, each a length byte then that many bytes.
  Firmware firmware(*keyloft::emu::FindModel(model), 1 + (data[0] >> 2));
  while (!rest.empty()) {
    size_t n = std::min<size_t>(rest[0], rest.size() - 1);
    auto reply = firmware.HandleCommand(rest.subspan(1, n));
    Check(reply.report[0] == keyloft::kCommandReportId);
    Check(keyloft::CommandChecksum(reply.report) == (reply.report[1] | reply.report[2] << 8));
    rest = rest.subspan(1 + n);
  }
  return 0;
}
