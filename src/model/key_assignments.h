// Key assignments and the key-map image: the keyboard's per-profile block of
// three-byte device key items, 126 slots, translated to and from assignment
// records; the save that writes macros and key maps to the keyboard; and the
// text that describes an assignment on a key button.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "model/macros.h"
#include "model/profile_data.h"

namespace keyloft {

class CommandChannel;
class Localisation;
class Prompts;
struct DeviceContext;

// A slot's identity is the key of its default item; slots whose default item
// names no key (categories 0 and 5) are never changed.
KeyCode SlotKey(std::span<const uint8_t> defaultImage, size_t slot);

// One profile's image into a fresh record array. Only the first 126 slots
// that both images hold are read.
void DecodeKeyMapImage(std::span<const uint8_t> image, std::span<const uint8_t> defaultImage, RecordArray& records);

// One profile's image from its records: the default image with every managed
// slot written from its key's record. image is as long as defaultImage.
std::vector<uint8_t> EncodeKeyMapImage(const RecordArray& records, std::span<const uint8_t> defaultImage,
                                       const MacroList& macros);

// Snapshots workingProfile into uploadProfile and writes the macro image and
// the active profile's key map (all three with allProfiles or the write-all
// flag) in one bracket. The caller holds workingLock. True when the last
// key-map write succeeded and the bracket was closed.
bool SaveToKeyboard(ProfileWorkspace& workspace, DeviceContext& device, CommandChannel& channel, Prompts& prompts,
                    bool allProfiles);

struct AssignmentDescription {
  std::string text;     // the key button's tooltip
  bool marked = false;  // anything but the default is shown marked
};

// code: a key, or a G-key (0x200 + n - 1, named "G<n>").
AssignmentDescription DescribeAssignment(const Localisation& lang, KeyCode code, const KeyAssignment& record,
                                         const MacroList& macros);

// Zeroes, in the given profile's array, the records of the keyboard's 105 keys
// and of the first set of nine G-keys, all fields.
void ResetProfileAssignments(ProfileData& profile, int activeProfile);

}  // namespace keyloft
