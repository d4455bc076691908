#include "emu/descriptors.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace keyloft::emu {
namespace {

// A deliberately small walk over short items: enough to see that a descriptor is
// well formed and what its collections and reports are, independent of the
// program's own parser.
struct Walk {
  bool wellFormed = true;
  std::vector<std::pair<uint16_t, uint16_t>> collections;  // top-level usage page, usage
  std::map<std::tuple<char, uint8_t>, unsigned> reportBits;  // ('I'|'O', report id) -> bits
  std::map<uint8_t, size_t> collectionOfId;                  // report id -> top-level collection

  unsigned Bits(char type, uint8_t id) const {
    auto at = reportBits.find({type, id});
    return at == reportBits.end() ? 0 : at->second;
  }
};

Walk Broken() {
  Walk w;
  w.wellFormed = false;
  return w;
}

Walk WalkDescriptor(std::span<const uint8_t> d) {
  Walk w;
  uint16_t page = 0, usage = 0;
  unsigned size = 0, count = 0;
  uint8_t id = 0;
  int depth = 0;
  for (size_t at = 0; at < d.size();) {
    const uint8_t prefix = d[at];
    const size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (prefix == 0xFE || at + 1 + n > d.size()) return Broken();
    uint32_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint32_t{d[at + 1 + i]} << (8 * i);
    switch (prefix & 0xFC) {
      case 0x04: page = static_cast<uint16_t>(value); break;  // Usage Page
      case 0x08: usage = static_cast<uint16_t>(value); break;  // Usage
      case 0x74: size = value; break;                          // Report Size
      case 0x94: count = value; break;                         // Report Count
      case 0x84: id = static_cast<uint8_t>(value); break;      // Report ID
      case 0xA0:                                               // Collection
        if (depth++ == 0) w.collections.emplace_back(page, usage);
        break;
      case 0xC0:  // End Collection
        if (--depth < 0) return Broken();
        break;
      case 0x80:  // Input
      case 0x90:  // Output
        if (depth == 0) return Broken();
        w.reportBits[{(prefix & 0xFC) == 0x80 ? 'I' : 'O', id}] += size * count;
        w.collectionOfId[id] = w.collections.size() - 1;
        break;
      default: break;
    }
    at += 1 + n;
  }
  w.wellFormed = depth == 0;
  return w;
}

using Collections = std::vector<std::pair<uint16_t, uint16_t>>;

TEST(Descriptors, SplitLayoutHasThreeInterfacesWithTheExpectedCollections) {
  ASSERT_EQ(std::vector<int>(InterfacesOf(Layout::kSplit).begin(), InterfacesOf(Layout::kSplit).end()),
            (std::vector<int>{0, 1, 2}));

  Walk boot = WalkDescriptor(ReportDescriptor(kBootInterface, Layout::kSplit));
  ASSERT_TRUE(boot.wellFormed);
  EXPECT_EQ(boot.collections, (Collections{{0x01, 0x06}}));
  EXPECT_EQ(boot.Bits('I', 0), 64u) << "the 8-byte boot report, without report ids";
  EXPECT_EQ(boot.Bits('O', 0), 8u);

  Walk consumer = WalkDescriptor(ReportDescriptor(kConsumerInterface, Layout::kSplit));
  ASSERT_TRUE(consumer.wellFormed);
  EXPECT_EQ(consumer.collections, (Collections{{0x0C, 0x01}, {0x01, 0x80}}));
  EXPECT_EQ(consumer.Bits('I', kConsumerReportId), 16u);
  EXPECT_EQ(consumer.Bits('I', kSystemReportId), 8u);
  EXPECT_EQ(consumer.collectionOfId[kConsumerReportId], 0u);
  EXPECT_EQ(consumer.collectionOfId[kSystemReportId], 1u);

  const auto vendorBytes = ReportDescriptor(kVendorInterface, Layout::kSplit);
  Walk vendor = WalkDescriptor(vendorBytes);
  ASSERT_TRUE(vendor.wellFormed);
  EXPECT_EQ(vendor.collections, (Collections{{0xFF1C, 0x92}}));
  EXPECT_EQ(vendor.Bits('I', 4), 63u * 8) << "63 data bytes after the id: 64-byte reports";
  EXPECT_EQ(vendor.Bits('O', 4), 63u * 8);
  EXPECT_EQ(std::vector<uint8_t>(vendorBytes.begin(), vendorBytes.begin() + 5),
            (std::vector<uint8_t>{0x06, 0x1C, 0xFF, 0x09, 0x92}));
}

TEST(Descriptors, SharedLayoutPutsTheVendorCollectionThirdOnInterface1) {
  ASSERT_EQ(std::vector<int>(InterfacesOf(Layout::kShared).begin(), InterfacesOf(Layout::kShared).end()),
            (std::vector<int>{0, 1}));
  EXPECT_EQ(CommandInterface(Layout::kShared), kConsumerInterface);
  EXPECT_EQ(CommandInterface(Layout::kSplit), kVendorInterface);
  EXPECT_TRUE(ReportDescriptor(kVendorInterface, Layout::kShared).empty());

  Walk shared = WalkDescriptor(ReportDescriptor(kConsumerInterface, Layout::kShared));
  ASSERT_TRUE(shared.wellFormed);
  EXPECT_EQ(shared.collections, (Collections{{0x0C, 0x01}, {0x01, 0x80}, {0xFF1C, 0x92}}));
  EXPECT_EQ(shared.collectionOfId[4], 2u);
  EXPECT_EQ(shared.Bits('O', 4), 63u * 8);
  EXPECT_EQ(shared.Bits('I', kConsumerReportId), 16u);
}

TEST(Descriptors, HelloCarriesTheIdentityAndTheDescriptor) {
  const ModelSpec& model = *FindModel(2);
  const auto descriptor = ReportDescriptor(kVendorInterface, Layout::kSplit);
  const auto hello = HelloMessage(model, kVendorInterface, descriptor);
  ASSERT_EQ(hello.size(), 18 + descriptor.size());
  EXPECT_EQ(std::string(hello.begin(), hello.begin() + 8), "KLVHID01");
  const std::vector<uint8_t> header(hello.begin() + 8, hello.begin() + 18);
  const uint8_t n = static_cast<uint8_t>(descriptor.size());
  EXPECT_EQ(header, (std::vector<uint8_t>{0x0F, 0x32, 0x64, 0x50, 0x00, 0x01, 0x02, 0x00, n, 0x00}));
  EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.end(), hello.begin() + 18));
}

TEST(Descriptors, ConsumerReportIsLittleEndian) {
  EXPECT_EQ(ConsumerReport(kUsageProfileChanged), (std::array<uint8_t, 3>{3, 0x02, 0x04}));
  EXPECT_EQ(ConsumerReport(kUsageMacroStarted), (std::array<uint8_t, 3>{3, 0x11, 0x18}));
}

}  // namespace
}  // namespace keyloft::emu
