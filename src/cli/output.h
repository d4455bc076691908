// Where a command's output goes: stdout and stderr when keyloftctl runs it,
// the client's socket when the running keyloft runs it for keyloftctl. The
// choice belongs to the thread that runs the command, so the program can run
// several at once.
#pragma once

#include <ostream>

namespace keyloft::cli {

// The current thread's streams: std::cout and std::cerr unless an OutputScope says otherwise.
std::ostream& Out();
std::ostream& Err();

// For its lifetime, this thread's Out and Err are out and err.
class OutputScope {
 public:
  OutputScope(std::ostream& out, std::ostream& err);
  ~OutputScope();
  OutputScope(const OutputScope&) = delete;
  OutputScope& operator=(const OutputScope&) = delete;

 private:
  std::ostream* previousOut_;
  std::ostream* previousErr_;
};

}  // namespace keyloft::cli
