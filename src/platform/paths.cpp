#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace keyloft {
namespace {

// XDG base directories must be absolute; a relative value is ignored.
std::filesystem::path AbsoluteOrEmpty(const char* value) {
  if (value == nullptr || value[0] != '/') return {};
  return std::filesystem::path(value);
}

std::filesystem::path HomeFolder(const std::function<const char*(const char*)>& getenv) {
  if (auto home = AbsoluteOrEmpty(getenv("HOME")); !home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

}  // namespace

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

Paths Paths::FromEnvironment() {
  return FromEnvironment([](const char* name) -> const char* { return std::getenv(name); });
}

Paths Paths::FromEnvironment(const std::function<const char*(const char*)>& getenv) {
  Paths p;
  p.programFolder = AbsoluteOrEmpty(getenv("KEYLOFT_PROGRAM_DIR"));
  if (p.programFolder.empty()) p.programFolder = ExecutableFolder();
  p.dataHome = AbsoluteOrEmpty(getenv("XDG_DATA_HOME"));
  p.configHome = AbsoluteOrEmpty(getenv("XDG_CONFIG_HOME"));
  p.stateHome = AbsoluteOrEmpty(getenv("XDG_STATE_HOME"));
  if (p.dataHome.empty() || p.configHome.empty() || p.stateHome.empty()) {
    auto home = HomeFolder(getenv);
    if (p.dataHome.empty()) p.dataHome = home / ".local" / "share";
    if (p.configHome.empty()) p.configHome = home / ".config";
    if (p.stateHome.empty()) p.stateHome = home / ".local" / "state";
  }
  p.runtimeFolder = AbsoluteOrEmpty(getenv("XDG_RUNTIME_DIR"));
  return p;
}

std::filesystem::path UserDataFolder(const Paths& paths) { return paths.dataHome / kProductFolderName; }

std::filesystem::path StateFolder(const Paths& paths) { return paths.stateHome / "keyloft"; }

std::filesystem::path SettingsFolder(const Paths& paths) { return paths.configHome / kProductFolderName; }

std::filesystem::path PrivateRuntimeFolder(const Paths& paths) {
  if (!paths.runtimeFolder.empty()) return paths.runtimeFolder;
  auto folder = SettingsFolder(paths) / "run";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec) std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
  return ec ? std::filesystem::path() : folder;
}

}  // namespace keyloft
