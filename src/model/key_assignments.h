// Key assignments and the key-map image: the keyboard's per-profile block of
// three-byte device key items, 126 slots, translated to and from assignment
// records, and the text that describes an assignment on a key button. The
// save that writes them to the keyboard is sync/save_to_keyboard.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "model/macros.h"
#include "model/profile_data.h"

namespace keyloft {

class Localisation;

// A slot's identity is the key of its default item; slots whose default item
// names no key (categories 0 and 5) are never changed.
KeyCode SlotKey(std::span<const uint8_t> defaultImage, size_t slot);

// Whether the key map has a slot for the key: keys without one (the G-keys on
// the models known) keep their assignments in the profile files only.
bool KeyMapHasSlot(std::span<const uint8_t> defaultImage, KeyCode key);

// One profile's image into a fresh record array. Only the first 126 slots
// that both images hold are read.
void DecodeKeyMapImage(std::span<const uint8_t> image, std::span<const uint8_t> defaultImage, RecordArray& records);

// One profile's image from its records: the default image with every managed
// slot written from its key's record. image is as long as defaultImage.
std::vector<uint8_t> EncodeKeyMapImage(const RecordArray& records, std::span<const uint8_t> defaultImage,
                                       const MacroList& macros);

struct AssignmentDescription {
  std::string text;     // the key button's tooltip
  bool marked = false;  // anything but the default is shown marked
};

// code: a key, or a G-key (0x200 + n - 1, named "G<n>").
AssignmentDescription DescribeAssignment(const Localisation& lang, KeyCode code, const KeyAssignment& record,
                                         const MacroList& macros);

// One key's assignment as a key button or a listing shows it.
struct KeyDescription {
  KeyCode key = 0;
  std::string name;  // KeyName
  KeyAssignment record;
  std::string description;  // the key button's tooltip
  bool marked = false;      // anything but the default
};

// Key key of profile 0..2 of a model.
KeyDescription DescribeKey(const Localisation& lang, const ProfileData& model, int profile, KeyCode key);

// Zeroes, in the given profile's array, the records of the keyboard's keys
// (those its main window shows) and of the first set of nine G-keys, all fields.
void ResetProfileAssignments(ProfileData& profile, int activeProfile, std::span<const KeyCode> keyboardKeys);

}  // namespace keyloft
