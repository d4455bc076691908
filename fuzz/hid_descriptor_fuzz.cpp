// Report descriptors and reports from outside: parsing never fails out of
// bounds, and every report of every collection decodes consistently with the
// capabilities the parser gave.
//
// Input: byte 0 is n; the next min(2n, rest) bytes are the descriptor; the
// bytes after it are the report data, put after each report id in turn.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "device/hid_descriptor.h"

namespace {

using namespace keyloft;

void Check(bool ok) {
  if (!ok) std::abort();
}

// At most this many usages of a value range are read per report.
constexpr uint32_t kValueUsagesPerCaps = 64;

// The first value capability of the report that names the usage: the one the
// decoder must read.
const HidValueCaps* FirstValueCaps(const HidCollection& c, HidReportType type, uint8_t id, uint16_t page,
                                   uint16_t usage) {
  for (const auto& v : c.valueCaps[type]) {
    if (v.reportId == id && v.usagePage == page && usage >= v.usageMin && usage <= v.usageMax) return &v;
  }
  return nullptr;
}

void CheckButtons(const HidCollection& c, HidReportType type, const std::vector<uint8_t>& report) {
  std::vector<uint16_t> usages;
  std::vector<uint16_t> pages = {0};
  for (const auto& b : c.buttonCaps[type]) pages.push_back(b.usagePage);
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  for (uint16_t page : pages) {
    uint32_t status = HidGetUsages(c, type, page, report, usages);
    const size_t max = HidMaxUsageListLength(c, type, page);
    Check(status == HIDP_STATUS_SUCCESS || status == HIDP_STATUS_USAGE_NOT_FOUND ||
          status == HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
    Check(status == HIDP_STATUS_SUCCESS || usages.empty());
    Check(usages.size() <= max);
    Check(std::find(usages.begin(), usages.end(), 0) == usages.end());
    // A page with button capabilities in this report is found.
    for (const auto& b : c.buttonCaps[type]) {
      if (b.reportId == report[0] && (page == 0 || b.usagePage == page)) Check(status == HIDP_STATUS_SUCCESS);
    }
  }
}

void CheckValues(const HidCollection& c, HidReportType type, const std::vector<uint8_t>& report) {
  for (const auto& v : c.valueCaps[type]) {
    Check(v.usageMin <= v.usageMax);
    Check(uint32_t{v.usageMax} - v.usageMin < v.reportCount);
    const uint32_t last = std::min<uint32_t>(v.usageMax, v.usageMin + kValueUsagesPerCaps - 1);
    for (uint32_t u = v.usageMin; u <= last; ++u) {
      const auto usage = static_cast<uint16_t>(u);
      uint32_t raw = 0;
      int32_t scaled = 0;
      uint32_t status = HidGetUsageValue(c, type, v.usagePage, usage, report, raw);
      uint32_t scaledStatus = HidGetScaledUsageValue(c, type, v.usagePage, usage, report, scaled);
      const HidValueCaps* owner = FirstValueCaps(c, type, report[0], v.usagePage, usage);
      if (!owner) {
        Check(status == HIDP_STATUS_INCOMPATIBLE_REPORT_ID && scaledStatus == status);
        continue;
      }
      if (owner->bitSize > 32) {  // wider than the results: refused, never cut
        Check(status == HIDP_STATUS_BUFFER_TOO_SMALL && scaledStatus == status && raw == 0 && scaled == 0);
        continue;
      }
      Check(status == HIDP_STATUS_SUCCESS);
      Check(owner->bitSize == 32 || raw >> owner->bitSize == 0);
      if (scaledStatus != HIDP_STATUS_SUCCESS) {
        Check(scaledStatus == HIDP_STATUS_BAD_LOG_PHY_VALUES || scaledStatus == HIDP_STATUS_NULL ||
              scaledStatus == HIDP_STATUS_VALUE_OUT_OF_RANGE);
        Check(scaledStatus != HIDP_STATUS_NULL || owner->hasNull);
        continue;
      }
      int64_t low = owner->physicalMin;
      int64_t high = owner->physicalMax;
      if (low == 0 && high == 0) {
        low = owner->logicalMin;
        high = owner->logicalMax;
      }
      Check(scaled >= low && scaled <= high);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t descriptorSize = std::min<size_t>(size_t{data[0]} * 2, size - 1);
  std::span<const uint8_t> descriptor(data + 1, descriptorSize);
  std::span<const uint8_t> tail(data + 1 + descriptorSize, size - 1 - descriptorSize);

  HidDescriptor parsed;
  if (ParseReportDescriptor(descriptor, parsed) != HidParseStatus::kOk) {
    Check(parsed.collections.empty());
    return 0;
  }
  Check(!parsed.collections.empty());

  std::vector<uint8_t> report;
  for (const auto& c : parsed.collections) {
    for (size_t t = 0; t < kHidReportTypes; ++t) {
      const auto type = static_cast<HidReportType>(t);
      const auto& ids = c.reportIds[t];
      Check(c.reportByteLength[t] <= 4096);
      Check(ids.empty() == (c.reportByteLength[t] == 0));
      Check(parsed.usesReportIds || ids.empty() || ids == std::vector<uint8_t>{0});
      for (const auto& b : c.buttonCaps[t]) Check(std::find(ids.begin(), ids.end(), b.reportId) != ids.end());
      for (const auto& v : c.valueCaps[t]) Check(std::find(ids.begin(), ids.end(), v.reportId) != ids.end());

      for (uint8_t id : ids) {
        Check(CollectionOfReport(parsed, type, id) != nullptr);
        report.assign(c.reportByteLength[t], 0);
        report[0] = id;
        std::copy_n(tail.begin(), std::min(tail.size(), report.size() - 1), report.begin() + 1);
        CheckButtons(c, type, report);
        CheckValues(c, type, report);

        std::vector<uint16_t> usages;
        report.pop_back();
        if (!report.empty()) {
          Check(HidGetUsages(c, type, 0, report, usages) == HIDP_STATUS_INVALID_REPORT_LENGTH);
        }
      }
    }
  }
  return 0;
}
