// One HID interface (one top-level collection) opened by path, in the spirit
// of hidapi: list the interfaces, open one, move single reports in and out
// with a time limit that another thread can cut short. Knows nothing of the
// keyboard.
//
// Paths have the form "<node>#vid_XXXX&pid_XXXX&mi_NN&colNN": one per
// top-level collection of every HID node. A link opened on a collection sees
// only the input reports whose report id belongs to that collection.
//
// Threads: transfers may run on one thread while Close or Reopen run on
// another; Close makes a waiting transfer return promptly and waits for it to
// leave before freeing anything, so no transfer ever touches a closed device
// or a freed buffer. Open and Close of one link come from one thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid_backend.h"
#include "device/hid_descriptor.h"

namespace keyloft {

// One interface: as listed (identifiers from the node), or as opened (from the
// device itself).
struct HidInterfaceInfo {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
  uint32_t interfaceNumber = 0;   // the path's mi_ field
  uint32_t collectionNumber = 0;  // the path's col field, 1 for the first
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // The longest report of each kind in bytes, the report id byte counted; 0 for none.
  uint16_t inputReportLength = 0;
  uint16_t outputReportLength = 0;
  uint16_t featureReportLength = 0;
};

// The number after a marker ("&mi_", "&col", "vid_") in a path's identifier
// part (after its last '#'), read as hexadecimal without regard to case; 0
// when absent.
uint32_t PathHexField(std::string_view path, std::string_view marker);

class HidLink {
 public:
  enum class Access { ReadOnly, ReadWrite };

  explicit HidLink(HidTransportConfig config = HidTransportConfig::FromEnvironment());
  ~HidLink();
  HidLink(const HidLink&) = delete;
  HidLink& operator=(const HidLink&) = delete;

  // Every top-level collection of every node present, in a stable order;
  // nothing when the nodes cannot be listed.
  std::optional<std::vector<HidInterfaceInfo>> Enumerate();

  // Opens the collection a path names, closing what was open.
  bool Open(const std::string& path, Access access);
  // The same path again (after Close, or once the device is back).
  bool Reopen();
  // Cuts a waiting transfer short, frees the layout and closes the device.
  // False when nothing was open.
  bool Close();
  bool IsOpen() const;
  // The open interface (empty when closed) and the path last opened.
  const HidInterfaceInfo& Info() const { return info_; }
  const std::string& Path() const { return path_; }

  // One input report of this collection, report id in byte 0 (0 when the
  // device numbers none) and zero-filled to the collection's input length:
  // the bytes given. Nothing on time-out, Close, a vanished device or an error.
  std::optional<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout);
  // The same without a time limit: until a report comes, Close, or the device goes.
  std::optional<size_t> ReadUntilClosed(std::span<uint8_t> buffer);
  bool Write(std::span<const uint8_t> report, std::chrono::milliseconds timeout);
  // Whether a read waits now.
  bool Reading() const { return reading_; }

  // The usages down in an input report of this collection, in report order.
  std::vector<uint16_t> UsagesDown(std::span<const uint8_t> report) const;

  // Whether the opened node is still present and still the same device: the
  // presence test of a connected keyboard. Called by the thread that opens the link.
  bool StillPresent() const;

 private:
  bool LoadLayout(const HidNodeInfo& node);
  std::optional<size_t> Transfer(bool isRead, std::span<uint8_t> in, std::span<const uint8_t> out,
                                 std::optional<std::chrono::milliseconds> timeout);
  void CloseLocked();
  bool ReportBelongsHere(uint8_t reportId) const;

  HidTransportConfig config_;
  std::unique_ptr<HidBackend> backend_;
  std::string path_;
  Access access_ = Access::ReadOnly;
  HidInterfaceInfo info_;
  std::unique_ptr<HidDevice> device_;
  HidDescriptor descriptor_;
  const HidCollection* collection_ = nullptr;
  std::vector<uint8_t> rxBuffer_;  // one raw report of the node, read before filtering
  std::atomic<bool> gone_{false};  // the device vanished under an open link
  std::atomic<bool> reading_{false};
  int cancelFd_ = -1;  // eventfd: wakes a waiting transfer
  std::atomic<bool> cancelled_{false};
  // Held by a transfer for its whole wait; Close takes both after signalling,
  // so it never frees what a transfer uses. Lock order: readMutex_, writeMutex_.
  mutable std::mutex readMutex_;
  mutable std::mutex writeMutex_;
};

}  // namespace keyloft
