// Macros: the record the program edits and the profile file stores, the list
// with its limits and identifiers, and the macro image the keyboard keeps.
//
// Image layout (little-endian): magic 0x55AA, total size, count n, names flag,
// 8 reserved bytes; n offsets of the macro blocks; then per macro its step
// count, cycles, name length, 4 bytes per step and, with names, the name in
// UTF-16. A step is a word (delay / 10 in bits 0..11, the device item's
// category in bits 12..14, bit 15 set for a press) and the item's two bytes.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/key_codes.h"

namespace keyloft {

inline constexpr size_t kMaxMacros = 100;
inline constexpr size_t kMaxMacroSteps = 4000;
inline constexpr size_t kMaxMacroNameChars = 249;
inline constexpr int kMinMacroCycles = 1;
inline constexpr int kMaxMacroCycles = 255;  // a cycle count is one byte
inline constexpr uint32_t kMaxEditorDelayMs = 40000;  // what the editor allows
inline constexpr uint32_t kMaxImageDelayMs = 40950;   // what a step word can hold
inline constexpr uint16_t kMacroImageMagic = 0x55AA;
inline constexpr size_t kMacroImageHeaderBytes = 16;
inline constexpr size_t kMacroRecordBytes = 32512;  // one record in a profile file
inline constexpr size_t kRecordNameUnits = 250;      // the name with its terminator
inline constexpr size_t kRecordFieldsOffset = 2 * kRecordNameUnits;
inline constexpr size_t kRecordStepsOffset = 512;
inline constexpr size_t kRecordStepBytes = 8;

enum StepState : uint16_t { kStepPress = 0, kStepRelease = 1 };

struct MacroStep {
  uint32_t delay = 0;  // ms after this step
  KeyCode key = 0;
  uint16_t state = kStepPress;
  friend bool operator==(const MacroStep&, const MacroStep&) = default;
};

struct MacroRecord {
  std::u16string name;  // at most 249 UTF-16 units
  uint8_t cycles = 1;
  uint16_t pending = 0;   // 1 while only an editor holds it
  uint16_t playMode = 0;  // carried for profile files, never interpreted
  uint16_t id = 0;        // 1..100; key assignments refer to it
  std::vector<MacroStep> steps;  // at most 4000
  friend bool operator==(const MacroRecord&, const MacroRecord&) = default;
};

using MacroList = std::vector<MacroRecord>;

struct MacroImageSize {
  size_t withNames = 0;
  size_t withoutNames = 0;
};

MacroImageSize MacroImageSizes(const MacroList& list);

// The image of the list, MacroImageSizes long; empty when that is more than
// its 16-bit size field can state. Delays beyond what a step can hold are
// written as the longest it can hold, never wrapped.
std::vector<uint8_t> BuildMacroImage(const MacroList& list, bool withNames);

// The magic, size and count of an image's 16-byte header; false when the
// magic is not 0x55AA (the keyboard holds no macros).
bool ReadMacroImageHeader(std::span<const uint8_t> header, uint16_t& size, uint16_t& count);

// The list an image read from the keyboard holds. Identifiers are the
// positions in the image plus one. An unnamed macro is named namePrefix and its
// number ("Macro 3"). The image is outside data: a block, step or name that
// lies past its end is dropped, and no more than 100 macros, 4000 steps and
// 249 characters are taken.
MacroList DecodeMacroImage(std::span<const uint8_t> image, std::u16string_view namePrefix);

// What is wrong with an image read from the keyboard, empty when it holds
// together as a write leaves it: its declared size is what was read, at most
// 100 macros, the blocks follow each other without gap or overlap up to that
// size, each within 4000 steps, names only where the names flag says so, and
// names are text. A write cut short leaves a mix that fails these.
std::string MacroImageDamage(std::span<const uint8_t> image);

// One step as the image stores it, and back.
std::array<uint8_t, 4> EncodeMacroStep(const MacroStep& step);
MacroStep DecodeMacroStep(std::span<const uint8_t, 4> bytes);

// The 0-based position of the macro with that identifier, or 0 when none has it.
uint16_t FindMacroPosition(const MacroList& list, uint16_t id);
// The identifier at a position, or 0 when there is none.
uint16_t MacroIdAt(const MacroList& list, int position);
// The smallest identifier 1..100 no macro uses; 0 when all are taken.
uint16_t NextFreeMacroId(const MacroList& list);

// The 32512-byte record of a profile file: name (250 UTF-16 units), cycles,
// pad, pending, play mode, id, step count, pad, then 4000 steps of delay (u32),
// key (u16) and state (u16).
void WriteMacroRecord(const MacroRecord& macro, std::span<uint8_t, kMacroRecordBytes> out);
// Counts and lengths beyond the limits are cut to them.
MacroRecord ReadMacroRecord(std::span<const uint8_t, kMacroRecordBytes> in);

}  // namespace keyloft
