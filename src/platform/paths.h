// Where Keyloft's files live on Linux: the program folder (assets sit beside the
// program) and the per-user XDG folders. Everything comes from the environment,
// so tests point it at temporary folders and never touch the real home.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace keyloft {

// The product's folder name under the user's data and configuration folders.
inline constexpr const char* kProductFolderName = "Orvo_Key 104 Mechanical Keyboard";

struct Paths {
  std::filesystem::path programFolder;  // KEYLOFT_PROGRAM_DIR, else the folder of /proc/self/exe
  std::filesystem::path dataHome;       // XDG_DATA_HOME, else ~/.local/share
  std::filesystem::path configHome;     // XDG_CONFIG_HOME, else ~/.config
  std::filesystem::path stateHome;      // XDG_STATE_HOME, else ~/.local/state
  std::filesystem::path runtimeFolder;  // XDG_RUNTIME_DIR; empty when the session has none

  // Reads the process environment.
  static Paths FromEnvironment();
  // The same rules over any lookup, for tests. getenv returns nullptr for unset names.
  static Paths FromEnvironment(const std::function<const char*(const char*)>& getenv);
};

// The per-user folder for profiles, lighting schemes and lykb.ini.
std::filesystem::path UserDataFolder(const Paths& paths);

// The per-user folder of what the program notes for itself across runs (the
// journal of a write to the keyboard): the state folder's "keyloft".
std::filesystem::path StateFolder(const Paths& paths);

// The folder of the settings that stand in for the application's registry key.
std::filesystem::path SettingsFolder(const Paths& paths);

// Where the running program keeps what lives only while it runs (lock files,
// the single-instance socket): the user's runtime folder, or, in a session
// without one, a folder of the user's own (mode 0700) in the settings folder;
// never a shared name. Made when missing; empty when it cannot be made.
std::filesystem::path PrivateRuntimeFolder(const Paths& paths);

// The folder of the running program, links resolved; empty if it cannot be read.
std::filesystem::path ExecutableFolder();

}  // namespace keyloft
