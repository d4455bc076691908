#include "cli/output.h"

#include <iostream>

namespace keyloft::cli {
namespace {

thread_local std::ostream* currentOut = nullptr;
thread_local std::ostream* currentErr = nullptr;

}  // namespace

std::ostream& Out() { return currentOut ? *currentOut : std::cout; }
std::ostream& Err() { return currentErr ? *currentErr : std::cerr; }

OutputScope::OutputScope(std::ostream& out, std::ostream& err) : previousOut_(currentOut), previousErr_(currentErr) {
  currentOut = &out;
  currentErr = &err;
}

OutputScope::~OutputScope() {
  currentOut = previousOut_;
  currentErr = previousErr_;
}

}  // namespace keyloft::cli
