#include "model/profile_data.h"

#include <algorithm>
#include <numeric>

#include "util/bytes.h"

namespace keyloft {

size_t TextTable::TotalBytes() const {
  return std::accumulate(bySlot.begin(), bySlot.end(), size_t{0},
                         [](size_t sum, const std::u16string& t) { return sum + SlotBytes(t); });
}

void TextTable::Clear() {
  for (auto& t : bySlot) t.clear();
}

void InitRecordArray(RecordArray& records) {
  records.fill(KeyAssignment{});
  for (size_t j = 0; j < kGKeysPerSet; ++j) {
    records[kFirstGKeyRecord + j].aux = static_cast<uint16_t>(kFirstSetGKeyAux + j);
    records[kFirstGKeyRecord + kGKeysPerSet + j].aux = static_cast<uint16_t>(kSecondSetGKeyAux + j);
  }
}

std::array<uint8_t, 32> BuildProfileHeader(uint16_t macroCount, uint32_t textBytes, uint8_t flag) {
  std::array<uint8_t, 32> h{};
  PutU16(h, 0, 0x4446);
  PutU16(h, 2, 0x0020);
  PutU16(h, 4, 3);
  PutU16(h, 6, 1);
  PutU32(h, 8, static_cast<uint32_t>(macroCount * kMacroRecordBytes + textBytes + kRecordBlockBytes));
  PutU16(h, 12, static_cast<uint16_t>(kTextSlots));
  PutU16(h, 14, macroCount);
  PutU32(h, 16, textBytes);
  h[30] = flag;
  h[31] = static_cast<uint8_t>(std::accumulate(h.begin(), h.begin() + 31, 0u));
  return h;
}

const std::array<uint8_t, 32>& IdentificationRecord() {
  // Bytes 16..19 name the first keyboard model, whatever model is connected.
  static constexpr std::array<uint8_t, 32> kRecord = {
      0x4B, 0x48, 0x20, 0x00, 0x20, 0x80, 0x00, 0x00, 0x04, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
      0x45, 0x0C, 0x2F, 0x65, 0x4F, 0x1C, 0x0E, 0x00, 0, 0, 0, 0, 0, 0, 0, 0,
  };
  return kRecord;
}

void BuildDefaultProfile(ProfileData& profile) {
  auto header = BuildProfileHeader(0, 0);
  std::copy(header.begin(), header.end(), profile.block.header.begin());
  const auto& id = IdentificationRecord();
  std::copy(id.begin(), id.end(), profile.block.header.begin() + 32);
  InitRecordArray(profile.block.arrays[0]);
  for (size_t a = 1; a < kAssignmentArrays; ++a) profile.block.arrays[a].fill(KeyAssignment{});
  profile.macros.clear();
  profile.texts.Clear();
  profile.packedTexts.clear();
}

std::vector<uint8_t> PackTexts(ProfileData& profile) {
  const size_t total = profile.texts.TotalBytes();
  std::vector<uint8_t> pool(total, 0);
  size_t offset = 0;
  for (size_t slot = 0; slot < kTextSlots; ++slot) {
    const std::u16string& text = profile.texts.bySlot[slot];
    const size_t bytes = TextTable::SlotBytes(text);
    KeyAssignment& record = profile.block.arrays[slot / kRecordsPerArray][slot % kRecordsPerArray];
    if (record.type != kAssignLaunch && record.type != kAssignText) continue;
    if (bytes == 0 || offset + bytes > total) {
      // No text: point past the pool, so no other record's text is ever taken for it.
      record.value = static_cast<uint32_t>(total);
      continue;
    }
    const size_t at = offset & ~size_t{1};
    for (size_t c = 0; c < text.size(); ++c) PutU16(pool, at + 2 * c, text[c]);
    record.value = static_cast<uint32_t>(offset);
    offset += bytes;
  }
  return pool;
}

void WriteRecordBlock(const ProfileRecordBlock& block, std::span<uint8_t, kRecordBlockBytes> out) {
  std::copy(block.header.begin(), block.header.end(), out.begin());
  size_t at = kRecordBlockHeaderBytes;
  for (const auto& array : block.arrays) {
    for (const auto& record : array) {
      WriteAssignment(record, out.subspan(at).first<kAssignmentBytes>());
      at += kAssignmentBytes;
    }
  }
}

void ReadRecordBlock(std::span<const uint8_t, kRecordBlockBytes> in, ProfileRecordBlock& block) {
  std::copy_n(in.begin(), kRecordBlockHeaderBytes, block.header.begin());
  size_t at = kRecordBlockHeaderBytes;
  for (auto& array : block.arrays) {
    for (auto& record : array) {
      record = ReadAssignment(in.subspan(at).first<kAssignmentBytes>());
      at += kAssignmentBytes;
    }
  }
}

void WriteAssignment(const KeyAssignment& record, std::span<uint8_t, kAssignmentBytes> out) {
  PutU16(out, 0, record.type);
  PutU16(out, 2, record.aux);
  PutU32(out, 4, record.value);
  PutU32(out, 8, record.mark);
  PutU32(out, 12, record.reserved);
}

KeyAssignment ReadAssignment(std::span<const uint8_t, kAssignmentBytes> in) {
  return {GetU16(in, 0), GetU16(in, 2), GetU32(in, 4), GetU32(in, 8), GetU32(in, 12)};
}

}  // namespace keyloft
