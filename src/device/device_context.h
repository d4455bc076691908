// The state of the device link that the whole program shares: the command
// link and its locks, whether the keyboard is connected, the model-dependent
// sizes, the active-profile cache, the factory key map and the last
// information block. One instance, created once and passed by reference.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "device/hid_link.h"
#include "platform/file_lock.h"

namespace keyloft {

inline constexpr size_t kInfoBlockBytes = 44;
inline constexpr size_t kDefaultKeyMapBytes = 512;
// Longer than any one command's whole turn (a restore with its check), so a
// second writer waits for the first rather than giving up.
inline constexpr int kKeyboardWaitMs = 20000;

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
  // The same across processes: one lock file per keyboard node. Taken by the
  // first exchange and held for that exchange, from a bracket's begin to its
  // end, or while a hold lasts (KeyboardHold): a sequence that reads what it
  // will write is one turn at the keyboard, which another program's commands
  // never land in. The members below are guarded by exchangeLock.
  FileLock keyboardLock;
  bool keyboardLockHeld = false;
  // Brackets begun and not yet ended; the keyboard lock is held while any is.
  int bracketsOpen = 0;
  // Holds in force: once taken, the keyboard lock is kept until the last ends.
  int keyboardHolds = 0;
  // How long an exchange waits for another program to finish its turn.
  std::chrono::milliseconds keyboardWait{kKeyboardWaitMs};
  std::filesystem::path lockFolder;
  // Where a write of the macro area and key maps notes what it writes until
  // its bracket closes (store/write_journal.h); none when empty.
  std::filesystem::path journalFolder;

  // Under exchangeLock. False when another program kept the keyboard past
  // keyboardWait (the sequence then sends nothing more: keyboardInUse).
  bool TakeKeyboard();
  // Under exchangeLock: lets the keyboard go unless a bracket or hold needs it.
  void ReleaseKeyboardIfDone();
  // Under exchangeLock: the lock file of another keyboard node, or none.
  void OpenKeyboardLock(const std::filesystem::path& path);
  void CloseKeyboardLock();

  std::atomic<bool> deviceConnected{false};
  std::atomic<uint32_t> keyMapBytes{378};
  std::atomic<uint32_t> keyMapStride{378};
  std::atomic<int> activeProfileCache{-1};
  std::atomic<uint32_t> macroCapacity{0};

  // Set when a command went unanswered after its retries (or could not be
  // written): the keyboard is taken to be silent and nothing more is sent until
  // a sequence starts afresh (DeviceSequence) or the keyboard is found anew.
  std::atomic<bool> unanswered{false};
  // Set when another program kept the keyboard past keyboardWait; cleared with unanswered.
  std::atomic<bool> keyboardInUse{false};
  // How deep the sequence thread is in DeviceSequence scopes; only that thread uses it.
  int sequenceDepth = 0;

  // Guards defaultKeyMap and lastInfo.
  mutable std::mutex stateLock;
  std::array<uint8_t, kDefaultKeyMapBytes> defaultKeyMap{};
  InfoBlock lastInfo;
};

// Keeps the keyboard lock, once an exchange has taken it, until the hold ends:
// what is read in the meantime is still what the keyboard holds when it is
// written back. Any thread.
class KeyboardHold {
 public:
  explicit KeyboardHold(DeviceContext& device);
  ~KeyboardHold();
  KeyboardHold(const KeyboardHold&) = delete;
  KeyboardHold& operator=(const KeyboardHold&) = delete;

 private:
  DeviceContext& device_;
};

// One sequence's dealings with the keyboard: the outermost scope of a sequence
// started by the user or by the keyboard's own event gives the keyboard a fresh
// chance (Fresh); a scope that continues what the device link began (the
// connection's read-back) keeps a silence already found (Continue). Nested
// scopes change nothing. The outermost scope is one turn at the keyboard (a
// KeyboardHold). Used on the sequence thread only.
class DeviceSequence {
 public:
  enum Start { Fresh, Continue };
  DeviceSequence(DeviceContext& device, Start start);
  ~DeviceSequence();
  DeviceSequence(const DeviceSequence&) = delete;
  DeviceSequence& operator=(const DeviceSequence&) = delete;

 private:
  DeviceContext& device_;
  std::optional<KeyboardHold> hold_;
};

// The lock file of a keyboard node: its path made into one file name.
std::filesystem::path KeyboardLockFile(const std::filesystem::path& lockFolder, std::string_view devicePath);

}  // namespace keyloft
