// The virtual keyboard's trace (--trace FILE): one line per report, "out " or
// "in " and its bytes in hex. A mark taken before an action leaves out what
// came earlier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace keyloft::test {

struct TracedReport {
  bool out = false;  // host to keyboard
  std::vector<uint8_t> bytes;
};

class TraceFile {
 public:
  explicit TraceFile(std::filesystem::path file) : file_(std::move(file)) {}

  const std::filesystem::path& Path() const { return file_; }
  // Every report since the last Clear, in order.
  std::vector<TracedReport> Reports() const;
  // Only the command reports the host wrote.
  std::vector<std::vector<uint8_t>> Commands() const;
  // The command numbers among them.
  std::vector<uint8_t> CommandNumbers() const;
  void Clear();

 private:
  std::filesystem::path file_;
  size_t mark_ = 0;  // lines before the last Clear
};

}  // namespace keyloft::test
