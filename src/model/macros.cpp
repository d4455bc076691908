#include "model/macros.h"

#include <algorithm>
#include <array>

#include "util/bytes.h"
#include "util/text.h"

namespace keyloft {
namespace {

constexpr size_t kStepBytes = 4;
constexpr size_t kBlockHeaderBytes = 4;

size_t BlockBytes(const MacroRecord& m, bool withNames) {
  size_t steps = std::min(m.steps.size(), kMaxMacroSteps);
  size_t name = withNames ? std::min(m.name.size(), kMaxMacroNameChars) : 0;
  return kBlockHeaderBytes + kStepBytes * steps + 2 * name;
}

// The device item a step's key is stored as.
DeviceKeyItem StepItem(KeyCode key) {
  // A G-key step can only come from the keyboard; it goes back as it came.
  if (key >= kFirstGKey - 1 && key < kFirstGKey - 1 + 256) {
    return {0x06, 0xA2, static_cast<uint8_t>(key - (kFirstGKey - 1))};
  }
  UsagePair u = KeyCodeToUsage(key);
  switch (u.type) {
    case kUsageKeyboard: {
      if (uint8_t bit = KeyCodeToModifierBit(key)) return {0x02, 0x01, bit};
      // Media keys go as consumer usages, the form the keyboard plays them in
      // from its key map too; the few without one stay keyboard-page usages.
      if (u.usage >= 0xC0 && u.usage <= 0xDF) {
        if (uint16_t consumer = ConsumerUsages()[u.usage - 0xC0]) {
          return {0x03, static_cast<uint8_t>(consumer & 0xFF), static_cast<uint8_t>(consumer >> 8)};
        }
      }
      return {0x02, 0x02, static_cast<uint8_t>(u.usage)};
    }
    case kUsageConsumer:
      return {0x03, static_cast<uint8_t>(u.usage & 0xFF), static_cast<uint8_t>(u.usage >> 8)};
    case kUsageSystemControl:
      return {0x04, static_cast<uint8_t>(u.usage & 0xFF), static_cast<uint8_t>(u.usage >> 8)};
    case kUsageSpecial:
      switch (u.usage) {
        case 0xF1: return {0x01, 0x01, 0x01};
        case 0xF2: return {0x01, 0x01, 0x02};
        case 0xF3: return {0x01, 0x01, 0x04};
        case 0xF4: return {0x01, 0x05, 0x01};
        case 0xF5: return {0x01, 0x05, 0xFF};
        default: return {};
      }
    default:
      return {};
  }
}

}  // namespace

std::array<uint8_t, 4> EncodeMacroStep(const MacroStep& step) {
  DeviceKeyItem item = StepItem(step.key);
  uint32_t units = std::min(step.delay, kMaxImageDelayMs) / 10;
  // A pause shorter than the keyboard's 10 ms step is kept as its shortest, not dropped.
  if (units == 0 && step.delay > 0) units = 1;
  uint16_t word = static_cast<uint16_t>((units & 0x0FFF) | (item.category & 0x7) << 12);
  if (step.state != kStepRelease) word |= 0x8000;
  return {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8), item.data1, item.data2};
}

MacroStep DecodeMacroStep(std::span<const uint8_t, 4> bytes) {
  uint16_t word = GetU16(bytes, 0);
  MacroStep step;
  step.delay = (word & 0x0FFFu) * 10;
  step.state = (word & 0x8000) ? kStepPress : kStepRelease;
  step.key = DeviceItemToKeyCode({static_cast<uint8_t>((word >> 12) & 0x7), bytes[2], bytes[3]});
  return step;
}

MacroImageSize MacroImageSizes(const MacroList& list) {
  MacroImageSize size;
  size.withNames = size.withoutNames = kMacroImageHeaderBytes + 2 * list.size();
  for (const auto& m : list) {
    size.withNames += BlockBytes(m, true);
    size.withoutNames += BlockBytes(m, false);
  }
  return size;
}

std::vector<uint8_t> BuildMacroImage(const MacroList& list, bool withNames) {
  const MacroImageSize sizes = MacroImageSizes(list);
  const size_t size = withNames ? sizes.withNames : sizes.withoutNames;
  if (size > 0xFFFF) return {};  // its size and offsets would not fit their 16-bit fields
  std::vector<uint8_t> image(size, 0);
  PutU16(image, 0, kMacroImageMagic);
  PutU16(image, 2, static_cast<uint16_t>(image.size()));
  PutU16(image, 4, static_cast<uint16_t>(list.size()));
  PutU16(image, 6, withNames ? 1 : 0);

  size_t at = kMacroImageHeaderBytes + 2 * list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    const MacroRecord& m = list[i];
    const size_t steps = std::min(m.steps.size(), kMaxMacroSteps);
    const size_t nameChars = withNames ? std::min(m.name.size(), kMaxMacroNameChars) : 0;
    PutU16(image, kMacroImageHeaderBytes + 2 * i, static_cast<uint16_t>(at));
    PutU16(image, at, static_cast<uint16_t>(steps));
    image[at + 2] = m.cycles;
    image[at + 3] = static_cast<uint8_t>(nameChars);
    at += kBlockHeaderBytes;
    for (size_t s = 0; s < steps; ++s, at += kStepBytes) {
      auto bytes = EncodeMacroStep(m.steps[s]);
      std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (size_t c = 0; c < nameChars; ++c, at += 2) PutU16(image, at, m.name[c]);
  }
  return image;
}

bool ReadMacroImageHeader(std::span<const uint8_t> header, uint16_t& size, uint16_t& count) {
  size = count = 0;
  if (header.size() < kMacroImageHeaderBytes || GetU16(header, 0) != kMacroImageMagic) return false;
  size = GetU16(header, 2);
  count = GetU16(header, 4);
  return true;
}

MacroList DecodeMacroImage(std::span<const uint8_t> image, std::u16string_view namePrefix) {
  MacroList list;
  uint16_t declaredSize = 0, count = 0;
  if (!ReadMacroImageHeader(image, declaredSize, count)) return list;
  // Nothing past the image, nor past the size it declares, belongs to it.
  image = image.first(std::min<size_t>(image.size(), std::max<size_t>(declaredSize, kMacroImageHeaderBytes)));
  const size_t tableEntries = (image.size() - kMacroImageHeaderBytes) / 2;
  const size_t n = std::min<size_t>({count, kMaxMacros, tableEntries});

  for (size_t i = 0; i < n; ++i) {
    const size_t at = GetU16(image, kMacroImageHeaderBytes + 2 * i);
    if (at < kMacroImageHeaderBytes || at + kBlockHeaderBytes > image.size()) continue;  // a block outside the image
    MacroRecord m;
    m.id = static_cast<uint16_t>(i + 1);
    m.cycles = image[at + 2];
    const size_t available = (image.size() - at - kBlockHeaderBytes) / kStepBytes;
    const size_t steps = std::min<size_t>({GetU16(image, at), kMaxMacroSteps, available});
    m.steps.reserve(steps);
    size_t p = at + kBlockHeaderBytes;
    for (size_t s = 0; s < steps; ++s, p += kStepBytes) m.steps.push_back(DecodeMacroStep(image.subspan(p).first<4>()));
    const size_t nameChars = std::min<size_t>({image[at + 3], kMaxMacroNameChars, (image.size() - p) / 2});
    for (size_t c = 0; c < nameChars; ++c) m.name += static_cast<char16_t>(GetU16(image, p + 2 * c));
    if (m.name.empty()) {
      std::u16string number;
      for (char ch : std::to_string(i + 1)) number += static_cast<char16_t>(ch);
      m.name = std::u16string(namePrefix.substr(0, kMaxMacroNameChars - number.size())) + number;
    }
    list.push_back(std::move(m));
  }
  return list;
}

std::string MacroImageDamage(std::span<const uint8_t> image) {
  uint16_t size = 0, count = 0;
  if (!ReadMacroImageHeader(image, size, count)) return "it has no macro header";
  if (size != image.size()) return "it declares " + std::to_string(size) + " bytes";
  if (count > kMaxMacros) return "it claims " + std::to_string(count) + " macros";
  const uint16_t namesFlag = GetU16(image, 6);
  if (namesFlag > 1) return "its names flag is " + std::to_string(namesFlag);
  size_t expected = kMacroImageHeaderBytes + 2 * size_t{count};
  if (expected > image.size()) return "its table of macros runs past its end";
  for (size_t i = 0; i < count; ++i) {
    const std::string which = "macro " + std::to_string(i + 1) + ": ";
    const size_t at = GetU16(image, kMacroImageHeaderBytes + 2 * i);
    if (at != expected || at + kBlockHeaderBytes > image.size()) return which + "it does not start where the one before ends";
    const size_t steps = GetU16(image, at);
    const size_t nameChars = image[at + 3];
    if (steps > kMaxMacroSteps) return which + "it claims " + std::to_string(steps) + " steps";
    if (nameChars > 0 && namesFlag == 0) return which + "it has a name in an image without names";
    if (nameChars > kMaxMacroNameChars) return which + "its name is too long";
    const size_t end = at + kBlockHeaderBytes + kStepBytes * steps + 2 * nameChars;
    if (end > image.size()) return which + "it runs past the image's end";
    std::u16string name;
    for (size_t c = 0; c < nameChars; ++c) name += static_cast<char16_t>(GetU16(image, end - 2 * nameChars + 2 * c));
    if (!IsCleanUtf16(name, false)) return which + "its name is not text";
    expected = end;
  }
  if (expected != image.size()) return std::to_string(image.size() - expected) + " bytes follow its last macro";
  return {};
}

uint16_t FindMacroPosition(const MacroList& list, uint16_t id) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].id == id) return static_cast<uint16_t>(i);
  }
  return 0;
}

uint16_t MacroIdAt(const MacroList& list, int position) {
  return position < 0 || static_cast<size_t>(position) >= list.size() ? 0 : list[static_cast<size_t>(position)].id;
}

uint16_t NextFreeMacroId(const MacroList& list) {
  std::array<bool, kMaxMacros + 1> used{};
  for (const auto& m : list) {
    if (m.id >= 1 && m.id <= kMaxMacros) used[m.id] = true;
  }
  for (uint16_t id = 1; id <= kMaxMacros; ++id) {
    if (!used[id]) return id;
  }
  return 0;
}

void WriteMacroRecord(const MacroRecord& macro, std::span<uint8_t, kMacroRecordBytes> out) {
  std::fill(out.begin(), out.end(), 0);
  const size_t nameChars = std::min(macro.name.size(), kMaxMacroNameChars);
  for (size_t c = 0; c < nameChars; ++c) PutU16(out, 2 * c, macro.name[c]);  // the rest stays 0: the terminator
  const size_t fields = 2 * kRecordNameUnits;
  out[fields] = macro.cycles;
  PutU16(out, fields + 2, macro.pending);
  PutU16(out, fields + 4, macro.playMode);
  PutU16(out, fields + 6, macro.id);
  const size_t steps = std::min(macro.steps.size(), kMaxMacroSteps);
  PutU16(out, fields + 8, static_cast<uint16_t>(steps));
  for (size_t s = 0; s < steps; ++s) {
    const size_t at = kRecordStepsOffset + s * kRecordStepBytes;
    PutU32(out, at, macro.steps[s].delay);
    PutU16(out, at + 4, macro.steps[s].key);
    PutU16(out, at + 6, macro.steps[s].state);
  }
}

MacroRecord ReadMacroRecord(std::span<const uint8_t, kMacroRecordBytes> in) {
  MacroRecord m;
  for (size_t c = 0; c < kMaxMacroNameChars; ++c) {
    char16_t unit = static_cast<char16_t>(GetU16(in, 2 * c));
    if (unit == 0) break;
    m.name += unit;
  }
  const size_t fields = 2 * kRecordNameUnits;
  m.cycles = in[fields];
  m.pending = GetU16(in, fields + 2);
  m.playMode = GetU16(in, fields + 4);
  m.id = GetU16(in, fields + 6);
  const size_t steps = std::min<size_t>(GetU16(in, fields + 8), kMaxMacroSteps);
  m.steps.resize(steps);
  for (size_t s = 0; s < steps; ++s) {
    const size_t at = kRecordStepsOffset + s * kRecordStepBytes;
    m.steps[s] = {GetU32(in, at), GetU16(in, at + 4), GetU16(in, at + 6)};
  }
  return m;
}

}  // namespace keyloft
