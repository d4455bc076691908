#include "emu/firmware.h"

#include <algorithm>
#include <numeric>

#include "emu/bytes.h"
#include "emu/flat_json.h"
#include "model/default_key_map.h"

namespace keyloft::emu {
namespace {

constexpr std::array<ModelSpec, 2> kModels = {{
    {1, 0x0C45, 0x652F, 378, 378},
    {2, 0x320F, 0x5064, 384, 512},
}};

// Bytes 0..9 of the information block: firmware version 1.02, then reserved.
constexpr std::array<uint8_t, 10> kFirmwareIdent = {0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0};

// Effects 1..18 and the user-defined effect 20; there is no effect 19.
constexpr std::array<uint8_t, 19> kSupportedEffects = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                       11, 12, 13, 14, 15, 16, 17, 18, 20};

// Effect 1, brightness 4, speed 3, direction 0, multicolour, white; the rest 0.
constexpr std::array<uint8_t, 8> kFreshLightingStart = {0x01, 0x04, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

// Erased flash: the macro area starts without the 0x55AA magic, so it holds no macros.
constexpr uint8_t kErasedMacroByte = 0xFF;

uint16_t Checksum(std::span<const uint8_t> report) {
  return static_cast<uint16_t>(std::accumulate(report.begin() + 3, report.end(), 0u));
}

// Copies src into dst and says whether anything changed.
bool CopyChanged(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  if (std::equal(src.begin(), src.end(), dst.begin())) return false;
  std::copy(src.begin(), src.end(), dst.begin());
  return true;
}

}  // namespace

const ModelSpec* FindModel(int number) {
  for (const ModelSpec& m : kModels)
    if (m.number == number) return &m;
  return nullptr;
}

Firmware::Firmware(const ModelSpec& model, int macroBlocks)
    : model_(model),
      macroBlocks_(std::clamp(macroBlocks, 1, kMaxMacroBlocks)),
      params_(kParamBytes, 0),
      keyMaps_(kProfiles * model.keyMapStride, 0),
      defaultKeyMap_(model.keyMapBytes),
      macros_(static_cast<size_t>(macroBlocks_) * kMacroBlockBytes, kErasedMacroByte),
      keyColours_(kKeyColourBytes, 0) {
  std::copy(kFirmwareIdent.begin(), kFirmwareIdent.end(), info_.begin());
  info_[kInfoActiveProfile] = 0;
  info_[kInfoMacroBlocks] = static_cast<uint8_t>(macroBlocks_);
  std::copy(kSupportedEffects.begin(), kSupportedEffects.end(), info_.begin() + kInfoEffectList);

  for (int p = 0; p < kProfiles; ++p)
    std::copy(kFreshLightingStart.begin(), kFreshLightingStart.end(), params_.begin() + p * kLightingBlockBytes);

  const auto& factory = BuiltInDefaultKeyMap();
  std::copy_n(factory.begin(), model.keyMapBytes, defaultKeyMap_.begin());
  for (int p = 0; p < kProfiles; ++p)
    std::copy(defaultKeyMap_.begin(), defaultKeyMap_.end(), keyMaps_.begin() + p * model.keyMapStride);
}

CommandReply Firmware::HandleCommand(std::span<const uint8_t> report) {
  CommandReply reply;
  std::span<uint8_t> out(reply.report);
  out[0] = kCommandReportId;
  // Echo command, length and offset, as much of them as arrived.
  for (size_t i = 3; i < kCommandHeaderBytes - 1 && i < report.size(); ++i) out[i] = report[i];

  uint8_t status;
  if (refuseAfter_ > 0 && --refuseAfter_ == 0) {
    status = kStatusRefused;
  } else if (forcedStatus_ != 0) {
    status = forcedStatus_;
  } else if (report.size() != kCommandReportBytes || report[0] != kCommandReportId ||
             GetU16(report, 1) != Checksum(report) || report[4] > kCommandPayloadBytes) {
    status = kStatusBadReport;
  } else {
    status = Execute(report, out.subspan(kCommandHeaderBytes), reply.persistPoint);
  }
  out[7] = status;
  PutU16(out, 1, Checksum(out));
  return reply;
}

uint8_t Firmware::Execute(std::span<const uint8_t> request, std::span<uint8_t> payload, bool& persistPoint) {
  const uint8_t command = request[3];
  const size_t length = request[4];
  const size_t offset = GetU16(request, 5);
  const auto data = request.subspan(kCommandHeaderBytes, length);

  // A read may start anywhere inside its area and run past the end, which reads
  // as zeros: the host reads the last lighting block as a whole 56-byte report.
  auto read = [&](std::span<const uint8_t> area) -> uint8_t {
    if (offset >= area.size()) return kStatusRefused;
    size_t n = std::min(length, area.size() - offset);
    std::copy_n(area.begin() + offset, n, payload.begin());
    return kStatusAccepted;
  };
  // A write must fit its area whole and happen inside a bracket.
  auto write = [&](std::span<uint8_t> area) -> uint8_t {
    if (!bracketOpen_ || offset + length > area.size()) return kStatusRefused;
    dirty_ |= CopyChanged(data, area.subspan(offset, length));
    return kStatusAccepted;
  };

  switch (command) {
    case CMD_BEGIN:
      bracketOpen_ = true;  // a second begin inside a bracket is harmless
      return kStatusAccepted;
    case CMD_END:
      bracketOpen_ = false;
      persistPoint = true;
      return kStatusAccepted;
    // The information block always moves whole, whatever the length and offset say.
    case CMD_READ_INFO:
      std::copy(info_.begin(), info_.end(), payload.begin());
      return kStatusAccepted;
    case CMD_WRITE_INFO: {
      const auto block = request.subspan(kCommandHeaderBytes, kInfoBytes);
      if (block[kInfoActiveProfile] >= kProfiles) return kStatusRefused;
      // The macro capacity and the effect list describe this keyboard: a host
      // writes back what it read, and anything else it sends there is ignored.
      dirty_ |= CopyChanged(block.first(kInfoMacroBlocks), std::span(info_).first(kInfoMacroBlocks));
      persistPoint = true;
      return kStatusAccepted;
    }
    case CMD_READ_PARAMS: return read(params_);
    case CMD_WRITE_PARAMS: return write(params_);
    case CMD_READ_KEYMAP: return read(keyMaps_);
    case CMD_WRITE_KEYMAP: return write(keyMaps_);
    case CMD_READ_MACROS: return read(macros_);
    case CMD_WRITE_MACROS: return write(macros_);
    case CMD_READ_DEFAULT_KEYMAP: return read(defaultKeyMap_);
    case CMD_WRITE_KEY_COLOURS: return write(keyColours_);
    default: return kStatusRefused;
  }
}

void Firmware::SelectProfile(int profile) {
  auto p = static_cast<uint8_t>(std::clamp(profile, 0, kProfiles - 1));
  if (info_[kInfoActiveProfile] == p) return;
  info_[kInfoActiveProfile] = p;
  dirty_ = true;
}

void Firmware::StepLighting() {
  std::vector<uint8_t> effects;
  for (size_t i = 0; i < kEffectListBytes; ++i)
    if (uint8_t e = info_[kInfoEffectList + i]; e != 0) effects.push_back(e);
  if (effects.empty()) return;
  uint8_t& effect = params_[static_cast<size_t>(ActiveProfile()) * kLightingBlockBytes];
  auto at = std::find(effects.begin(), effects.end(), effect);
  effect = (at == effects.end() || at + 1 == effects.end()) ? effects.front() : *(at + 1);
  dirty_ = true;
}

void Firmware::FactoryReset() {
  uint8_t forced = forcedStatus_;
  *this = Firmware(model_, macroBlocks_);
  forcedStatus_ = forced;
  dirty_ = true;
}

std::string Firmware::ToJson() const {
  FlatJsonWriter json;
  json.Number("model", static_cast<uint32_t>(model_.number));
  json.Number("macro_blocks", static_cast<uint32_t>(macroBlocks_));
  json.Number("active_profile", static_cast<uint32_t>(ActiveProfile()));
  json.String("info", ToHex(info_));
  json.String("params", ToHex(params_));
  json.String("keymaps", ToHex(keyMaps_));
  json.String("default_keymap", ToHex(defaultKeyMap_));
  json.String("macros", ToHex(macros_));
  json.String("key_colours", ToHex(keyColours_));
  return json.Finish();
}

std::optional<Firmware> Firmware::FromJson(std::string_view text, std::optional<int> model,
                                           std::optional<int> macroBlocks, std::string& error) {
  auto object = ParseFlatJson(text, error);
  if (!object) return std::nullopt;

  static constexpr std::array<std::string_view, 3> kNumbers = {"model", "macro_blocks", "active_profile"};
  static constexpr std::array<std::string_view, 6> kAreas = {"info", "macros", "params",
                                                             "keymaps", "default_keymap", "key_colours"};
  for (const auto& [name, value] : *object) {
    bool number = std::find(kNumbers.begin(), kNumbers.end(), name) != kNumbers.end();
    bool area = std::find(kAreas.begin(), kAreas.end(), name) != kAreas.end();
    if (!number && !area) {
      error = "unknown member \"" + name + "\"";
      return std::nullopt;
    }
    if (value.isNumber != number) {
      error = "\"" + name + "\" must be " + (number ? "a number" : "a hex string");
      return std::nullopt;
    }
  }
  for (auto names : {std::span<const std::string_view>(kNumbers), std::span<const std::string_view>(kAreas)})
    for (std::string_view name : names)
      if (object->find(name) == object->end()) {
        error = "\"" + std::string(name) + "\" missing";
        return std::nullopt;
      }

  const int fileModel = static_cast<int>(object->find("model")->second.number);
  const ModelSpec* fileSpec = FindModel(fileModel);
  if (fileSpec == nullptr) {
    error = "model " + std::to_string(fileModel) + " is not 1 or 2";
    return std::nullopt;
  }
  if (model && *model != fileModel) {
    error = "it holds a model " + std::to_string(fileModel) + " keyboard, not model " + std::to_string(*model);
    return std::nullopt;
  }
  const uint32_t fileBlocks = object->find("macro_blocks")->second.number;
  if (fileBlocks < 1 || fileBlocks > kMaxMacroBlocks) {
    error = "macro_blocks " + std::to_string(fileBlocks) + " is not 1..255";
    return std::nullopt;
  }
  if (macroBlocks && static_cast<uint32_t>(*macroBlocks) != fileBlocks) {
    error = "it holds " + std::to_string(fileBlocks) + " macro blocks, not " + std::to_string(*macroBlocks);
    return std::nullopt;
  }

  Firmware fw(*fileSpec, static_cast<int>(fileBlocks));
  auto load = [&](std::string_view name, std::span<uint8_t> area) {
    auto bytes = FromHex(object->find(name)->second.text);
    if (!bytes || bytes->size() != area.size()) {
      error = "\"" + std::string(name) + "\" must be " + std::to_string(area.size()) + " bytes of lowercase hex";
      return false;
    }
    std::copy(bytes->begin(), bytes->end(), area.begin());
    return true;
  };
  if (!load("info", fw.info_) || !load("params", fw.params_) || !load("keymaps", fw.keyMaps_) ||
      !load("default_keymap", fw.defaultKeyMap_) || !load("macros", fw.macros_) ||
      !load("key_colours", fw.keyColours_))
    return std::nullopt;

  const uint32_t active = object->find("active_profile")->second.number;
  if (active >= kProfiles || active != fw.info_[kInfoActiveProfile]) {
    error = "active_profile " + std::to_string(active) + " does not match the information block";
    return std::nullopt;
  }
  if (fw.info_[kInfoMacroBlocks] != fileBlocks) {
    error = "macro_blocks does not match the information block";
    return std::nullopt;
  }
  return fw;
}

}  // namespace keyloft::emu
