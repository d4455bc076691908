#include "model/key_assignments.h"

#include <algorithm>
#include <cstdio>

#include "lang/localisation.h"
#include "model/default_key_map.h"
#include "util/bytes.h"
#include "util/text.h"

namespace keyloft {
namespace {

DeviceKeyItem ItemAt(std::span<const uint8_t> image, size_t slot) {
  const size_t at = slot * kKeyMapSlotBytes;
  return {image[at], image[at + 1], image[at + 2]};
}

void PutItem(std::span<uint8_t> image, size_t slot, DeviceKeyItem item) {
  const size_t at = slot * kKeyMapSlotBytes;
  image[at] = item.category;
  image[at + 1] = item.data1;
  image[at + 2] = item.data2;
}

bool SameItem(DeviceKeyItem a, DeviceKeyItem b) {
  return a.category == b.category && a.data1 == b.data1 && a.data2 == b.data2;
}

// Slots both images hold, at most the 126 the program manages.
size_t ManagedSlots(size_t imageBytes, size_t defaultBytes) {
  return std::min({kKeyMapSlots, imageBytes / kKeyMapSlotBytes, defaultBytes / kKeyMapSlotBytes});
}

DeviceKeyItem KeyItem(KeyCode v) {
  if (uint8_t bit = KeyCodeToModifierBit(v)) return {0x02, 0x01, bit};
  switch (v) {
    case 0x171: return {0x01, 0x01, 0x01};
    case 0x172: return {0x01, 0x01, 0x02};
    case 0x173: return {0x01, 0x01, 0x04};
    case 0x161: return {0x01, 0x05, 0x01};
    case 0x162: return {0x01, 0x05, 0xFF};
    default: break;
  }
  UsagePair u = KeyCodeToUsage(v);
  return {0x02, 0x02, static_cast<uint8_t>(u.type == kUsageKeyboard ? u.usage : 0)};
}

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

}  // namespace

KeyCode SlotKey(std::span<const uint8_t> defaultImage, size_t slot) {
  return DeviceItemToKeyCode(ItemAt(defaultImage, slot));
}

bool KeyMapHasSlot(std::span<const uint8_t> defaultImage, KeyCode key) {
  for (size_t s = 0; s < ManagedSlots(defaultImage.size(), defaultImage.size()); ++s) {
    if (SlotKey(defaultImage, s) == key) return true;
  }
  return false;
}

void DecodeKeyMapImage(std::span<const uint8_t> image, std::span<const uint8_t> defaultImage, RecordArray& records) {
  InitRecordArray(records);
  for (size_t s = 0; s < ManagedSlots(image.size(), defaultImage.size()); ++s) {
    const DeviceKeyItem item = ItemAt(image, s);
    if (SameItem(item, ItemAt(defaultImage, s))) continue;
    const KeyCode code = SlotKey(defaultImage, s);
    if (code == 0) continue;
    KeyAssignment& r = records[KeyCodeToIndex(code)];
    r.type = kAssignDisabled;
    r.value = 0;
    switch (item.category) {
      case 0x05:
        if (item.data1 == 0x01) {
          r.type = kAssignMacro;
          r.value = item.data2 + 1u;  // the macro at that position; read back, its id is position + 1
        } else if (item.data1 == 0x02) {
          r.type = kAssignStopMacro;
        } else if (item.data1 == 0x05) {
          r.type = kAssignFunction;
          r.value = item.data2;
        }
        break;
      case 0x03: {
        const uint16_t usage = static_cast<uint16_t>(item.data1 | item.data2 << 8);
        const auto& media = MediaList();
        auto it = std::find_if(media.begin(), media.end(), [&](const MediaEntry& m) { return m.consumerUsage == usage; });
        if (it != media.end()) {
          r.type = kAssignMedia;
          r.value = static_cast<uint32_t>(it - media.begin());
        }
        break;
      }
      case 0x01:
        r.type = kAssignKey;
        r.value = DeviceItemToKeyCode(item);
        break;
      case 0x02:
        if (item.data1 == 0x02) {
          if (KeyCode v = UsageToKeyCode({kUsageKeyboard, item.data2})) {
            r.type = kAssignKey;
            r.value = v;
          }
        } else if (item.data1 == 0x01) {
          r.type = kAssignKey;
          r.value = ModifierBitsToKeyCode(item.data2);
        }
        break;
      default:
        break;
    }
  }
}

std::vector<uint8_t> EncodeKeyMapImage(const RecordArray& records, std::span<const uint8_t> defaultImage,
                                       const MacroList& macros) {
  std::vector<uint8_t> image(defaultImage.begin(), defaultImage.end());
  for (size_t s = 0; s < ManagedSlots(image.size(), defaultImage.size()); ++s) {
    const KeyCode code = SlotKey(defaultImage, s);
    if (code == 0) continue;
    const KeyAssignment& r = records[KeyCodeToIndex(code)];
    DeviceKeyItem item = ItemAt(defaultImage, s);  // default, launch program, and anything unknown
    switch (r.type) {
      case kAssignDisabled:
      case kAssignText:
        item = {};
        break;
      case kAssignKey:
        item = KeyItem(static_cast<KeyCode>(r.value));
        break;
      case kAssignMacro:
        item = {0x05, 0x01, static_cast<uint8_t>(FindMacroPosition(macros, static_cast<uint16_t>(r.value)))};
        break;
      case kAssignStopMacro:
        item = {0x05, 0x02, 0x00};
        break;
      case kAssignMedia:
        // An index from a damaged file names no media key: the key keeps its default.
        if (r.value < kMediaCount) {
          const uint16_t usage = MediaList()[r.value].consumerUsage;
          item = {0x03, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)};
        }
        break;
      case kAssignFunction:
        item = {0x05, 0x05, static_cast<uint8_t>(r.value & 0xFF)};
        break;
      default:
        break;
    }
    PutItem(image, s, item);
  }
  return image;
}

AssignmentDescription DescribeAssignment(const Localisation& lang, KeyCode code, const KeyAssignment& record,
                                         const MacroList& macros) {
  AssignmentDescription d;
  d.text = KeyName(lang, code);
  if (record.type == kAssignDefault) return d;
  d.marked = true;
  d.text += lang.GetText("KEY_PROMPT_SET");
  switch (record.type) {
    case kAssignKey:
      d.text += lang.GetText("KEY_PROMPT_SINGLE") + GetKeyName(lang, static_cast<KeyCode>(record.value)) + ")";
      break;
    case kAssignMacro: {
      auto it = std::find_if(macros.begin(), macros.end(), [&](const MacroRecord& m) { return m.id == record.value; });
      d.text += lang.GetText("KEY_PROMPT_MACRO") + (it != macros.end() ? Narrow(it->name) : std::string()) + ")";
      break;
    }
    case kAssignMedia: {
      std::string name = record.value < kMediaCount ? GetKeyName(lang, MediaList()[record.value].code) : "";
      d.text += lang.GetText("KEY_PROMPT_MEDIA") + name + ")";
      break;
    }
    case kAssignFunction:
      d.text += lang.GetText("KEY_PROMPT_FUNCTION") + lang.GetText("FUNC_KEY_DESC" + std::to_string(record.value + 1)) + ")";
      break;
    default:
      break;
  }
  return d;
}

KeyDescription DescribeKey(const Localisation& lang, const ProfileData& model, int profile, KeyCode key) {
  const size_t array = profile >= 0 && profile < static_cast<int>(kProfiles) ? static_cast<size_t>(profile) : 0;
  const KeyAssignment& record = model.block.arrays[array][KeyCodeToIndex(key)];
  const AssignmentDescription d = DescribeAssignment(lang, key, record, model.macros);
  return {key, KeyName(lang, key), record, d.text, d.marked};
}

void ResetProfileAssignments(ProfileData& profile, int activeProfile, std::span<const KeyCode> keyboardKeys) {
  if (activeProfile < 0 || activeProfile >= static_cast<int>(kProfiles)) return;
  RecordArray& records = profile.block.arrays[static_cast<size_t>(activeProfile)];
  for (KeyCode code : keyboardKeys) records[KeyCodeToIndex(code)] = KeyAssignment{};
  for (size_t j = 0; j < kGKeysPerSet; ++j) records[kFirstGKeyRecord + j] = KeyAssignment{};
}

}  // namespace keyloft
