#include "store/write_journal.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>

#include "util/atomic_file.h"
#include "util/bytes.h"

namespace keyloft {
namespace {

constexpr char kMagic[4] = {'K', 'L', 'W', 'J'};
constexpr uint16_t kVersion = 1;
// Larger than any macro area or key map a keyboard of ours has.
constexpr uint32_t kMaxPartBytes = 1u << 20;
constexpr size_t kMaxKeyMaps = 3;

uint32_t Fnv1a(std::span<const uint8_t> bytes) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
  return hash;
}

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendPart(std::vector<uint8_t>& out, const std::vector<uint8_t>& part) {
  AppendU32(out, static_cast<uint32_t>(part.size()));
  out.insert(out.end(), part.begin(), part.end());
}

// Reads forward through a journal; every read is checked against its end.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool U8(uint8_t& v) { return Take(1) && (v = bytes_[at_ - 1], true); }
  bool U16(uint16_t& v) { return Take(2) && (v = GetU16(bytes_, at_ - 2), true); }
  bool U32(uint32_t& v) { return Take(4) && (v = GetU32(bytes_, at_ - 4), true); }
  bool Part(std::vector<uint8_t>& part) {
    uint32_t size = 0;
    if (!U32(size) || size > kMaxPartBytes || !Take(size)) return false;
    part.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_ - size), bytes_.begin() + static_cast<std::ptrdiff_t>(at_));
    return true;
  }
  size_t At() const { return at_; }

 private:
  bool Take(size_t n) {
    if (bytes_.size() - at_ < n) return false;
    at_ += n;
    return true;
  }
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

}  // namespace

std::filesystem::path WriteJournalFile(const std::filesystem::path& folder, uint16_t vendorId, uint16_t productId) {
  char name[40];
  std::snprintf(name, sizeof name, "write-journal-%04x-%04x", vendorId, productId);
  return folder / name;
}

std::vector<uint8_t> EncodeWriteJournal(const WriteJournal& journal) {
  std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
  AppendU16(out, kVersion);
  AppendU16(out, journal.vendorId);
  AppendU16(out, journal.productId);
  AppendPart(out, journal.macroImage);
  out.push_back(static_cast<uint8_t>(journal.keyMaps.size()));
  for (const auto& [profile, image] : journal.keyMaps) {
    out.push_back(static_cast<uint8_t>(profile));
    AppendPart(out, image);
  }
  AppendU32(out, Fnv1a(out));
  return out;
}

std::optional<WriteJournal> DecodeWriteJournal(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4 + 4 || !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) return std::nullopt;
  const auto body = bytes.first(bytes.size() - 4);
  if (Fnv1a(body) != GetU32(bytes, bytes.size() - 4)) return std::nullopt;
  Reader in(body.subspan(4));
  WriteJournal journal;
  uint16_t version = 0;
  uint8_t count = 0;
  if (!in.U16(version) || version != kVersion || !in.U16(journal.vendorId) || !in.U16(journal.productId) ||
      !in.Part(journal.macroImage) || !in.U8(count) || count > kMaxKeyMaps) {
    return std::nullopt;
  }
  for (uint8_t k = 0; k < count; ++k) {
    uint8_t profile = 0;
    std::vector<uint8_t> image;
    if (!in.U8(profile) || profile >= kMaxKeyMaps || !in.Part(image)) return std::nullopt;
    journal.keyMaps.emplace_back(profile, std::move(image));
  }
  if (in.At() != body.size() - 4) return std::nullopt;  // nothing may follow
  return journal;
}

bool SaveWriteJournal(const std::filesystem::path& file, const WriteJournal& journal) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return false;
  const std::vector<uint8_t> bytes = EncodeWriteJournal(journal);
  return ReplaceFileAtomically(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<WriteJournal> LoadWriteJournal(const std::filesystem::path& file) {
  const std::optional<std::string> text = ReadWholeFile(file);
  if (!text) return std::nullopt;
  return DecodeWriteJournal(std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size()));
}

void RemoveWriteJournal(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

}  // namespace keyloft
