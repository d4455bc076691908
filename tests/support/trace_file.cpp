#include "trace_file.h"

#include <fstream>
#include <string>
#include <string_view>

namespace keyloft::test {
namespace {

constexpr uint8_t kCommandReportId = 4;
constexpr size_t kCommandNumberAt = 3;

std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

}  // namespace

std::vector<TracedReport> TraceFile::Reports() const {
  std::vector<TracedReport> reports;
  std::ifstream in(file_);
  size_t seen = 0;
  for (std::string line; std::getline(in, line);) {
    if (seen++ < mark_) continue;
    const bool out = line.starts_with("out ");
    if (!out && !line.starts_with("in ")) continue;
    reports.push_back({out, FromHex(std::string_view(line).substr(out ? 4 : 3))});
  }
  return reports;
}

std::vector<std::vector<uint8_t>> TraceFile::Commands() const {
  std::vector<std::vector<uint8_t>> commands;
  for (auto& r : Reports()) {
    if (r.out && !r.bytes.empty() && r.bytes[0] == kCommandReportId) commands.push_back(std::move(r.bytes));
  }
  return commands;
}

std::vector<uint8_t> TraceFile::CommandNumbers() const {
  std::vector<uint8_t> numbers;
  for (const auto& c : Commands()) {
    if (c.size() > kCommandNumberAt) numbers.push_back(c[kCommandNumberAt]);
  }
  return numbers;
}

void TraceFile::Clear() {
  std::ifstream in(file_);
  mark_ = 0;
  for (std::string line; std::getline(in, line);) ++mark_;
}

}  // namespace keyloft::test
