#include "device/hid_link.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "fake_vhid_device.h"
#include "hid_test_descriptors.h"
#include "temp_dir.h"

namespace keyloft {
namespace {

using namespace std::chrono_literals;
using test::Concat;
using test::FakeVhidDevice;
using test::kBootKeyboardDescriptor;
using test::kConsumerSystemDescriptor;
using test::kVendorDescriptor;
using test::TempDir;

struct PathCase {
  const char* path;
  uint32_t interfaceNumber;
  uint32_t collectionNumber;
};

TEST(PathHexField, ReadsTheIdentifierPartWithoutRegardToCase) {
  const PathCase cases[] = {
      {"/dev/hidraw3#vid_0c45&pid_652f&MI_01&Col02", 1, 2},
      {"/dev/hidraw3#vid_0c45&pid_652f&mi_0a&col10", 10, 16},
      {"/dev/hidraw3#vid_0c45&pid_652f", 0, 0},
      {"/tmp/a&mi_05&col07/k.sock#vid_0c45&pid_652f", 0, 0},  // folder names are not fields
      {"no identifier at all", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathHexField(c.path, "&mi_"), c.interfaceNumber) << c.path;
    EXPECT_EQ(PathHexField(c.path, "&col"), c.collectionNumber) << c.path;
  }
}

// A sysfs and /dev tree with hidraw nodes as the kernel lays them out; the
// nodes are FIFOs, so what is written to one can be read back from it.
class FakeHidraw {
 public:
  explicit FakeHidraw(const TempDir& dir) : root_(dir.Path()) {
    std::filesystem::create_directories(root_ / "sys/class/hidraw");
    std::filesystem::create_directories(root_ / "dev");
  }

  void Add(int n, uint16_t vid, uint16_t pid, int iface, const std::vector<uint8_t>& descriptor, int instance = 1) {
    auto usbDevice = root_ / "sys/devices/usb1/1-2";
    auto usbInterface = usbDevice / ("1-2:1." + std::to_string(iface));
    char hid[32];
    std::snprintf(hid, sizeof hid, "0003:%04X:%04X.%04X", vid, pid, instance);
    auto hidDevice = usbInterface / hid;
    std::filesystem::create_directories(hidDevice);
    Write(usbDevice / "bcdDevice", "0105\n");
    char text[128];
    std::snprintf(text, sizeof text, "%02x\n", iface);
    Write(usbInterface / "bInterfaceNumber", text);
    std::snprintf(text, sizeof text, "HID_ID=0003:%08X:%08X\nHID_PHYS=usb-0000:00:14.0-2/input%d\n", vid, pid, iface);
    Write(hidDevice / "uevent", text);
    Write(hidDevice / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
    auto classDir = root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(n));
    std::filesystem::create_directories(classDir);
    std::filesystem::remove(classDir / "device");
    std::filesystem::create_directory_symlink(hidDevice, classDir / "device");
    auto node = root_ / "dev" / ("hidraw" + std::to_string(n));
    if (!std::filesystem::exists(node)) ::mkfifo(node.c_str(), 0600);
  }

  HidTransportConfig Config() const { return HidTransportConfig::Hidraw(root_ / "sys", root_ / "dev"); }
  std::string Node(int n) const { return (root_ / "dev" / ("hidraw" + std::to_string(n))).string(); }

 private:
  static void Write(const std::filesystem::path& p, const std::string& s) {
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(s.data(), 1, s.size(), f);
    std::fclose(f);
  }
  std::filesystem::path root_;
};

class HidrawLink : public ::testing::Test {
 protected:
  HidLink& Link() {
    if (!link_) {
      link_ = std::make_unique<HidLink>(hidraw_.Config());
      EXPECT_TRUE(link_->Init());
    }
    return *link_;
  }

  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    EXPECT_TRUE(Link().Enumerate());
    while (const std::string* p = Link().NextPath()) paths.push_back(*p);
    return paths;
  }

  std::string VendorPath() { return hidraw_.Node(3) + "#vid_0c45&pid_652f&mi_02&col01"; }

  TempDir dir_;
  FakeHidraw hidraw_{dir_};
  std::unique_ptr<HidLink> link_;
};

TEST_F(HidrawLink, WithNoInterfacesTheListIsEmpty) {
  EXPECT_TRUE(Paths().empty());
  EXPECT_EQ(Link().NextPath(), nullptr);
}

TEST_F(HidrawLink, ListsEveryCollectionOfEveryNodeInNodeOrder) {
  hidraw_.Add(10, 0x0C45, 0x652F, 2, kVendorDescriptor);
  hidraw_.Add(2, 0x0C45, 0x652F, 1, kConsumerSystemDescriptor);
  hidraw_.Add(1, 0x046D, 0xC31C, 0, kBootKeyboardDescriptor);
  hidraw_.Add(4, 0x0C45, 0x652F, 3, {0x05, 0x01, 0x09});  // a malformed descriptor is skipped
  EXPECT_EQ(Paths(), (std::vector<std::string>{
                         hidraw_.Node(1) + "#vid_046d&pid_c31c&mi_00&col01",
                         hidraw_.Node(2) + "#vid_0c45&pid_652f&mi_01&col01",
                         hidraw_.Node(2) + "#vid_0c45&pid_652f&mi_01&col02",
                         hidraw_.Node(10) + "#vid_0c45&pid_652f&mi_02&col01",
                     }));
}

TEST_F(HidrawLink, ListsNineInterfacesInOrder) {
  for (int n = 0; n < 9; ++n) hidraw_.Add(n, 0x0C45, static_cast<uint16_t>(0x1000 + n), 0, kBootKeyboardDescriptor);
  auto paths = Paths();
  ASSERT_EQ(paths.size(), 9u);
  for (int n = 0; n < 9; ++n) EXPECT_EQ(PathHexField(paths[n], "pid_"), 0x1000u + n);
}

TEST_F(HidrawLink, OpenLoadsTheCollectionsLayout) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), true, true, true, false));
  EXPECT_EQ(Link().caps.usagePage, 0xFF1C);
  EXPECT_EQ(Link().caps.usage, 0x92);
  EXPECT_EQ(Link().caps.inputReportByteLength, 64);
  EXPECT_EQ(Link().caps.outputReportByteLength, 64);
  EXPECT_EQ(Link().caps.featureReportByteLength, 0);
  EXPECT_EQ(Link().attributes.vendorId, 0x0C45);
  EXPECT_EQ(Link().attributes.productId, 0x652F);
  EXPECT_EQ(Link().attributes.versionNumber, 0x0105);
  EXPECT_EQ(Link().interfaceNumber, 2u);
  EXPECT_EQ(Link().collectionNumber, 1u);
  EXPECT_EQ(Link().Layout(HidP_Input).report.size(), 64u);
  EXPECT_FALSE(Link().Open(hidraw_.Node(3) + "#vid_0c45&pid_652f&mi_02&col02", true, true, true, false));
  EXPECT_FALSE(Link().IsOpen());
  EXPECT_TRUE(Link().Layout(HidP_Input).report.empty());
}

TEST_F(HidrawLink, MovesReportsThroughTheNode) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), true, true, true, false));
  std::vector<uint8_t> out(64, 0);
  out[0] = 4;
  out[3] = 0x03;
  uint32_t written = 0, read = 0;
  ASSERT_TRUE(Link().WriteReport(out, &written, 1000));
  EXPECT_EQ(written, 64u);
  std::vector<uint8_t> in(64, 0xEE);
  ASSERT_TRUE(Link().ReadReport(in, &read, 300));  // the FIFO hands the report back
  EXPECT_EQ(read, 64u);
  EXPECT_EQ(in, out);
}

TEST_F(HidrawLink, AReadTimesOutWithNothingRead) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), true, true, true, false));
  std::vector<uint8_t> in(64);
  uint32_t read = 99;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Link().ReadReport(in, &read, 300));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(read, 0u);
  EXPECT_GE(elapsed, 290ms);
  EXPECT_LT(elapsed, 2s);
}

TEST_F(HidrawLink, CloseFromAnotherThreadEndsAWaitingRead) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), true, true, true, false));
  auto reader = std::async(std::launch::async, [&] {
    std::vector<uint8_t> in(64);
    uint32_t read = 99;
    bool ok = Link().ReadReport(in, &read, INFINITE);
    return std::pair(ok, read);
  });
  while (!Link().readBusy) std::this_thread::yield();
  EXPECT_TRUE(Link().Close());
  ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(reader.get(), std::pair(false, 0u));
  EXPECT_FALSE(Link().IsOpen());
  // The link opens again afterwards and its transfers work.
  ASSERT_TRUE(Link().Reopen());
  std::vector<uint8_t> out(64, 4), in(64);
  EXPECT_TRUE(Link().WriteReport(out, nullptr, 1000));
  EXPECT_TRUE(Link().ReadReport(in, nullptr, 1000));
}

TEST_F(HidrawLink, CloseOfALinkNeverOpenedChangesNothing) {
  EXPECT_FALSE(Link().Close());
  std::vector<uint8_t> buf(64);
  uint32_t n = 7;
  EXPECT_FALSE(Link().ReadReport(buf, &n, 10));
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(Link().StillPresent());
}

TEST_F(HidrawLink, PresenceMeansTheSameDevice) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor, 7);
  ASSERT_TRUE(Link().Open(VendorPath(), true, true, true, false));
  EXPECT_TRUE(Link().StillPresent());
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor, 8);  // unplugged and plugged in again
  EXPECT_FALSE(Link().StillPresent());
  ASSERT_TRUE(Link().Reopen());
  EXPECT_TRUE(Link().StillPresent());
  std::filesystem::remove(hidraw_.Node(3));
  EXPECT_FALSE(Link().StillPresent());
}

// A vhid folder with fake devices.
class VhidLink : public ::testing::Test {
 protected:
  VhidLink() : link_(HidTransportConfig::Vhid(dir_.Path())) { EXPECT_TRUE(link_.Init()); }

  std::unique_ptr<FakeVhidDevice> Device(const std::string& name, uint16_t iface, std::vector<uint8_t> descriptor) {
    return std::make_unique<FakeVhidDevice>(dir_ / name, VhidHello{0x0C45, 0x652F, 0x0100, iface, std::move(descriptor)});
  }

  std::string PathOf(const std::string& name, int iface, int col) {
    char id[64];
    std::snprintf(id, sizeof id, "#vid_0c45&pid_652f&mi_%02x&col%02x", iface, col);
    return (dir_ / name).string() + id;
  }

  std::vector<uint8_t> Read(uint32_t timeoutMs = 2000) {
    std::vector<uint8_t> in(link_.caps.inputReportByteLength);
    uint32_t n = 0;
    if (!link_.ReadReport(in, &n, timeoutMs)) return {};
    in.resize(n);
    return in;
  }

  TempDir dir_;
  HidLink link_;
};

TEST_F(VhidLink, ListsTheSocketsAndSkipsStaleFiles) {
  auto consumer = Device("kb-mi_01.sock", 1, kConsumerSystemDescriptor);
  auto vendor = Device("kb-mi_02.sock", 2, kVendorDescriptor);
  dir_.Write("stale.sock", "");  // no one listens here
  dir_.Write("kb.ctl", "");
  ASSERT_TRUE(link_.Enumerate());
  EXPECT_EQ(link_.PathList(), (std::vector<std::string>{PathOf("kb-mi_01.sock", 1, 1), PathOf("kb-mi_01.sock", 1, 2),
                                                         PathOf("kb-mi_02.sock", 2, 1)}));
}

TEST_F(VhidLink, ACollectionSeesOnlyItsOwnReports) {
  auto device = Device("kb-mi_01.sock", 1, Concat(kConsumerSystemDescriptor, kVendorDescriptor));
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_01.sock", 1, 1), true, false, true, false));
  ASSERT_TRUE(device->WaitForHosts(1));
  EXPECT_EQ(link_.caps.usagePage, 0x0C);
  device->Send({0x02, 0x01});              // system control
  device->Send(std::vector<uint8_t>(64, 4));  // the vendor collection
  device->Send({0x03, 0x02, 0x04});        // consumer usage 0x0402
  device->Send({0x03, 0x00, 0x00});        // and its release
  auto report = Read();
  ASSERT_EQ(report, (std::vector<uint8_t>{0x03, 0x02, 0x04}));

  auto& items = link_.Layout(HidP_Input).items;
  ASSERT_FALSE(items.empty());
  ASSERT_TRUE(items[0].isButton);
  ASSERT_TRUE(link_.UnpackReport(report, HidP_Input, items));
  EXPECT_TRUE(items[0].isSet);
  EXPECT_EQ(items[0].usages[0], 0x0402);
  ASSERT_TRUE(link_.UnpackReport(Read(), HidP_Input, items));
  EXPECT_EQ(items[0].usages[0], 0);
}

TEST_F(VhidLink, UnnumberedReportsGetAZeroIdAndDecodeLikeWindows) {
  auto device = Device("kb-mi_00.sock", 0, kBootKeyboardDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_00.sock", 0, 1), true, false, true, false));
  ASSERT_TRUE(device->WaitForHosts(1));
  EXPECT_EQ(link_.caps.inputReportByteLength, 9);
  device->Send({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});  // Left Shift (0xE1) and A (0x04) down
  auto report = Read();
  ASSERT_EQ(report, (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x04, 0, 0, 0, 0, 0}));

  auto& items = link_.Layout(HidP_Input).items;
  ASSERT_TRUE(link_.UnpackReport(report, HidP_Input, items));
  const HidReportItem* keys = nullptr;
  for (const auto& item : items) {
    if (item.isButton && item.usageMin == 0x00 && item.usageMax == 0x65) keys = &item;
  }
  ASSERT_NE(keys, nullptr);
  ASSERT_GE(keys->usages.size(), 2u);
  EXPECT_EQ(keys->usages[0], 0x04);  // 0xE1 lies outside the item's range
  EXPECT_EQ(keys->usages[1], 0);
}

TEST_F(VhidLink, ValueItemsFollowTheButtonsOneUsageEach) {
  auto device = Device("mouse-mi_00.sock", 0, test::kMouseDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("mouse-mi_00.sock", 0, 1), true, false, true, false));
  ASSERT_TRUE(device->WaitForHosts(1));
  auto& items = link_.Layout(HidP_Input).items;
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[0].isButton);
  EXPECT_EQ(items[0].maxUsageCount, 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(items[1 + i].isButton);
    EXPECT_EQ(items[1 + i].usage, 0x30 + i);
  }
  device->Send({0x01, 0x05, 0xFF, 0x01});  // button 1, X +5, Y -1, wheel +1
  ASSERT_TRUE(link_.UnpackReport(Read(), HidP_Input, items));
  EXPECT_EQ(items[0].usages[0], 1);
  EXPECT_EQ(items[0].usages[1], 0);
  EXPECT_EQ(items[1].scaledValue, 5);
  EXPECT_EQ(items[2].value, 0xFFu);
  EXPECT_EQ(items[2].scaledValue, -1);
  EXPECT_EQ(items[3].scaledValue, 1);
}

TEST_F(VhidLink, WritesReachTheDeviceAndAnUnplugEndsTheLink) {
  auto device = Device("kb-mi_02.sock", 2, kVendorDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_02.sock", 2, 1), true, true, true, false));
  std::vector<uint8_t> out(64, 0);
  out[0] = 4;
  out[3] = 1;
  uint32_t written = 0;
  ASSERT_TRUE(link_.WriteReport(out, &written, 1000));
  EXPECT_EQ(device->NextWritten(), out);
  EXPECT_TRUE(link_.StillPresent());

  device->Unplug();
  EXPECT_TRUE(Read(2000).empty());  // the read fails at once, not after its limit
  EXPECT_FALSE(link_.StillPresent());
  EXPECT_FALSE(link_.WriteReport(out, &written, 1000));
  EXPECT_FALSE(link_.Reopen());
}

}  // namespace
}  // namespace keyloft
