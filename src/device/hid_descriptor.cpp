#include "device/hid_descriptor.h"

#include <algorithm>
#include <limits>

namespace keyloft {
namespace {

// Bounds no real device comes near; they keep a hostile descriptor from
// costing more than a few megabytes or from nesting without end.
constexpr size_t kMaxReportBytes = 4096;  // report id byte included
// As Linux takes them: a pen's 64-bit serial number or a vendor blob must not
// cost the whole node its collections.
constexpr uint32_t kMaxReportSize = 256;
constexpr uint32_t kMaxReportCount = 4096;
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxCollectionDepth = 32;
constexpr size_t kMaxTopLevelCollections = 64;
constexpr size_t kMaxLinkCollections = 1024;  // nested ones, over the whole descriptor
constexpr size_t kMaxFields = 4096;
constexpr size_t kMaxUsages = 65536;  // stored in fields or waiting in one local block

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : uint8_t { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };

enum GlobalTag : uint8_t {
  kUsagePage = 0x0, kLogicalMin = 0x1, kLogicalMax = 0x2, kPhysicalMin = 0x3, kPhysicalMax = 0x4,
  kUnitExponent = 0x5, kUnit = 0x6, kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9,
  kPush = 0xA, kPop = 0xB,
};

enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2, kDelimiter = 0xA };

// Main item flags.
constexpr uint32_t kConstantFlag = 0x01;
constexpr uint32_t kVariableFlag = 0x02;
constexpr uint32_t kNullStateFlag = 0x40;

struct Item {
  uint8_t type = 0;
  uint8_t tag = 0;
  uint8_t size = 0;  // data bytes: 0, 1, 2 or 4
  uint32_t data = 0;

  int32_t Signed() const {
    switch (size) {
      case 1: return static_cast<int8_t>(data);
      case 2: return static_cast<int16_t>(data);
      case 4: return static_cast<int32_t>(data);
      default: return 0;
    }
  }
};

// A maximum whose sign depends on the minimum beside it: signed when the
// minimum is negative, unsigned otherwise (so "25 FF" after "15 00" is 255).
// Kept raw so the order of the two items does not matter.
struct RawMax {
  uint32_t data = 0;
  uint8_t size = 0;

  int32_t Resolve(int32_t min) const {
    Item item{kGlobal, 0, size, data};
    if (min < 0) return item.Signed();
    return static_cast<int32_t>(std::min<uint32_t>(data, std::numeric_limits<int32_t>::max()));
  }
};

struct Globals {
  uint16_t usagePage = 0;
  int32_t logicalMin = 0;
  RawMax logicalMax;
  int32_t physicalMin = 0;
  RawMax physicalMax;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportId = 0;
};

// A Usage, Usage Minimum or Usage Maximum as written: a 4-byte one carries its
// page, a shorter one takes the page in force at the main item.
struct RawUsage {
  uint32_t data = 0;
  bool extended = false;

  uint32_t Resolve(uint16_t page) const { return extended ? data : (uint32_t{page} << 16 | (data & 0xFFFF)); }
};

struct RawUsageEntry {
  RawUsage first;
  RawUsage last;
  bool isRange = false;
};

// A usage or a range of usages on one page.
struct UsageEntry {
  uint16_t page = 0;
  uint16_t min = 0;
  uint16_t max = 0;
  bool isRange = false;

  size_t Size() const { return size_t{max} - min + 1; }
};

struct Locals {
  std::vector<RawUsageEntry> usages;
  bool hasMin = false;
  bool hasMax = false;
  RawUsage min;
  RawUsage max;
  int delimiterDepth = 0;
  bool delimiterTaken = false;  // the set's first usage is in; the rest are aliases
};

uint16_t Low16(uint32_t usage) { return static_cast<uint16_t>(usage & 0xFFFF); }
uint16_t High16(uint32_t usage) { return static_cast<uint16_t>(usage >> 16); }

// Reads one item at pos and moves past it. Long items are skipped whole and
// reported as type 3, which nothing handles.
bool ReadItem(std::span<const uint8_t> d, size_t& pos, Item& item) {
  const uint8_t prefix = d[pos];
  if (prefix == 0xFE) {
    if (d.size() - pos < 3) return false;
    const size_t length = d[pos + 1];
    if (d.size() - pos - 3 < length) return false;
    item = Item{3, 0, 0, 0};
    pos += 3 + length;
    return true;
  }
  static constexpr uint8_t kSizes[4] = {0, 1, 2, 4};
  const uint8_t size = kSizes[prefix & 3];
  if (d.size() - pos - 1 < size) return false;
  uint32_t data = 0;
  for (uint8_t i = 0; i < size; ++i) data |= uint32_t{d[pos + 1 + i]} << (8 * i);
  item = Item{static_cast<uint8_t>((prefix >> 2) & 3), static_cast<uint8_t>(prefix >> 4), size, data};
  pos += 1 + size;
  return true;
}

// Walks the items and builds the descriptor.
class Parser {
 public:
  HidParseStatus Run(std::span<const uint8_t> d, HidDescriptor& out) {
    size_t pos = 0;
    while (pos < d.size()) {
      Item item;
      if (!ReadItem(d, pos, item)) return HidParseStatus::kTruncatedItem;
      HidParseStatus status = HidParseStatus::kOk;
      switch (item.type) {
        case kMain: status = Main(item); break;
        case kGlobal: status = Global(item); break;
        case kLocal: status = Local(item); break;
        default: break;
      }
      if (status != HidParseStatus::kOk) return status;
    }
    if (!open_.empty()) return HidParseStatus::kUnbalancedCollection;
    if (desc_.collections.empty()) return HidParseStatus::kEmpty;
    Finish();
    out = std::move(desc_);
    return HidParseStatus::kOk;
  }

 private:
  HidParseStatus Global(const Item& item) {
    switch (item.tag) {
      case kUsagePage: g_.usagePage = static_cast<uint16_t>(item.data); break;
      case kLogicalMin: g_.logicalMin = item.Signed(); break;
      case kLogicalMax: g_.logicalMax = {item.data, item.size}; break;
      case kPhysicalMin: g_.physicalMin = item.Signed(); break;
      case kPhysicalMax: g_.physicalMax = {item.data, item.size}; break;
      case kReportSize: g_.reportSize = item.data; break;
      case kReportCount: g_.reportCount = item.data; break;
      case kReportId:
        if (item.data == 0 || item.data > 0xFF) return HidParseStatus::kBadReportSize;
        g_.reportId = static_cast<uint8_t>(item.data);
        desc_.usesReportIds = true;
        break;
      case kPush:
        if (stack_.size() >= kMaxPushDepth) return HidParseStatus::kUnbalancedPushPop;
        stack_.push_back(g_);
        break;
      case kPop:
        if (stack_.empty()) return HidParseStatus::kUnbalancedPushPop;
        g_ = stack_.back();
        stack_.pop_back();
        break;
      default: break;  // units have no place in the capabilities
    }
    return HidParseStatus::kOk;
  }

  HidParseStatus Local(const Item& item) {
    const RawUsage usage{item.data, item.size == 4};
    if (item.tag == kDelimiter) {
      if (item.data == 1) {
        ++l_.delimiterDepth;
        l_.delimiterTaken = false;
      } else if (l_.delimiterDepth > 0) {
        --l_.delimiterDepth;
      }
      return HidParseStatus::kOk;
    }
    if (item.tag != kUsage && item.tag != kUsageMin && item.tag != kUsageMax) return HidParseStatus::kOk;
    if (l_.delimiterDepth > 0 && l_.delimiterTaken) return HidParseStatus::kOk;
    if (l_.usages.size() >= kMaxUsages) return HidParseStatus::kTooComplex;
    if (item.tag == kUsage) {
      l_.usages.push_back({usage, usage, false});
      l_.delimiterTaken = true;
      return HidParseStatus::kOk;
    }
    // A minimum and a maximum pair up in either order; a lone one left over
    // names a single usage.
    bool isMin = item.tag == kUsageMin;
    bool& same = isMin ? l_.hasMin : l_.hasMax;
    RawUsage& sameValue = isMin ? l_.min : l_.max;
    if (same) l_.usages.push_back({sameValue, sameValue, false});
    same = true;
    sameValue = usage;
    if (l_.hasMin && l_.hasMax) {
      l_.usages.push_back({l_.min, l_.max, true});
      l_.hasMin = l_.hasMax = false;
      l_.delimiterTaken = true;
    }
    return HidParseStatus::kOk;
  }

  // The local usages with their pages, lone range ends as single usages.
  HidParseStatus TakeUsages(std::vector<UsageEntry>& entries) {
    if (l_.hasMin) l_.usages.push_back({l_.min, l_.min, false});
    if (l_.hasMax) l_.usages.push_back({l_.max, l_.max, false});
    entries.clear();
    entries.reserve(l_.usages.size());
    for (const auto& raw : l_.usages) {
      uint32_t first = raw.first.Resolve(g_.usagePage);
      uint32_t last = raw.last.Resolve(g_.usagePage);
      if (High16(first) != High16(last) || Low16(last) < Low16(first)) return HidParseStatus::kTooComplex;
      entries.push_back({High16(first), Low16(first), Low16(last), raw.isRange});
    }
    return HidParseStatus::kOk;
  }

  HidParseStatus Main(const Item& item) {
    HidParseStatus status = HidParseStatus::kOk;
    switch (item.tag) {
      case kInput: status = DataItem(HidP_Input, item.data); break;
      case kOutput: status = DataItem(HidP_Output, item.data); break;
      case kFeature: status = DataItem(HidP_Feature, item.data); break;
      case kCollection: status = OpenCollection(); break;
      case kEndCollection:
        if (open_.empty()) return HidParseStatus::kUnbalancedCollection;
        open_.pop_back();
        break;
      default: break;
    }
    l_ = Locals();
    return status;
  }

  HidParseStatus OpenCollection() {
    if (open_.size() >= kMaxCollectionDepth) return HidParseStatus::kTooComplex;
    if (!open_.empty()) {
      if (++nestedCollections_ > kMaxLinkCollections) return HidParseStatus::kTooComplex;
      open_.push_back(static_cast<uint16_t>(linkCount_++));
      return HidParseStatus::kOk;
    }
    if (desc_.collections.size() >= kMaxTopLevelCollections) return HidParseStatus::kTooComplex;
    std::vector<UsageEntry> entries;
    if (HidParseStatus status = TakeUsages(entries); status != HidParseStatus::kOk) return status;
    HidCollection& c = desc_.collections.emplace_back();
    c.usagePage = entries.empty() ? g_.usagePage : entries.front().page;
    c.usage = entries.empty() ? 0 : entries.front().min;
    linkCount_ = 1;  // index 0 is the top-level collection itself
    open_.push_back(0);
    return HidParseStatus::kOk;
  }

  HidParseStatus DataItem(HidReportType type, uint32_t flags) {
    if (open_.empty()) return HidParseStatus::kMainItemOutsideCollection;
    const bool constant = flags & kConstantFlag;
    const uint32_t size = g_.reportSize;
    const uint32_t count = g_.reportCount;
    // Padding may be empty; data may not.
    if (size > kMaxReportSize || count > kMaxReportCount || (!constant && (size == 0 || count == 0))) {
      return HidParseStatus::kBadReportSize;
    }
    if (++fieldCount_ > kMaxFields) return HidParseStatus::kTooComplex;
    uint32_t& bits = bits_[type][g_.reportId];
    const uint32_t end = bits + size * count;  // at most 4096 bytes before and 2^20 bits added: no overflow
    if ((end + 7) / 8 + 1 > kMaxReportBytes) return HidParseStatus::kReportTooLong;

    HidCollection& c = desc_.collections.back();
    HidField field;
    field.type = type;
    field.reportId = g_.reportId;
    field.bitOffset = bits;
    field.bitSize = static_cast<uint16_t>(size);
    field.count = static_cast<uint16_t>(count);
    field.isArray = !(flags & kVariableFlag);
    field.isConstant = constant;
    field.hasNull = flags & kNullStateFlag;
    field.usagePage = g_.usagePage;
    field.logicalMin = g_.logicalMin;
    field.logicalMax = g_.logicalMax.Resolve(g_.logicalMin);
    field.physicalMin = g_.physicalMin;
    field.physicalMax = g_.physicalMax.Resolve(g_.physicalMin);
    bits = end;

    if (!constant) {
      std::vector<UsageEntry> entries;
      if (HidParseStatus status = TakeUsages(entries); status != HidParseStatus::kOk) return status;
      // A data item without usages still has its controls: usage 0, which is
      // never reported down.
      if (entries.empty()) entries.push_back({g_.usagePage, 0, 0, false});
      HidParseStatus status = field.isArray ? ArrayCaps(c, field, entries) : VariableCaps(c, field, entries);
      if (status != HidParseStatus::kOk) return status;
    }
    if (std::find(c.reportIds[type].begin(), c.reportIds[type].end(), field.reportId) == c.reportIds[type].end()) {
      c.reportIds[type].push_back(field.reportId);
    }
    c.fields.push_back(std::move(field));
    return HidParseStatus::kOk;
  }

  // An array maps each value to one of all its usages, so every usage is kept.
  // One capability per listed usage or range, as Windows gives: a caller that
  // keeps only the usages inside a capability then sees exactly the usages of
  // that part of the list.
  HidParseStatus ArrayCaps(HidCollection& c, HidField& field, const std::vector<UsageEntry>& entries) {
    size_t total = 0;
    for (const auto& e : entries) total += e.Size();
    if (total > kMaxUsages - usageCount_) return HidParseStatus::kTooComplex;
    usageCount_ += total;
    field.usages.reserve(total);
    for (const auto& e : entries) {
      for (uint32_t u = e.min; u <= e.max; ++u) field.usages.push_back(uint32_t{e.page} << 16 | u);
      c.buttonCaps[field.type].push_back(ButtonCaps(field, e.page, e.isRange, e.min, e.max));
    }
    return HidParseStatus::kOk;
  }

  // A variable item has one usage per control: a range hands out its usages in
  // turn, and the last usage also names every control left over. One
  // capability per usage or range, covering only the usages that got controls,
  // so a value range is never wider than the item's count.
  HidParseStatus VariableCaps(HidCollection& c, HidField& field, const std::vector<UsageEntry>& entries) {
    if (field.count > kMaxUsages - usageCount_) return HidParseStatus::kTooComplex;
    usageCount_ += field.count;
    field.usages.reserve(field.count);
    size_t remaining = field.count;
    for (size_t i = 0; i < entries.size() && remaining > 0; ++i) {
      const UsageEntry& e = entries[i];
      const size_t named = std::min(e.Size(), remaining);
      const size_t controls = i + 1 == entries.size() ? remaining : named;
      for (size_t k = 0; k < controls; ++k) {
        field.usages.push_back(uint32_t{e.page} << 16 | static_cast<uint32_t>(e.min + std::min(k, named - 1)));
      }
      remaining -= controls;
      const auto max = static_cast<uint16_t>(e.min + named - 1);
      if (field.bitSize == 1) {
        c.buttonCaps[field.type].push_back(ButtonCaps(field, e.page, e.isRange, e.min, max));
      } else {
        c.valueCaps[field.type].push_back(ValueCaps(field, e.page, e.isRange, e.min, max, controls));
      }
    }
    return HidParseStatus::kOk;
  }

  HidButtonCaps ButtonCaps(const HidField& field, uint16_t page, bool isRange, uint16_t min, uint16_t max) const {
    HidButtonCaps caps;
    caps.usagePage = page;
    caps.reportId = field.reportId;
    caps.isRange = isRange;
    caps.usageMin = min;
    caps.usageMax = max;
    caps.linkCollection = open_.back();
    return caps;
  }

  HidValueCaps ValueCaps(const HidField& field, uint16_t page, bool isRange, uint16_t min, uint16_t max,
                         size_t controls) const {
    HidValueCaps caps;
    caps.usagePage = page;
    caps.reportId = field.reportId;
    caps.isRange = isRange;
    caps.usageMin = min;
    caps.usageMax = max;
    caps.linkCollection = open_.back();
    caps.bitSize = field.bitSize;
    caps.reportCount = static_cast<uint16_t>(controls);
    caps.hasNull = field.hasNull;
    caps.logicalMin = field.logicalMin;
    caps.logicalMax = field.logicalMax;
    caps.physicalMin = field.physicalMin;
    caps.physicalMax = field.physicalMax;
    return caps;
  }

  // Lengths come last: a report id used again later grows every collection
  // that holds it.
  void Finish() {
    for (auto& c : desc_.collections) {
      for (size_t t = 0; t < kHidReportTypes; ++t) {
        std::sort(c.reportIds[t].begin(), c.reportIds[t].end());
        uint32_t longest = 0;
        for (uint8_t id : c.reportIds[t]) longest = std::max(longest, (bits_[t][id] + 7) / 8 + 1);
        c.reportByteLength[t] = static_cast<uint16_t>(longest);
      }
    }
  }

  HidDescriptor desc_;
  Globals g_;
  std::vector<Globals> stack_;
  Locals l_;
  std::vector<uint16_t> open_;  // link collection index of every open collection
  size_t linkCount_ = 0;        // in the current top-level collection
  size_t nestedCollections_ = 0;
  size_t fieldCount_ = 0;
  size_t usageCount_ = 0;
  std::array<std::array<uint32_t, 256>, kHidReportTypes> bits_{};
};

// ---- Decoding ----

bool ValidType(HidReportType type) { return type >= HidP_Input && type <= HidP_Feature; }

// Checks type, length and report id as the Windows parser does.
uint32_t CheckReport(const HidCollection& c, HidReportType type, std::span<const uint8_t> report) {
  if (!ValidType(type)) return HIDP_STATUS_INVALID_REPORT_TYPE;
  if (report.empty() || report.size() < c.reportByteLength[type]) return HIDP_STATUS_INVALID_REPORT_LENGTH;
  const auto& ids = c.reportIds[type];
  if (std::find(ids.begin(), ids.end(), report[0]) == ids.end()) return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  return HIDP_STATUS_SUCCESS;
}

// Values come out in 32 bits; a field may be wider (up to 256 bits).
constexpr uint32_t kMaxReadableBits = 32;

// bitSize (1..32) bits at bitOffset of the data after the id byte; bits past
// the end read as 0.
uint32_t ReadBits(std::span<const uint8_t> report, uint32_t bitOffset, uint32_t bitSize) {
  const size_t first = 1 + bitOffset / 8;
  const uint32_t shift = bitOffset % 8;
  uint64_t acc = 0;
  for (size_t i = 0; i * 8 < shift + bitSize; ++i) {
    if (first + i < report.size()) acc |= uint64_t{report[first + i]} << (8 * i);
  }
  return static_cast<uint32_t>((acc >> shift) & ((uint64_t{1} << bitSize) - 1));
}

int64_t SignExtend(uint32_t raw, uint32_t bitSize) {
  if (bitSize >= 32) return static_cast<int32_t>(raw);
  const uint32_t sign = uint32_t{1} << (bitSize - 1);
  return (raw & sign) ? int64_t{raw} - (int64_t{1} << bitSize) : int64_t{raw};
}

int64_t LogicalValue(const HidField& f, uint32_t raw) {
  return f.logicalMin < 0 ? SignExtend(raw, f.bitSize) : int64_t{raw};
}

// The logical value of the control at bitOffset; false when it does not fit 32
// bits, which only a field wider than that can hold. Logical bounds are 32-bit,
// so such a value is outside them whatever the rest of its bits say.
bool ReadLogical(std::span<const uint8_t> report, const HidField& f, uint32_t bitOffset, int64_t& value) {
  if (f.bitSize <= kMaxReadableBits) {
    value = LogicalValue(f, ReadBits(report, bitOffset, f.bitSize));
    return true;
  }
  // Wider: it fits when every bit above the low 32 repeats the sign (bit 31 of a
  // signed field, 0 otherwise).
  const uint32_t low = ReadBits(report, bitOffset, 32);
  const bool negative = f.logicalMin < 0 && (low >> 31) != 0;
  for (uint32_t at = 32; at < f.bitSize; at += 32) {
    const uint32_t n = std::min<uint32_t>(32, f.bitSize - at);
    const uint32_t fill = !negative ? 0 : n == 32 ? UINT32_MAX : (uint32_t{1} << n) - 1;
    if (ReadBits(report, bitOffset + at, n) != fill) return false;
  }
  value = f.logicalMin < 0 ? int64_t{static_cast<int32_t>(low)} : int64_t{low};
  return true;
}

bool IsButtonField(const HidField& f) { return !f.isConstant && (f.isArray || f.bitSize == 1); }
bool IsValueField(const HidField& f) { return !f.isConstant && !f.isArray && f.bitSize > 1; }

bool OnPage(uint32_t usage, uint16_t page) { return page == 0 || High16(usage) == page; }

bool HasPage(const HidField& f, uint16_t page) {
  return std::any_of(f.usages.begin(), f.usages.end(), [page](uint32_t u) { return OnPage(u, page); });
}

// The value field and control of a usage in this report. USAGE_NOT_FOUND when
// no report of the type has it, INCOMPATIBLE_REPORT_ID when only others do.
uint32_t FindValue(const HidCollection& c, HidReportType type, uint16_t page, uint16_t usage, uint8_t reportId,
                   const HidField*& found, size_t& control) {
  const uint32_t wanted = uint32_t{page} << 16 | usage;
  bool elsewhere = false;
  for (const auto& f : c.fields) {
    if (f.type != type || !IsValueField(f)) continue;
    auto it = std::find(f.usages.begin(), f.usages.end(), wanted);
    if (it == f.usages.end()) continue;
    if (f.reportId != reportId) {
      elsewhere = true;
      continue;
    }
    found = &f;
    control = static_cast<size_t>(it - f.usages.begin());
    return HIDP_STATUS_SUCCESS;
  }
  return elsewhere ? HIDP_STATUS_INCOMPATIBLE_REPORT_ID : HIDP_STATUS_USAGE_NOT_FOUND;
}

}  // namespace

std::string_view DescribeHidParseStatus(HidParseStatus status) {
  switch (status) {
    case HidParseStatus::kOk: return "parsed";
    case HidParseStatus::kEmpty: return "no top-level collection";
    case HidParseStatus::kTruncatedItem: return "an item runs past the end";
    case HidParseStatus::kUnbalancedCollection: return "collections do not balance";
    case HidParseStatus::kUnbalancedPushPop: return "push and pop do not balance";
    case HidParseStatus::kBadReportSize: return "bad report size, count or id";
    case HidParseStatus::kReportTooLong: return "a report is longer than 4096 bytes";
    case HidParseStatus::kMainItemOutsideCollection: return "a main item outside any collection";
    case HidParseStatus::kTooComplex: return "too many usages, fields or collections";
  }
  return "unknown status";
}

HidParseStatus ParseReportDescriptor(std::span<const uint8_t> descriptor, HidDescriptor& out) {
  out = HidDescriptor();
  if (descriptor.empty()) return HidParseStatus::kEmpty;
  return Parser().Run(descriptor, out);
}

const HidCollection* CollectionOfReport(const HidDescriptor& descriptor, HidReportType type, uint8_t reportId) {
  if (!ValidType(type)) return nullptr;
  for (const auto& c : descriptor.collections) {
    const auto& ids = c.reportIds[type];
    if (std::find(ids.begin(), ids.end(), reportId) != ids.end()) return &c;
  }
  return nullptr;
}

uint32_t HidGetUsages(const HidCollection& collection, HidReportType type, uint16_t usagePage,
                      std::span<const uint8_t> report, std::vector<uint16_t>& usages) {
  usages.clear();
  if (uint32_t status = CheckReport(collection, type, report); status != HIDP_STATUS_SUCCESS) return status;
  const uint8_t reportId = report[0];
  bool onPage = false;
  bool inReport = false;
  for (const auto& f : collection.fields) {
    if (f.type != type || !IsButtonField(f) || !HasPage(f, usagePage)) continue;
    onPage = true;
    if (f.reportId != reportId) continue;
    inReport = true;
    // Usage 0 means nothing and ends the callers' 0-terminated lists, so it is
    // never reported.
    for (uint32_t k = 0; k < f.count; ++k) {
      const uint32_t bitOffset = f.bitOffset + k * f.bitSize;
      uint32_t usage = 0;
      if (f.isArray) {
        int64_t v = 0;
        if (!ReadLogical(report, f, bitOffset, v) || v < f.logicalMin || v > f.logicalMax) continue;
        const auto index = static_cast<size_t>(v - f.logicalMin);
        if (index >= f.usages.size()) continue;
        usage = f.usages[index];
      } else {
        if (ReadBits(report, bitOffset, 1) == 0) continue;  // a variable button is one bit
        usage = f.usages[k];
      }
      if (Low16(usage) != 0 && OnPage(usage, usagePage)) usages.push_back(Low16(usage));
    }
  }
  if (!onPage) return HIDP_STATUS_USAGE_NOT_FOUND;
  if (!inReport) return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  return HIDP_STATUS_SUCCESS;
}

size_t HidMaxUsageListLength(const HidCollection& collection, HidReportType type, uint16_t usagePage) {
  if (!ValidType(type)) return 0;
  size_t total = 0;
  for (const auto& f : collection.fields) {
    if (f.type != type || !IsButtonField(f)) continue;
    if (f.isArray) {
      if (HasPage(f, usagePage)) total += f.count;
    } else {
      total += static_cast<size_t>(
          std::count_if(f.usages.begin(), f.usages.end(), [usagePage](uint32_t u) { return OnPage(u, usagePage); }));
    }
  }
  return total;
}

uint32_t HidGetUsageValue(const HidCollection& collection, HidReportType type, uint16_t usagePage, uint16_t usage,
                          std::span<const uint8_t> report, uint32_t& value) {
  value = 0;
  if (uint32_t status = CheckReport(collection, type, report); status != HIDP_STATUS_SUCCESS) return status;
  const HidField* f = nullptr;
  size_t control = 0;
  uint32_t status = FindValue(collection, type, usagePage, usage, report[0], f, control);
  if (status != HIDP_STATUS_SUCCESS) return status;
  // Refused rather than cut to its low bits: the 32-bit result is too small a
  // buffer for the value, which is what BUFFER_TOO_SMALL tells a caller.
  if (f->bitSize > kMaxReadableBits) return HIDP_STATUS_BUFFER_TOO_SMALL;
  value = ReadBits(report, f->bitOffset + static_cast<uint32_t>(control) * f->bitSize, f->bitSize);
  return HIDP_STATUS_SUCCESS;
}

uint32_t HidGetScaledUsageValue(const HidCollection& collection, HidReportType type, uint16_t usagePage,
                                uint16_t usage, std::span<const uint8_t> report, int32_t& value) {
  value = 0;
  if (uint32_t status = CheckReport(collection, type, report); status != HIDP_STATUS_SUCCESS) return status;
  const HidField* f = nullptr;
  size_t control = 0;
  uint32_t status = FindValue(collection, type, usagePage, usage, report[0], f, control);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (f->bitSize > kMaxReadableBits) return HIDP_STATUS_BUFFER_TOO_SMALL;  // as HidGetUsageValue

  const int64_t logicalMin = f->logicalMin;
  const int64_t logicalMax = f->logicalMax;
  int64_t physicalMin = f->physicalMin;
  int64_t physicalMax = f->physicalMax;
  if (physicalMin == 0 && physicalMax == 0) {  // no physical range: the logical one stands in
    physicalMin = logicalMin;
    physicalMax = logicalMax;
  }
  if (logicalMin >= logicalMax || physicalMin >= physicalMax) return HIDP_STATUS_BAD_LOG_PHY_VALUES;

  const uint32_t raw = ReadBits(report, f->bitOffset + static_cast<uint32_t>(control) * f->bitSize, f->bitSize);
  const int64_t v = LogicalValue(*f, raw);
  if (v < logicalMin || v > logicalMax) return f->hasNull ? HIDP_STATUS_NULL : HIDP_STATUS_VALUE_OUT_OF_RANGE;
  // Both spans are below 2^32, so the product fits in 64 unsigned bits.
  const auto offset = static_cast<uint64_t>(v - logicalMin);
  const auto scaled = offset * static_cast<uint64_t>(physicalMax - physicalMin) /
                      static_cast<uint64_t>(logicalMax - logicalMin);
  value = static_cast<int32_t>(physicalMin + static_cast<int64_t>(scaled));
  return HIDP_STATUS_SUCCESS;
}

}  // namespace keyloft
