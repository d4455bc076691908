// One HID interface (one top-level collection) opened by path: its report
// layout, and single reports moved in and out with a time limit that another
// thread can cut short. Knows nothing of the keyboard.
//
// Paths have the form "<node>#vid_XXXX&pid_XXXX&mi_NN&colNN": one per
// top-level collection of every HID node. A link opened on a collection sees
// only the input reports whose report id belongs to that collection.
//
// Threads: transfers may run on one thread while Close, Open or Reopen run on
// another; Close makes a waiting transfer return 0 promptly and waits for it
// to leave before freeing anything, so no transfer ever touches a closed
// device or a freed buffer. Open and Close of one link come from one thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "device/hid_descriptor.h"

namespace keyloft {

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;

// One button capability range, or one usage of a value capability: the decoded
// view of a report.
struct HidReportItem {
  bool isButton = false;
  uint16_t usagePage = 0;
  uint32_t status = 0;
  uint32_t reportId = 0;
  bool isSet = false;
  // A button range: the usages down, 0-terminated when fewer than maxUsageCount.
  uint32_t usageMin = 0;
  uint32_t usageMax = 0;
  uint32_t maxUsageCount = 0;
  std::vector<uint16_t> usages;
  // A value.
  uint16_t usage = 0;
  uint32_t value = 0;
  int32_t scaledValue = 0;
};

struct HidCaps {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
};

struct HidAttributes {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
};

// The buffers, capabilities and decoded items of one report type.
struct HidReportLayout {
  std::vector<uint8_t> report;
  std::vector<HidReportItem> items;
  std::vector<HidButtonCaps> buttonCaps;
  std::vector<HidValueCaps> valueCaps;
};

// The number after a marker ("&mi_", "&col") in a path's identifier part, read
// as hexadecimal without regard to case; 0 when absent.
uint32_t PathHexField(std::string_view path, std::string_view marker);

class HidLink {
 public:
  explicit HidLink(HidTransportConfig config = HidTransportConfig::FromEnvironment());
  ~HidLink();
  HidLink(const HidLink&) = delete;
  HidLink& operator=(const HidLink&) = delete;

  // Clears every field and makes the cancel signal; once, before anything else.
  bool Init();
  // Close, then free the path list and the cancel signal.
  void Destroy();

  // Rebuilds the path list (the cursor goes back to the start). False when the
  // interfaces cannot be listed; the list is then empty.
  bool Enumerate();
  // The next path of the list, or nullptr at its end.
  const std::string* NextPath();
  void FreePathList();
  const std::vector<std::string>& PathList() const { return pathList; }

  bool Open(const std::string& path, bool wantRead, bool wantWrite, bool overlapped, bool exclusive);
  bool Reopen();
  // Cuts a waiting transfer short, frees the layout and closes the device.
  // False when nothing was open.
  bool Close();
  bool IsOpen() const;

  // One input report of this collection, in the Windows layout (report id in
  // byte 0, zero-filled to the collection's input length). timeoutMs may be
  // INFINITE. False on time-out, cancellation, a vanished device or an error,
  // with *bytesRead 0.
  bool ReadReport(std::span<uint8_t> buffer, uint32_t* bytesRead, uint32_t timeoutMs);
  bool WriteReport(std::span<const uint8_t> buffer, uint32_t* bytesWritten, uint32_t timeoutMs);

  // Decodes one received report into items of the given type. False when a
  // value could not be read.
  bool UnpackReport(std::span<const uint8_t> report, HidReportType type, std::span<HidReportItem> items) const;

  // Whether the opened node is still present and still the same device: the
  // presence test of a connected keyboard. Called by the thread that opens the link.
  bool StillPresent() const;

  // The layout of the open collection (empty when closed).
  HidReportLayout& Layout(HidReportType type) { return layouts[type]; }
  const HidCollection* Collection() const { return collection; }

  // Fields, as the rest of the device link reads them.
  std::vector<std::string> pathList;
  size_t pathCursor = 0;
  bool openForRead = false;
  bool openForWrite = false;
  bool openOverlapped = false;
  bool openExclusive = false;
  std::string devicePath;
  HidCaps caps;
  HidAttributes attributes;
  std::array<HidReportLayout, kHidReportTypes> layouts;
  uint32_t interfaceNumber = 0;
  uint32_t collectionNumber = 0;
  std::atomic<bool> readBusy{false};
  std::atomic<bool> writeBusy{false};

 private:
  bool LoadLayout(const HidNodeInfo& info);
  void FreeLayout();
  bool Transfer(bool isRead, std::span<uint8_t> in, std::span<const uint8_t> out, uint32_t* count,
                uint32_t timeoutMs);
  void CloseLocked();
  bool ReportBelongsHere(uint8_t reportId) const;

  HidTransportConfig config_;
  std::unique_ptr<HidBackend> backend_;
  std::unique_ptr<HidDevice> device_;
  HidDescriptor descriptor_;
  const HidCollection* collection = nullptr;
  std::vector<uint8_t> rxBuffer_;  // one raw report of the node, read before filtering
  std::atomic<bool> gone_{false};  // the device vanished under an open link
  int cancelFd_ = -1;              // eventfd: wakes a waiting transfer
  std::atomic<bool> cancelled_{false};
  // Held by a transfer for its whole wait; Close takes both after signalling,
  // so it never frees what a transfer uses. Lock order: readMutex_, writeMutex_.
  mutable std::mutex readMutex_;
  mutable std::mutex writeMutex_;
};

}  // namespace keyloft
