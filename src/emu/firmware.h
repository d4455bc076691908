// The virtual keyboard's firmware: its onboard memory and its command set, with
// no I/O. One 64-byte command report in, one reply report out; plus what the
// user can do on the keyboard itself (switch profile, change lighting, factory
// reset) and the memory as JSON (the `dump` text and the state file).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/keyboard_protocol.h"

namespace keyloft::emu {


inline constexpr uint8_t kStatusAccepted = 0x01;

inline constexpr int kProfiles = 3;
inline constexpr size_t kInfoBytes = 44;
inline constexpr size_t kInfoActiveProfile = 10;
inline constexpr size_t kInfoMacroBlocks = 11;
inline constexpr size_t kInfoEffectList = 12;
inline constexpr size_t kEffectListBytes = 32;
inline constexpr size_t kLightingBlockBytes = 42;
inline constexpr size_t kParamBytes = kProfiles * kLightingBlockBytes;  // 126
inline constexpr size_t kKeyColourStride = 512;
inline constexpr size_t kKeyColourBytes = kProfiles * kKeyColourStride;
inline constexpr size_t kMacroBlockBytes = 128;
inline constexpr int kDefaultMacroBlocks = 64;
inline constexpr int kMaxMacroBlocks = 255;

struct ModelSpec {
  int number = 1;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  size_t keyMapBytes = 0;
  size_t keyMapStride = 0;
};

// Model 1 or 2; nullptr for any other number.
const ModelSpec* FindModel(int number);

struct CommandReply {
  std::array<uint8_t, kCommandReportBytes> report{};
  // The command ended a bracket or set the information block: a moment at which
  // changed memory should reach the state file.
  bool persistPoint = false;
};

class Firmware {
 public:
  // A keyboard fresh from the factory. macroBlocks is 1..255.
  Firmware(const ModelSpec& model, int macroBlocks);

  // Memory from the JSON that ToJson writes. A model or macro capacity given
  // here must match the file's. Nothing on any fault, with the reason in error.
  static std::optional<Firmware> FromJson(std::string_view json, std::optional<int> model,
                                          std::optional<int> macroBlocks, std::string& error);
  std::string ToJson() const;

  // One output report of the vendor collection as the host wrote it, report id
  // first, of any length.
  CommandReply HandleCommand(std::span<const uint8_t> report);

  // Answers every command with this status and carries none out (0: off).
  void SetForcedStatus(uint8_t status) { forcedStatus_ = status; }
  // Refuses (0xFF) the n-th command from now, that one only, and carries it not out.
  void RefuseAfter(int n) { refuseAfter_ = n; }

  // On the keyboard itself.
  void SelectProfile(int profile);  // 0..2
  void StepLighting();              // the active profile's next supported effect
  void FactoryReset();
  // Power lost: an open bracket is forgotten; the memory stays.
  void PowerCycle() { bracketOpen_ = false; }

  // Whether memory changed since the last MarkSaved.
  bool Dirty() const { return dirty_; }
  void MarkSaved() { dirty_ = false; }

  const ModelSpec& Model() const { return model_; }
  int MacroBlocks() const { return macroBlocks_; }
  int ActiveProfile() const { return info_[kInfoActiveProfile]; }
  bool BracketOpen() const { return bracketOpen_; }
  std::span<const uint8_t> Info() const { return info_; }
  std::span<const uint8_t> Params() const { return params_; }
  std::span<const uint8_t> KeyMaps() const { return keyMaps_; }
  std::span<const uint8_t> DefaultKeyMap() const { return defaultKeyMap_; }
  std::span<const uint8_t> Macros() const { return macros_; }
  std::span<const uint8_t> KeyColours() const { return keyColours_; }

 private:
  uint8_t Execute(std::span<const uint8_t> request, std::span<uint8_t> payload, bool& persistPoint);

  ModelSpec model_;
  int macroBlocks_;
  std::array<uint8_t, kInfoBytes> info_{};
  std::vector<uint8_t> params_;
  std::vector<uint8_t> keyMaps_;
  std::vector<uint8_t> defaultKeyMap_;
  std::vector<uint8_t> macros_;
  std::vector<uint8_t> keyColours_;
  bool bracketOpen_ = false;
  bool dirty_ = false;
  uint8_t forcedStatus_ = 0;
  int refuseAfter_ = 0;
};

}  // namespace keyloft::emu
