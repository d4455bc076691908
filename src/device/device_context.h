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
#include <vector>

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

// What the device link knows of a keyboard it may find: its identifiers and
// the sizes of its key maps. The keyboard models (model/keyboard_model.h) are
// handed down as these, so the device link needs no keyboard table of its own.
struct DeviceIdentity {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint32_t keyMapBytes = 0;
  uint32_t keyMapStride = 0;
};

// The identity of a keyboard with these identifiers; nullptr for other devices.
const DeviceIdentity* FindDeviceIdentity(std::span<const DeviceIdentity> keyboards, uint16_t vendorId,
                                         uint16_t productId);

struct DeviceContext {
  // config chooses the transport; lockFolder holds the per-keyboard lock files
  // (the user's runtime folder); keyboards are the devices to look for, and
  // builtInDefaultKeyMap the factory key map used until the keyboard's own is read.
  DeviceContext(HidTransportConfig config, std::filesystem::path lockFolder, std::vector<DeviceIdentity> keyboards,
                std::span<const uint8_t> builtInDefaultKeyMap);

  const std::vector<DeviceIdentity> keyboards;
  const DeviceIdentity* FindKeyboard(uint16_t vendorId, uint16_t productId) const {
    return FindDeviceIdentity(keyboards, vendorId, productId);
  }

  HidLink commandLink;
  // Held for exactly one transfer on commandLink, and by the monitor while it
  // opens or closes the link, so no transfer races a reopen.
  std::mutex commandLock;
  // Held for one whole exchange (write, reply, retries): a reply is only ever
  // taken by the exchange that asked for it. Lock order: exchangeLock,
  // keyboardLock, commandLock.
  std::mutex exchangeLock;
  // The same across processes: one lock file per keyboard node. Held for one
  // exchange, or from a bracket's begin to its end, so another program's
  // commands never land inside this program's bracket.
  FileLock keyboardLock;
  // Brackets begun and not yet ended; the keyboard lock is held while any is.
  // Guarded by exchangeLock.
  int bracketsOpen = 0;
  std::filesystem::path lockFolder;

  std::atomic<bool> deviceConnected{false};
  std::atomic<uint32_t> keyMapBytes{378};
  std::atomic<uint32_t> keyMapStride{378};
  std::atomic<int> activeProfileCache{-1};
  std::atomic<uint32_t> macroCapacity{0};

  // Set when a command went unanswered after its retries (or could not be
  // written): the keyboard is taken to be silent and nothing more is sent until
  // a sequence starts afresh (DeviceSequence) or the keyboard is found anew.
  std::atomic<bool> unanswered{false};
  // How deep the sequence thread is in DeviceSequence scopes; only that thread uses it.
  int sequenceDepth = 0;

  // Guards defaultKeyMap and lastInfo.
  mutable std::mutex stateLock;
  std::array<uint8_t, kDefaultKeyMapBytes> defaultKeyMap{};
  InfoBlock lastInfo;
};

// One sequence's dealings with the keyboard: the outermost scope of a sequence
// started by the user or by the keyboard's own event gives the keyboard a fresh
// chance (Fresh); a scope that continues what the device link began (the
// connection's read-back) keeps a silence already found (Continue). Nested
// scopes change nothing. Used on the sequence thread only.
class DeviceSequence {
 public:
  enum Start { Fresh, Continue };
  DeviceSequence(DeviceContext& device, Start start) : device_(device) {
    if (device_.sequenceDepth++ == 0 && start == Fresh) device_.unanswered = false;
  }
  ~DeviceSequence();
  DeviceSequence(const DeviceSequence&) = delete;
  DeviceSequence& operator=(const DeviceSequence&) = delete;

 private:
  DeviceContext& device_;
};

// The lock file of a keyboard node: its path made into one file name.
std::filesystem::path KeyboardLockFile(const std::filesystem::path& lockFolder, std::string_view devicePath);

}  // namespace keyloft
