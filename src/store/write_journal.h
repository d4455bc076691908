// The journal of a write to the keyboard: what a write of the macro area and
// key maps is about to put on a keyboard, noted before its bracket begins and
// removed once the bracket has closed. A journal still there at the keyboard's
// next connection names a write that was cut short (cable pulled, program
// killed): it is written again before anything is read, so the torn content is
// never taken for the keyboard's own.
//
// File layout (little-endian): "KLWJ", version u16 (1), vendor u16, product
// u16, macro image length u32 and bytes, key-map count u8, per key map its
// profile u8, length u32 and bytes; then a u32 FNV-1a hash of all before it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace keyloft {

struct WriteJournal {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::vector<uint8_t> macroImage;
  std::vector<std::pair<int, std::vector<uint8_t>>> keyMaps;  // profile 0..2, image
  friend bool operator==(const WriteJournal&, const WriteJournal&) = default;
};

// One journal per keyboard model: a replug may give the keyboard another node.
std::filesystem::path WriteJournalFile(const std::filesystem::path& folder, uint16_t vendorId, uint16_t productId);

// Written atomically, the folder made when missing; false when it cannot be.
bool SaveWriteJournal(const std::filesystem::path& file, const WriteJournal& journal);
// The journal at file; nothing when there is none or it does not hold together
// (a journal that cannot be trusted is not written to a keyboard).
std::optional<WriteJournal> LoadWriteJournal(const std::filesystem::path& file);
void RemoveWriteJournal(const std::filesystem::path& file);

std::vector<uint8_t> EncodeWriteJournal(const WriteJournal& journal);
std::optional<WriteJournal> DecodeWriteJournal(std::span<const uint8_t> bytes);

}  // namespace keyloft
