#include "sync/lighting_controller.h"

#include <algorithm>

#include "lang/localisation.h"
#include "store/settings.h"
#include "sync/lighting_view.h"
#include "sync/scheme_store.h"

namespace keyloft {
namespace {

constexpr size_t ProfileIndex(int profile) { return static_cast<size_t>(std::clamp(profile, 0, kLightingProfiles - 1)); }

constexpr bool ValidSlot(int slot) { return slot >= 0 && slot < kLedSlotsPerImage; }

// Effect 1, brightness 4, speed byte 3, direction 0, multicolour, white; report
// rate and every other field 0.
constexpr std::array<uint8_t, kResetBytes> kResetBlock = {0x01, 0x04, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

LightingController::LightingController(DeviceContext& device, const Localisation& lang, Settings& settings,
                                       LightingView& view, UserLightingStore& schemes)
    : device_(device), channel_(device), lang_(lang), settings_(settings), view_(view), schemes_(schemes) {}

std::vector<std::string> LightingController::ModeNames() const {
  std::vector<std::string> names;
  for (uint8_t mode : modes_.Modes()) names.push_back(lang_.GetModeText(mode));
  return names;
}

const LightingParams& LightingController::Block(int profile) const { return blocks_[ProfileIndex(profile)]; }

void LightingController::SetProfile(int profile) {
  if (profile >= 0 && profile < kLightingProfiles) state_.profile = profile;
}

void LightingController::SetLightingView(bool on) {
  state_.lightingView = on;
  settings_.WriteLightingView(on);
}

void LightingController::LeaveLightingView() {
  if (!state_.lightingView) return;
  SetLightingView(false);
  view_.LeaveLightingView();
}

uint16_t LightingController::BlockOffset(size_t offsetInBlock) const {
  return static_cast<uint16_t>(static_cast<size_t>(state_.profile) * kLightingBlockBytes + offsetInBlock);
}

DevResult LightingController::ReadInfo() {
  state_.supportedModes.fill(0);
  modes_ = ModeList();
  InfoBlock info;
  if (DevResult read = channel_.DevReadInfo(info.bytes); read != DevResult::Ok) return read;
  {
    std::scoped_lock lock(device_.stateLock);
    device_.lastInfo = info;
  }
  std::ranges::copy(info.effects(), state_.supportedModes.begin());
  modes_ = ModeList(state_.supportedModes);
  return DevResult::Ok;
}

DevResult LightingController::ReadBlocks() {
  DevResults results;
  for (int p = 0; p < kLightingProfiles; ++p) {
    std::array<uint8_t, kCommandPayloadBytes> reply{};
    // A refused read keeps what the block held before.
    const DevResult read =
        channel_.DevReadParams(reply, kCommandPayloadBytes, static_cast<uint16_t>(p * kLightingBlockBytes));
    if (read == DevResult::Ok) std::copy_n(reply.begin(), kLightingBlockBytes, blocks_[static_cast<size_t>(p)].bytes.begin());
    results.Add(read);
  }
  return results.First();
}

DevResult LightingController::ReadAllParams() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  if (DevResult info = ReadInfo(); info != DevResult::Ok) return info;
  DevResults results;
  results.Add(channel_.DevBegin());
  results.Add(ReadBlocks());
  results.Add(channel_.DevEnd());
  UnpackLightingParams(blocks_[static_cast<size_t>(state_.profile)], state_);
  if (settings_.ReadLightingView()) state_.lightingView = true;
  return results.First();
}

DevResult LightingController::SyncOnConnect() {
  DeviceSequence sequence(device_, DeviceSequence::Continue);
  DevResults results;
  results.Add(ReadInfo());
  if (results.Ok()) {
    // The connection's first bracket opens with a second begin, as the
    // keyboard has always been sent it. Profile 0 gets the grid trigger style
    // on every connection.
    results.Add(channel_.DevBegin());
    results.Add(channel_.DevBegin());
    const uint8_t grid = 1;
    results.Add(channel_.DevWriteParams(std::span(&grid, 1), static_cast<uint16_t>(kParamTriggerStyle)));
    blocks_[0].bytes[kParamTriggerStyle] = grid;
    results.Add(channel_.DevEnd());
    if (UserDefinedSupported()) {
      RefillSchemeNames();
      results.Add(LoadSchemeWithUpload());
    }
    // No begin of its own: reads are accepted outside a bracket, and this end
    // closes the connection's sequence.
    results.Add(ReadBlocks());
    results.Add(channel_.DevEnd());
    UnpackLightingParams(blocks_[static_cast<size_t>(state_.profile)], state_);
    state_.lightingView = settings_.ReadLightingView();
  }
  view_.RefreshPanel();
  if (UserDefinedSupported()) schemes_.RecomputeBaseFlags(mirror_);
  return results.First();
}

DevResult LightingController::ChangeProfile(int profile) {
  if (profile < 0 || profile >= kLightingProfiles) return DevResult::BadProfile;
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  state_.profile = profile;
  DevResults results;
  results.Add(ReadAllParams());
  if (UserDefinedSupported()) {
    RefillSchemeNames();
    results.Add(LoadSchemeWithUpload());
  }
  view_.RefreshPanel();
  LeaveLightingView();
  return results.First();
}

void LightingController::RefillSchemeNames() {
  std::vector<std::string> names = schemes_.SchemeNames(state_.profile);
  view_.FillSchemeList(names);
}

DevResult LightingController::WriteFields(std::span<const FieldWrite> fields) {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  LightingParams& block = blocks_[static_cast<size_t>(state_.profile)];
  DevResults results;
  results.Add(channel_.DevBegin());
  for (const FieldWrite& f : fields) {
    std::ranges::copy(f.bytes, block.bytes.begin() + static_cast<std::ptrdiff_t>(f.offset));
    results.Add(channel_.DevWriteParams(f.bytes, BlockOffset(f.offset)));
  }
  results.Add(channel_.DevEnd());
  return results.First();
}

DevResult LightingController::WriteParam(size_t offsetInBlock, std::span<const uint8_t> bytes) {
  if (offsetInBlock + bytes.size() > kLightingBlockBytes) return DevResult::BadProfile;
  const FieldWrite field{offsetInBlock, bytes};
  return WriteFields(std::span(&field, 1));
}

DevResult LightingController::SelectMode(int comboIndex) {
  LightingMode mode = modes_.ModeAt(comboIndex);
  return mode != 0 ? SelectEffect(mode) : DevResult::Ok;
}

DevResult LightingController::SelectEffect(LightingMode mode) {
  view_.BlankKeyColours();
  view_.LayDirectionArrows(mode);
  DevResult result = DevResult::Ok;
  if (const ModeInfo* info = FindModeInfo(mode)) {
    const uint8_t effect = static_cast<uint8_t>(mode);
    const uint8_t multicolour = state_.multicolour ? 1 : 0;
    const FieldWrite fields[] = {{kParamEffect, std::span(&effect, 1)},
                                 {kParamMulticolour, std::span(&multicolour, 1)}};
    result = WriteFields(std::span(fields).first(info->selectWritesMulticolour ? 2 : 1));
  }
  state_.mode = mode;
  if (mode == kUserDefinedMode) view_.RepaintKeysFromMirror();
  view_.RestartPreview();
  view_.ShowEffectControls(mode);
  return result;
}

DevResult LightingController::SetBrightness(int position) {
  const int value = std::clamp(position, 0, kMaxBrightness);
  if (value == state_.brightness) return DevResult::Ok;
  state_.brightness = value;
  const uint8_t byte = static_cast<uint8_t>(value);
  return WriteParam(kParamBrightness, std::span(&byte, 1));
}

DevResult LightingController::SetSpeed(int position) {
  const int value = SpeedSliderPosition(position);
  if (value == state_.speed) return DevResult::Ok;
  state_.speed = value;
  const uint8_t byte = static_cast<uint8_t>(value);
  return WriteParam(kParamSpeed, std::span(&byte, 1));
}

DevResult LightingController::SetDirection(uint8_t direction) {
  const uint8_t byte = direction != 0 ? kDirectionFirst : kDirectionSecond;
  state_.direction = byte;
  return WriteParam(kParamDirection, std::span(&byte, 1));
}

DevResult LightingController::SetColour(Colour colour) {
  state_.multicolour = false;
  state_.colour = colour & 0xFFFFFF;
  const std::array<uint8_t, 4> bytes = {0, ColourRed(colour), ColourGreen(colour), ColourBlue(colour)};
  return WriteParam(kParamMulticolour, bytes);
}

DevResult LightingController::ToggleMulticolour() {
  state_.multicolour = !state_.multicolour;
  const uint8_t byte = state_.multicolour ? 1 : 0;
  return WriteParam(kParamMulticolour, std::span(&byte, 1));
}

DevResult LightingController::SetFourColour(int choice) {
  state_.fourColour = std::clamp(choice, 0, 3);
  const uint8_t byte = static_cast<uint8_t>(state_.fourColour);
  return WriteParam(kParamFourColour, std::span(&byte, 1));
}

DevResult LightingController::SetReportRate(int rate) {
  state_.reportRate = std::clamp(rate, 0, kMaxReportRate);
  const uint8_t byte = static_cast<uint8_t>(state_.reportRate);
  return WriteParam(kParamReportRate, std::span(&byte, 1));
}

DevResult LightingController::WriteKeyColour(int slot, Colour colour) {
  if (!ValidSlot(slot)) return DevResult::Ok;
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  mirror_.Set(state_.profile, slot, colour);
  const std::array<uint8_t, 3> rgb = {ColourRed(colour), ColourGreen(colour), ColourBlue(colour)};
  DevResults results;
  results.Add(channel_.DevBegin());
  results.Add(channel_.DevWriteKeyColours(rgb, slot, state_.profile));
  results.Add(channel_.DevEnd());
  return results.First();
}

DevResult LightingController::RecolourSlots(std::span<const int> slots, Colour colour) {
  for (int slot : slots) mirror_.Set(state_.profile, slot, colour);
  return UploadKeyImage();
}

DevResult LightingController::UploadKeyImage() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  const auto image = mirror_.Image(state_.profile);
  constexpr int kSlotsPerChunk = static_cast<int>(kUploadChunkBytes / 3);
  DevResults results;
  results.Add(channel_.DevBegin());
  for (int k = 0; k < kUploadChunks; ++k) {
    results.Add(channel_.DevWriteKeyColours(image.subspan(static_cast<size_t>(k) * kUploadChunkBytes, kUploadChunkBytes),
                                            k * kSlotsPerChunk, state_.profile));
  }
  results.Add(channel_.DevEnd());
  return results.First();
}

DevResult LightingController::LoadSchemeWithUpload() {
  schemes_.LoadCurrentScheme(state_.profile, mirror_);
  return UploadKeyImage();
}

DevResult LightingController::ResetLighting() {
  DeviceSequence sequence(device_, DeviceSequence::Fresh);
  DevResults results;
  results.Add(SelectEffect(1));
  // The state follows the bytes written below. The speed byte is 3, so the
  // slider shows position 0, as it would after the next read-back anyway.
  LightingParams reset;
  std::ranges::copy(kResetBlock, reset.bytes.begin());
  UnpackLightingParams(reset, state_);
  if (UserDefinedSupported()) {
    schemes_.ResetSchemesFromTemplate(state_.profile);
    RefillSchemeNames();
    results.Add(LoadSchemeWithUpload());
  }
  results.Add(WriteParam(kParamEffect, kResetBlock));
  view_.RefreshPanel();
  return results.First();
}

DevResult LightingController::PaintKeys(std::optional<int> scheme, std::span<const SlotPaint> paints, int* painted) {
  const int done = schemes_.PaintSlots(state_.profile, scheme, paints);
  if (painted) *painted = done;
  return LoadSchemeWithUpload();
}

}  // namespace keyloft
