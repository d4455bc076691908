// The model of everything the keyboard stores besides lighting: per profile a
// key assignment for each key and G-key, the macros, and the texts that some
// assignments carry. The record block has one byte layout in memory and in
// profile files: a 64-byte header (the file header and an identification
// record) and four arrays of 512 16-byte assignment records (array p is
// onboard profile p; array 3 belongs to none).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/key_codes.h"
#include "model/macros.h"

namespace keyloft {

enum AssignmentType : uint16_t {
  kAssignDefault = 0,
  kAssignDisabled = 1,
  kAssignKey = 2,         // value: the key code produced
  kAssignLaunch = 3,      // value: the text's offset once packed
  kAssignMacro = 4,       // value: the macro's identifier; aux: its cycles
  kAssignStopMacro = 5,
  kAssignText = 6,        // value: the text's offset once packed
  kAssignMedia = 7,       // value: the media list index
  kAssignFunction = 8,    // value: the keyboard function 0..10
};

inline constexpr size_t kProfiles = 3;
inline constexpr size_t kAssignmentArrays = 4;
inline constexpr size_t kRecordsPerArray = 512;
inline constexpr size_t kTextSlots = kAssignmentArrays * kRecordsPerArray;  // 2048
inline constexpr size_t kAssignmentBytes = 16;
inline constexpr size_t kRecordBlockHeaderBytes = 64;
inline constexpr size_t kRecordBlockBytes =
    kRecordBlockHeaderBytes + kAssignmentArrays * kRecordsPerArray * kAssignmentBytes;  // 32832
inline constexpr size_t kFunctionCount = 11;
// The two sets of nine G-key records, and the aux identifiers a fresh array gives them.
inline constexpr size_t kFirstGKeyRecord = 256;
inline constexpr size_t kGKeysPerSet = 9;
inline constexpr uint16_t kFirstSetGKeyAux = 0x0301;
inline constexpr uint16_t kSecondSetGKeyAux = 0x1301;

// The identifier a G-key record carries in aux (records 256..273), 0 for any other record.
constexpr uint16_t GKeyAux(size_t record) {
  if (record < kFirstGKeyRecord || record >= kFirstGKeyRecord + 2 * kGKeysPerSet) return 0;
  const size_t j = record - kFirstGKeyRecord;
  return static_cast<uint16_t>(j < kGKeysPerSet ? kFirstSetGKeyAux + j : kSecondSetGKeyAux + j - kGKeysPerSet);
}

struct KeyAssignment {
  uint16_t type = kAssignDefault;
  uint16_t aux = 0;
  uint32_t value = 0;
  uint32_t mark = 0;      // carried, never interpreted
  uint32_t reserved = 0;  // carried, never interpreted
  friend bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

using RecordArray = std::array<KeyAssignment, kRecordsPerArray>;

struct ProfileRecordBlock {
  std::array<uint8_t, kRecordBlockHeaderBytes> header{};
  std::array<RecordArray, kAssignmentArrays> arrays{};
};

// The texts of launch-program and text-block assignments: one slot per record
// (slot = array × 512 + record), UTF-16 without its terminator.
struct TextTable {
  std::array<std::u16string, kTextSlots> bySlot;

  // Bytes a slot takes with its terminator; 0 for an empty slot.
  static size_t SlotBytes(const std::u16string& text) { return text.empty() ? 0 : (text.size() + 1) * 2; }
  size_t TotalBytes() const;
  void Clear();
};

struct ProfileData {
  ProfileRecordBlock block;
  MacroList macros;
  TextTable texts;
  // The texts packed as profile files and the keyboard save lay them out;
  // only the snapshot taken for a save holds them.
  std::vector<uint8_t> packedTexts;
};

// Zeroes 512 records and gives the G-key records their aux identifiers.
void InitRecordArray(RecordArray& records);

// The 32-byte profile file header for these counts, with its checksum.
std::array<uint8_t, 32> BuildProfileHeader(uint16_t macroCount, uint32_t textBytes, uint8_t flag = 0);
// The constant identification record that follows the header.
const std::array<uint8_t, 32>& IdentificationRecord();

// The model with nothing assigned: the header for no macros and no texts, the
// identification record, every record zero but the G-key aux identifiers of
// array 0, no macros, no texts.
void BuildDefaultProfile(ProfileData& profile);

// Packs the texts of launch-program and text-block records, in slot order, as
// profile files and the keyboard save lay them out: each text (with its
// terminator) at the running offset, which its record's value then holds; a
// record without a text points just past the pool. Texts of records of other
// types are left out.
std::vector<uint8_t> PackTexts(ProfileData& profile);

// The 32832-byte record block in its byte layout, and back.
void WriteRecordBlock(const ProfileRecordBlock& block, std::span<uint8_t, kRecordBlockBytes> out);
void ReadRecordBlock(std::span<const uint8_t, kRecordBlockBytes> in, ProfileRecordBlock& block);

// The 16-byte record in a byte layout, and back.
void WriteAssignment(const KeyAssignment& record, std::span<uint8_t, kAssignmentBytes> out);
KeyAssignment ReadAssignment(std::span<const uint8_t, kAssignmentBytes> in);

}  // namespace keyloft
