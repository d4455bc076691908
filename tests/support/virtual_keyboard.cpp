#include "virtual_keyboard.h"

#include <stdexcept>

#include "emu/control.h"
#include "emu/firmware.h"

namespace keyloft::test {

VirtualKeyboard::VirtualKeyboard(int model, emu::Layout layout, int macroBlocks) : trace_(dir_ / "trace.txt") {
  std::filesystem::create_directories(LockFolder());
  emu::ServerOptions options;
  options.folder = dir_.Path();
  options.layout = layout;
  options.tracePath = trace_.Path();
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

}  // namespace keyloft::test
