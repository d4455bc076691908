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

constexpr auto kReadWrite = HidLink::Access::ReadWrite;
constexpr auto kReadOnly = HidLink::Access::ReadOnly;

class HidrawLink : public ::testing::Test {
 protected:
  HidLink& Link() {
    if (!link_) link_ = std::make_unique<HidLink>(hidraw_.Config());
    return *link_;
  }

  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    const auto interfaces = Link().Enumerate();
    EXPECT_TRUE(interfaces);
    if (interfaces) {
      for (const auto& i : *interfaces) paths.push_back(i.path);
    }
    return paths;
  }

  std::string VendorPath() { return hidraw_.Node(3) + "#vid_0c45&pid_652f&mi_02&col01"; }

  TempDir dir_;
  FakeHidraw hidraw_{dir_};
  std::unique_ptr<HidLink> link_;
};

TEST_F(HidrawLink, WithNoInterfacesTheListIsEmpty) { EXPECT_TRUE(Paths().empty()); }

TEST_F(HidrawLink, TheListSaysWhatEachCollectionIs) {
  hidraw_.Add(2, 0x0C45, 0x652F, 1, kConsumerSystemDescriptor);
  const auto interfaces = Link().Enumerate();
  ASSERT_TRUE(interfaces);
  ASSERT_EQ(interfaces->size(), 2u);
  const HidInterfaceInfo& consumer = (*interfaces)[0];
  EXPECT_EQ(consumer.vendorId, 0x0C45);
  EXPECT_EQ(consumer.productId, 0x652F);
  EXPECT_EQ(consumer.interfaceNumber, 1u);
  EXPECT_EQ(consumer.collectionNumber, 1u);
  EXPECT_EQ(consumer.usagePage, 0x0C);
  EXPECT_EQ((*interfaces)[1].collectionNumber, 2u);
  EXPECT_EQ((*interfaces)[1].usagePage, 0x01);
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
  ASSERT_TRUE(Link().Open(VendorPath(), kReadWrite));
  const HidInterfaceInfo& info = Link().Info();
  EXPECT_EQ(info.usagePage, 0xFF1C);
  EXPECT_EQ(info.usage, 0x92);
  EXPECT_EQ(info.inputReportLength, 64);
  EXPECT_EQ(info.outputReportLength, 64);
  EXPECT_EQ(info.featureReportLength, 0);
  EXPECT_EQ(info.vendorId, 0x0C45);
  EXPECT_EQ(info.productId, 0x652F);
  EXPECT_EQ(info.versionNumber, 0x0105);
  EXPECT_EQ(info.interfaceNumber, 2u);
  EXPECT_EQ(info.collectionNumber, 1u);
  EXPECT_FALSE(Link().Open(hidraw_.Node(3) + "#vid_0c45&pid_652f&mi_02&col02", kReadWrite));
  EXPECT_FALSE(Link().IsOpen());
  EXPECT_EQ(Link().Info().inputReportLength, 0);
}

TEST_F(HidrawLink, MovesReportsThroughTheNode) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), kReadWrite));
  std::vector<uint8_t> out(64, 0);
  out[0] = 4;
  out[3] = 0x03;
  ASSERT_TRUE(Link().Write(out, 1000ms));
  std::vector<uint8_t> in(64, 0xEE);
  EXPECT_EQ(Link().Read(in, 300ms), 64u);  // the FIFO hands the report back
  EXPECT_EQ(in, out);
}

TEST_F(HidrawLink, AReadTimesOutWithNothingRead) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), kReadWrite));
  std::vector<uint8_t> in(64);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Link().Read(in, 300ms), std::nullopt);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 290ms);
  EXPECT_LT(elapsed, 2s);
}

TEST_F(HidrawLink, CloseFromAnotherThreadEndsAWaitingRead) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor);
  ASSERT_TRUE(Link().Open(VendorPath(), kReadWrite));
  auto reader = std::async(std::launch::async, [&] {
    std::vector<uint8_t> in(64);
    return Link().ReadUntilClosed(in);
  });
  while (!Link().Reading()) std::this_thread::yield();
  EXPECT_TRUE(Link().Close());
  ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(reader.get(), std::nullopt);
  EXPECT_FALSE(Link().IsOpen());
  // The link opens again afterwards and its transfers work.
  ASSERT_TRUE(Link().Reopen());
  std::vector<uint8_t> out(64, 4), in(64);
  EXPECT_TRUE(Link().Write(out, 1000ms));
  EXPECT_TRUE(Link().Read(in, 1000ms));
}

TEST_F(HidrawLink, CloseOfALinkNeverOpenedChangesNothing) {
  EXPECT_FALSE(Link().Close());
  std::vector<uint8_t> buf(64);
  EXPECT_EQ(Link().Read(buf, 10ms), std::nullopt);
  EXPECT_FALSE(Link().Write(buf, 10ms));
  EXPECT_FALSE(Link().StillPresent());
}

TEST_F(HidrawLink, PresenceMeansTheSameDevice) {
  hidraw_.Add(3, 0x0C45, 0x652F, 2, kVendorDescriptor, 7);
  ASSERT_TRUE(Link().Open(VendorPath(), kReadWrite));
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
  VhidLink() : link_(HidTransportConfig::Vhid(dir_.Path())) {}

  std::unique_ptr<FakeVhidDevice> Device(const std::string& name, uint16_t iface, std::vector<uint8_t> descriptor) {
    return std::make_unique<FakeVhidDevice>(dir_ / name, VhidHello{0x0C45, 0x652F, 0x0100, iface, std::move(descriptor)});
  }

  std::string PathOf(const std::string& name, int iface, int col) {
    char id[64];
    std::snprintf(id, sizeof id, "#vid_0c45&pid_652f&mi_%02x&col%02x", iface, col);
    return (dir_ / name).string() + id;
  }

  std::vector<uint8_t> Read(std::chrono::milliseconds timeout = 2000ms) {
    std::vector<uint8_t> in(link_.Info().inputReportLength);
    const auto n = link_.Read(in, timeout);
    if (!n) return {};
    in.resize(*n);
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
  const auto interfaces = link_.Enumerate();
  ASSERT_TRUE(interfaces);
  std::vector<std::string> paths;
  for (const auto& i : *interfaces) paths.push_back(i.path);
  EXPECT_EQ(paths, (std::vector<std::string>{PathOf("kb-mi_01.sock", 1, 1), PathOf("kb-mi_01.sock", 1, 2),
                                                         PathOf("kb-mi_02.sock", 2, 1)}));
}

TEST_F(VhidLink, ACollectionSeesOnlyItsOwnReports) {
  auto device = Device("kb-mi_01.sock", 1, Concat(kConsumerSystemDescriptor, kVendorDescriptor));
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_01.sock", 1, 1), kReadOnly));
  ASSERT_TRUE(device->WaitForHosts(1));
  EXPECT_EQ(link_.Info().usagePage, 0x0C);
  device->Send({0x02, 0x01});              // system control
  device->Send(std::vector<uint8_t>(64, 4));  // the vendor collection
  device->Send({0x03, 0x02, 0x04});        // consumer usage 0x0402
  device->Send({0x03, 0x00, 0x00});        // and its release
  auto report = Read();
  ASSERT_EQ(report, (std::vector<uint8_t>{0x03, 0x02, 0x04}));

  EXPECT_EQ(link_.UsagesDown(report), std::vector<uint16_t>{0x0402});
  EXPECT_TRUE(link_.UsagesDown(Read()).empty());
}

TEST_F(VhidLink, UnnumberedReportsGetAZeroIdAndDecodeLikeWindows) {
  auto device = Device("kb-mi_00.sock", 0, kBootKeyboardDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_00.sock", 0, 1), kReadOnly));
  ASSERT_TRUE(device->WaitForHosts(1));
  EXPECT_EQ(link_.Info().inputReportLength, 9);
  device->Send({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});  // Left Shift (0xE1) and A (0x04) down
  auto report = Read();
  ASSERT_EQ(report, (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x04, 0, 0, 0, 0, 0}));

  // The modifier byte's Left Shift first, then the key array's A.
  EXPECT_EQ(link_.UsagesDown(report), (std::vector<uint16_t>{0xE1, 0x04}));
}

TEST_F(VhidLink, AMouseReportGivesItsButtonsAndValues) {
  auto device = Device("mouse-mi_00.sock", 0, test::kMouseDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("mouse-mi_00.sock", 0, 1), kReadOnly));
  ASSERT_TRUE(device->WaitForHosts(1));
  device->Send({0x01, 0x05, 0xFF, 0x01});  // button 1, X +5, Y -1, wheel +1
  const std::vector<uint8_t> report = Read();
  EXPECT_EQ(link_.UsagesDown(report), std::vector<uint16_t>{1});
  // The values, as the descriptor decodes them.
  HidDescriptor mouse;
  ASSERT_EQ(ParseReportDescriptor(test::kMouseDescriptor, mouse), HidParseStatus::kOk);
  const HidCollection& c = mouse.collections[0];
  int32_t scaled = 0;
  uint32_t value = 0;
  ASSERT_EQ(HidGetScaledUsageValue(c, HidP_Input, 1, 0x30, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, 5);
  ASSERT_EQ(HidGetUsageValue(c, HidP_Input, 1, 0x31, report, value), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0xFFu);
  ASSERT_EQ(HidGetScaledUsageValue(c, HidP_Input, 1, 0x31, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, -1);
  ASSERT_EQ(HidGetScaledUsageValue(c, HidP_Input, 1, 0x32, report, scaled), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, 1);
}

TEST_F(VhidLink, WritesReachTheDeviceAndAnUnplugEndsTheLink) {
  auto device = Device("kb-mi_02.sock", 2, kVendorDescriptor);
  ASSERT_TRUE(link_.Open(PathOf("kb-mi_02.sock", 2, 1), kReadWrite));
  std::vector<uint8_t> out(64, 0);
  out[0] = 4;
  out[3] = 1;
  ASSERT_TRUE(link_.Write(out, 1000ms));
  EXPECT_EQ(device->NextWritten(), out);
  EXPECT_TRUE(link_.StillPresent());

  device->Unplug();
  EXPECT_TRUE(Read(2000ms).empty());  // the read fails at once, not after its limit
  EXPECT_FALSE(link_.StillPresent());
  EXPECT_FALSE(link_.Write(out, 1000ms));
  EXPECT_FALSE(link_.Reopen());
}

}  // namespace
}  // namespace keyloft
