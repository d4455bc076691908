// The state of the device link that the whole program shares: the command
// link and its locks, whether the keyboard is connected, the model-dependent
// sizes, the active-profile cache, the factory key map and the last
// information block. One instance, created once and passed by reference.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>

#include "device/hid_link.h"
#include "platform/file_lock.h"

namespace keyloft {

inline constexpr size_t kInfoBlockBytes = 44;
inline constexpr size_t kDefaultKeyMapBytes = 512;

// The keyboard's 44-byte information block.
struct InfoBlock {
  std::array<uint8_t, kInfoBlockBytes> bytes{};

  uint8_t activeProfile() const { return bytes[10]; }
  uint8_t macroBlocks() const { return bytes[11]; }
  std::span<const uint8_t, 32> effects() const { return std::span(bytes).subspan<12, 32>(); }
};

struct DeviceContext {
  // config chooses the transport; lockFolder holds the per-keyboard lock files
  // (the user's runtime folder).
  DeviceContext(HidTransportConfig config, std::filesystem::path lockFolder);

  HidLink commandLink;
  // Held for exactly one transfer on commandLink, and by the monitor while it
  // opens or closes the link, so no transfer races a reopen.
  std::mutex commandLock;
  // Held for one whole exchange (write, reply, retries): a reply is only ever
  // taken by the exchange that asked for it. Lock order: exchangeLock,
  // keyboardLock, commandLock.
  std::mutex exchangeLock;
  // The same across processes: one lock file per keyboard node.
  FileLock keyboardLock;
  std::filesystem::path lockFolder;

  std::atomic<bool> deviceConnected{false};
  std::atomic<uint32_t> keyMapBytes{378};
  std::atomic<uint32_t> keyMapStride{378};
  std::atomic<int> activeProfileCache{-1};
  std::atomic<uint32_t> macroCapacity{0};

  // Guards defaultKeyMap and lastInfo.
  mutable std::mutex stateLock;
  std::array<uint8_t, kDefaultKeyMapBytes> defaultKeyMap{};
  InfoBlock lastInfo;
};

// The lock file of a keyboard node: its path made into one file name.
std::filesystem::path KeyboardLockFile(const std::filesystem::path& lockFolder, std::string_view devicePath);

}  // namespace keyloft
