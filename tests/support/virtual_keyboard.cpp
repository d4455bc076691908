#include "virtual_keyboard.h"

#include <fstream>
#include <stdexcept>

#include "emu/control.h"
#include "emu/firmware.h"

namespace keyloft::test {
namespace {

std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

}  // namespace

VirtualKeyboard::VirtualKeyboard(int model, emu::Layout layout, int macroBlocks) : trace_(dir_ / "trace.txt") {
  std::filesystem::create_directories(LockFolder());
  emu::ServerOptions options;
  options.folder = dir_.Path();
  options.layout = layout;
  options.tracePath = trace_;
  server_ = std::make_unique<emu::Server>(emu::Firmware(*emu::FindModel(model), macroBlocks), options);
  std::string error;
  if (!server_->Start(error)) throw std::runtime_error("virtual keyboard: " + error);
  thread_ = std::thread([this] { server_->Run(); });
}

VirtualKeyboard::~VirtualKeyboard() {
  server_->Stop();
  thread_.join();
}

std::string VirtualKeyboard::Control(const std::string& line) {
  std::string error;
  auto socket = emu::FindControlSocket(dir_.Path(), error);
  if (!socket) return "error: " + error;
  return emu::SendControl(*socket, line).text;
}

std::vector<TracedReport> VirtualKeyboard::Trace() const {
  std::vector<TracedReport> reports;
  std::ifstream in(trace_);
  size_t seen = 0;
  for (std::string line; std::getline(in, line);) {
    if (seen++ < traceMark_) continue;
    bool out = line.starts_with("out ");
    if (!out && !line.starts_with("in ")) continue;
    reports.push_back({out, FromHex(std::string_view(line).substr(out ? 4 : 3))});
  }
  return reports;
}

std::vector<std::vector<uint8_t>> VirtualKeyboard::Commands() const {
  std::vector<std::vector<uint8_t>> commands;
  for (auto& r : Trace()) {
    if (r.out && !r.bytes.empty() && r.bytes[0] == 4) commands.push_back(std::move(r.bytes));
  }
  return commands;
}

void VirtualKeyboard::ClearTrace() {
  std::ifstream in(trace_);
  traceMark_ = 0;
  for (std::string line; std::getline(in, line);) ++traceMark_;
}

}  // namespace keyloft::test
