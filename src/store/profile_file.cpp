#include "store/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <algorithm>
#include <numeric>
#include <string>
#include <system_error>

#include "lang/prompts.h"
#include "util/atomic_file.h"
#include "model/key_codes.h"
#include "util/bytes.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

// The header's fields, as a file states them.
struct HeaderCounts {
  uint64_t total = 0;
  uint16_t macroCount = 0;
  uint32_t textBytes = 0;
};

bool HeaderPasses(std::span<const uint8_t> h, uint64_t fileSize, HeaderCounts& counts) {
  counts = {GetU32(h, 8), GetU16(h, 14), GetU32(h, 16)};
  const uint64_t expected = uint64_t{counts.macroCount} * kMacroRecordBytes + counts.textBytes + kRecordBlockBytes;
  const uint8_t checksum = static_cast<uint8_t>(std::accumulate(h.begin(), h.begin() + 31, 0u));
  return GetU16(h, 0) == 0x4446 && GetU16(h, 2) == 0x20 && GetU16(h, 4) == 3 && GetU16(h, 6) == 1 &&
         counts.total >= kRecordBlockBytes && GetU16(h, 12) == kTextSlots && counts.macroCount <= kMaxMacros &&
         h[30] <= 1 && counts.total == expected && h[31] == checksum &&
         counts.total <= fileSize;  // a file that holds less than it declares is damaged
}

// The whole file when it can be read.
int ReadFileChecked(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return kProfileFileRejected;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kProfileFileUnreadable;
  struct stat st{};
  int result = kProfileFileValid;
  if (::fstat(fd, &st) != 0) {
    result = kProfileFileUnreadable;
  } else if (static_cast<uint64_t>(st.st_size) >= kFourGiB || static_cast<uint64_t>(st.st_size) < kRecordBlockBytes) {
    result = kProfileFileRejected;
  } else {
    try {
      bytes.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
      result = kProfileFileNoMemory;
    }
    size_t got = 0;
    while (result == kProfileFileValid && got < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) result = kProfileFileUnreadable;
      else got += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return result;
}

// The text that starts at a pool offset (its lowest bit cleared), up to its
// terminator; nothing when it lies outside the pool or has no terminator there.
std::u16string TextAt(std::span<const uint8_t> pool, uint32_t offset) {
  size_t at = offset & ~uint32_t{1};
  std::u16string text;
  for (; at + 1 < pool.size(); at += 2) {
    char16_t unit = static_cast<char16_t>(GetU16(pool, at));
    if (unit == 0) return text;
    text += unit;
  }
  return {};
}

bool CanBeProduced(KeyCode key) { return KeyCodeToUsage(key).type != kUsageNone; }

// What is wrong with one macro record, as the file holds it; empty when nothing.
std::string MacroRecordDamage(std::span<const uint8_t, kMacroRecordBytes> raw) {
  size_t nameUnits = 0;
  while (nameUnits < kRecordNameUnits && GetU16(raw, 2 * nameUnits) != 0) ++nameUnits;
  if (nameUnits == kRecordNameUnits) return "its name has no end";
  const size_t steps = GetU16(raw, kRecordFieldsOffset + 8);
  if (steps > kMaxMacroSteps) return "it claims " + std::to_string(steps) + " steps";
  const MacroRecord m = ReadMacroRecord(raw);
  if (m.name.empty() || !IsCleanUtf16(m.name, false)) return "its name is not text";
  if (m.cycles < kMinMacroCycles) return "it plays 0 times";
  if (m.id < 1 || m.id > kMaxMacros) return "its number " + std::to_string(m.id) + " is out of range";
  for (size_t s = 0; s < m.steps.size(); ++s) {
    const MacroStep& step = m.steps[s];
    if (step.state > kStepRelease || !CanBeProduced(step.key) || step.delay > kMaxImageDelayMs) {
      return "step " + std::to_string(s + 1) + " is not a key press, release or pause";
    }
  }
  return {};
}

// What is wrong with the body behind a header that passed: record types and
// values, the macro records and the texts, and bytes the header does not
// declare. Empty when nothing is. A checksum covers the header only, so a
// damaged body shows only through values no program writes.
std::string BodyDamage(std::span<const uint8_t> bytes, const HeaderCounts& counts) {
  if (bytes.size() != counts.total) {
    return std::to_string(bytes.size() - counts.total) + " bytes follow what the header declares";
  }
  std::vector<uint16_t> ids;
  for (uint16_t m = 0; m < counts.macroCount; ++m) {
    const auto raw = bytes.subspan(kRecordBlockBytes + size_t{m} * kMacroRecordBytes).first<kMacroRecordBytes>();
    if (std::string why = MacroRecordDamage(raw); !why.empty()) return "macro " + std::to_string(m + 1) + ": " + why;
    const uint16_t id = ReadMacroRecord(raw).id;
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
      return "macro " + std::to_string(m + 1) + ": another macro has its number " + std::to_string(id);
    }
    ids.push_back(id);
  }
  ProfileRecordBlock block;
  ReadRecordBlock(bytes.first<kRecordBlockBytes>(), block);
  const size_t poolStart = kRecordBlockBytes + size_t{counts.macroCount} * kMacroRecordBytes;
  const auto pool = bytes.subspan(poolStart, counts.textBytes);
  for (size_t slot = 0; slot < kTextSlots; ++slot) {
    const KeyAssignment& r = block.arrays[slot / kRecordsPerArray][slot % kRecordsPerArray];
    bool fine = true;
    switch (r.type) {
      case kAssignDefault: case kAssignDisabled: case kAssignStopMacro:
      case kAssignMacro:  // a macro that is gone plays the first one, as described for restored files
        break;
      case kAssignKey:
        fine = r.value <= 0xFFFF && CanBeProduced(static_cast<KeyCode>(r.value));
        break;
      case kAssignMedia:
        fine = r.value < kMediaCount;
        break;
      case kAssignFunction:
        fine = r.value < kFunctionCount;
        break;
      case kAssignLaunch: case kAssignText: {
        const std::u16string text = TextAt(pool, r.value);
        fine = IsCleanUtf16(text, r.type == kAssignText);  // a record without a text points past the pool
        break;
      }
      default:
        fine = false;
    }
    if (!fine) {
      return "key record " + std::to_string(slot % kRecordsPerArray) + " of set " + std::to_string(slot / kRecordsPerArray + 1) +
             " holds type " + std::to_string(r.type) + " with value " + std::to_string(r.value);
    }
  }
  return {};
}

bool Decode(std::span<const uint8_t> bytes, ProfileData& profile) {
  HeaderCounts counts{GetU32(bytes, 8), GetU16(bytes, 14), GetU32(bytes, 16)};
  const uint64_t macroBytes = uint64_t{counts.macroCount} * kMacroRecordBytes;
  if (bytes.size() < kRecordBlockBytes + macroBytes) return false;
  ReadRecordBlock(bytes.first<kRecordBlockBytes>(), profile.block);
  profile.macros.clear();
  for (size_t m = 0; m < std::min<size_t>(counts.macroCount, kMaxMacros); ++m) {
    profile.macros.push_back(
        ReadMacroRecord(bytes.subspan(kRecordBlockBytes + m * kMacroRecordBytes).first<kMacroRecordBytes>()));
  }
  const size_t poolStart = kRecordBlockBytes + static_cast<size_t>(macroBytes);
  const auto pool = bytes.subspan(poolStart, std::min<size_t>(counts.textBytes, bytes.size() - poolStart));
  profile.texts.Clear();
  for (size_t slot = 0; slot < kTextSlots; ++slot) {
    const KeyAssignment& r = profile.block.arrays[slot / kRecordsPerArray][slot % kRecordsPerArray];
    if (r.type == kAssignLaunch || r.type == kAssignText) profile.texts.bySlot[slot] = TextAt(pool, r.value);
  }
  profile.packedTexts.clear();
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeProfileFile(ProfileData& profile) {
  const uint16_t macroCount = static_cast<uint16_t>(std::min(profile.macros.size(), kMaxMacros));
  const std::vector<uint8_t> pool = PackTexts(profile);
  auto header = BuildProfileHeader(macroCount, static_cast<uint32_t>(pool.size()));
  std::copy(header.begin(), header.end(), profile.block.header.begin());

  std::vector<uint8_t> bytes(kRecordBlockBytes + macroCount * kMacroRecordBytes + pool.size());
  std::span<uint8_t> out(bytes);
  WriteRecordBlock(profile.block, out.first<kRecordBlockBytes>());
  for (size_t m = 0; m < macroCount; ++m) {
    WriteMacroRecord(profile.macros[m], out.subspan(kRecordBlockBytes + m * kMacroRecordBytes).first<kMacroRecordBytes>());
  }
  std::copy(pool.begin(), pool.end(), bytes.end() - static_cast<std::ptrdiff_t>(pool.size()));
  return bytes;
}

bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  return ReplaceFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

int ValidateProfileFile(const std::filesystem::path& path, Prompts& prompts, std::string* damage) {
  std::vector<uint8_t> bytes;
  int result = ReadFileChecked(path, bytes);
  if (result != kProfileFileValid) return result;
  HeaderCounts counts;
  std::string why = HeaderPasses(bytes, bytes.size(), counts) ? BodyDamage(bytes, counts) : "its header is damaged";
  if (!why.empty()) {
    if (damage) *damage = std::move(why);
    prompts.NotifyFormatted("PROFILE_FORMAT_ERROR", std::string_view(path.native()));
    return kProfileFileRejected;
  }
  return kProfileFileValid;
}

bool LoadProfileFile(const std::filesystem::path& path, ProfileData& profile) {
  std::vector<uint8_t> bytes;
  if (ReadFileChecked(path, bytes) != kProfileFileValid) return false;
  HeaderCounts counts;
  if (!HeaderPasses(bytes, bytes.size(), counts) || !BodyDamage(bytes, counts).empty()) return false;
  ProfileData loaded;
  if (!Decode(bytes, loaded)) return false;
  profile = std::move(loaded);
  return true;
}

bool SaveProfileFile(const std::filesystem::path& path, ProfileData& profile) {
  try {
    return WriteProfileFile(path, EncodeProfileFile(profile));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CreateDefaultProfileFile(const std::filesystem::path& path) {
  ProfileData profile;
  BuildDefaultProfile(profile);
  return SaveProfileFile(path, profile);
}

std::filesystem::path WorkingProfileFile(const std::filesystem::path& userDataFolder) {
  return userDataFolder / "$Profile0";
}

}  // namespace keyloft
