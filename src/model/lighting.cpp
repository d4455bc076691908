#include "model/lighting.h"

#include <algorithm>

#include "lang/localisation.h"
#include "model/lighting_view.h"
#include "store/settings.h"

namespace keyloft {
namespace {

constexpr size_t ProfileIndex(int profile) { return static_cast<size_t>(std::clamp(profile, 0, kLightingProfiles - 1)); }

constexpr bool ValidSlot(int slot) { return slot >= 0 && slot < kLedSlotsPerImage; }

// Effect 1, brightness 4, speed byte 3, direction 0, multicolour, white; report
// rate and every other field 0.
constexpr std::array<uint8_t, kResetBytes> kResetBlock = {0x01, 0x04, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

ModeList::ModeList(std::span<const uint8_t, kSupportedModeBytes> supported) {
  for (uint8_t mode : supported)
    if (mode != 0) modes_[count_++] = mode;
}

LightingMode ModeList::ModeAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= count_) return 0;
  return modes_[static_cast<size_t>(index)];
}

int ModeList::IndexOf(LightingMode mode) const {
  for (size_t i = 0; i < count_; ++i)
    if (modes_[i] == mode) return static_cast<int>(i);
  return -1;
}

void UnpackLightingParams(const LightingParams& block, LightingState& state) {
  const auto& b = block.bytes;
  state.mode = b[kParamEffect];
  state.brightness = b[kParamBrightness];
  state.speed = b[kParamSpeed];
  state.direction = b[kParamDirection];
  state.multicolour = b[kParamMulticolour] != 0;
  state.colour = MakeColour(b[kParamColour], b[kParamColour + 1], b[kParamColour + 2]);
  state.reportRate = std::min<int>(b[kParamReportRate], kMaxReportRate);
  state.fourColour = b[kParamFourColour];
}

Colour KeyColourMirror::Get(int profile, int slot) const {
  if (profile < 0 || profile >= kLightingProfiles || !ValidSlot(slot)) return 0;
  size_t at = static_cast<size_t>(profile) * kKeyColourStride + static_cast<size_t>(slot) * 3;
  return MakeColour(bytes[at], bytes[at + 1], bytes[at + 2]);
}

void KeyColourMirror::Set(int profile, int slot, Colour colour) {
  if (profile < 0 || profile >= kLightingProfiles || !ValidSlot(slot)) return;
  size_t at = static_cast<size_t>(profile) * kKeyColourStride + static_cast<size_t>(slot) * 3;
  bytes[at] = ColourRed(colour);
  bytes[at + 1] = ColourGreen(colour);
  bytes[at + 2] = ColourBlue(colour);
}

std::span<const uint8_t, kKeyColourStride> KeyColourMirror::Image(int profile) const {
  return std::span(bytes).subspan(ProfileIndex(profile) * kKeyColourStride).first<kKeyColourStride>();
}

LightingModel::LightingModel(DeviceContext& device, const Localisation& lang, Settings& settings, LightingView& view,
                             UserLightingStore& schemes)
    : device_(device), channel_(device), lang_(lang), settings_(settings), view_(view), schemes_(schemes) {}

std::vector<std::string> LightingModel::ModeNames() const {
  std::vector<std::string> names;
  for (uint8_t mode : modes_.Modes()) names.push_back(lang_.GetModeText(mode));
  return names;
}

const LightingParams& LightingModel::Block(int profile) const { return blocks_[ProfileIndex(profile)]; }

void LightingModel::SetProfile(int profile) {
  if (profile >= 0 && profile < kLightingProfiles) state_.profile = profile;
}

void LightingModel::SetLightingView(bool on) {
  state_.lightingView = on;
  settings_.WriteLightingView(on);
}

void LightingModel::LeaveLightingView() {
  if (!state_.lightingView) return;
  SetLightingView(false);
  view_.LeaveLightingView();
}

uint16_t LightingModel::BlockOffset(size_t offsetInBlock) const {
  return static_cast<uint16_t>(static_cast<size_t>(state_.profile) * kLightingBlockBytes + offsetInBlock);
}

bool LightingModel::ReadInfo() {
  state_.supportedModes.fill(0);
  modes_ = ModeList();
  InfoBlock info;
  if (channel_.DevReadInfo(info.bytes) != DEV_OK) return false;
  {
    std::scoped_lock lock(device_.stateLock);
    device_.lastInfo = info;
  }
  std::ranges::copy(info.effects(), state_.supportedModes.begin());
  modes_ = ModeList(state_.supportedModes);
  return true;
}

void LightingModel::ReadBlocks() {
  for (int p = 0; p < kLightingProfiles; ++p) {
    std::array<uint8_t, kCommandPayloadBytes> reply{};
    // A refused read keeps what the block held before.
    if (channel_.DevReadParams(reply, kCommandPayloadBytes, static_cast<uint16_t>(p * kLightingBlockBytes)) == DEV_OK)
      std::copy_n(reply.begin(), kLightingBlockBytes, blocks_[static_cast<size_t>(p)].bytes.begin());
  }
}

int LightingModel::ReadAllParams() {
  if (!ReadInfo()) return -1;
  channel_.DevBegin();
  ReadBlocks();
  channel_.DevEnd();
  UnpackLightingParams(blocks_[static_cast<size_t>(state_.profile)], state_);
  if (settings_.ReadLightingView()) state_.lightingView = true;
  return 1;
}

int LightingModel::SyncOnConnect() {
  int result = -1;
  if (ReadInfo()) {
    // The connection's first bracket opens with a second begin, as the
    // keyboard has always been sent it. Profile 0 gets the grid trigger style
    // on every connection.
    channel_.DevBegin();
    channel_.DevBegin();
    const uint8_t grid = 1;
    channel_.DevWriteParams(std::span(&grid, 1), static_cast<uint16_t>(kParamTriggerStyle));
    blocks_[0].bytes[kParamTriggerStyle] = grid;
    channel_.DevEnd();
    if (UserDefinedSupported()) {
      RefillSchemeNames();
      LoadSchemeWithUpload();
    }
    // No begin of its own: reads are accepted outside a bracket, and this end
    // closes the connection's sequence.
    ReadBlocks();
    channel_.DevEnd();
    UnpackLightingParams(blocks_[static_cast<size_t>(state_.profile)], state_);
    state_.lightingView = settings_.ReadLightingView();
    result = 1;
  }
  view_.RefreshPanel();
  if (UserDefinedSupported()) schemes_.RecomputeBaseFlags(mirror_);
  return result;
}

void LightingModel::ChangeProfile(int profile) {
  if (profile < 0 || profile >= kLightingProfiles) return;
  state_.profile = profile;
  ReadAllParams();
  if (UserDefinedSupported()) {
    RefillSchemeNames();
    LoadSchemeWithUpload();
  }
  view_.RefreshPanel();
  LeaveLightingView();
}

void LightingModel::RefillSchemeNames() {
  std::vector<std::string> names = schemes_.SchemeNames(state_.profile);
  view_.FillSchemeList(names);
}

void LightingModel::WriteFields(std::span<const FieldWrite> fields) {
  LightingParams& block = blocks_[static_cast<size_t>(state_.profile)];
  channel_.DevBegin();
  for (const FieldWrite& f : fields) {
    std::ranges::copy(f.bytes, block.bytes.begin() + static_cast<std::ptrdiff_t>(f.offset));
    channel_.DevWriteParams(f.bytes, BlockOffset(f.offset));
  }
  channel_.DevEnd();
}

void LightingModel::WriteParam(size_t offsetInBlock, std::span<const uint8_t> bytes) {
  if (offsetInBlock + bytes.size() > kLightingBlockBytes) return;
  const FieldWrite field{offsetInBlock, bytes};
  WriteFields(std::span(&field, 1));
}

void LightingModel::SelectMode(int comboIndex) {
  LightingMode mode = modes_.ModeAt(comboIndex);
  if (mode != 0) SelectEffect(mode);
}

void LightingModel::SelectEffect(LightingMode mode) {
  view_.BlankKeyColours();
  view_.LayDirectionArrows(mode);
  if (const ModeInfo* info = FindModeInfo(mode)) {
    const uint8_t effect = static_cast<uint8_t>(mode);
    const uint8_t multicolour = state_.multicolour ? 1 : 0;
    const FieldWrite fields[] = {{kParamEffect, std::span(&effect, 1)},
                                 {kParamMulticolour, std::span(&multicolour, 1)}};
    WriteFields(std::span(fields).first(info->selectWritesMulticolour ? 2 : 1));
  }
  state_.mode = mode;
  if (mode == kUserDefinedMode) view_.RepaintKeysFromMirror();
  view_.RestartPreview();
  view_.ShowEffectControls(mode);
}

void LightingModel::SetBrightness(int position) {
  const int value = std::clamp(position, 0, kMaxBrightness);
  if (value == state_.brightness) return;
  state_.brightness = value;
  const uint8_t byte = static_cast<uint8_t>(value);
  WriteParam(kParamBrightness, std::span(&byte, 1));
}

void LightingModel::SetSpeed(int position) {
  const int value = SpeedSliderPosition(position);
  if (value == state_.speed) return;
  state_.speed = value;
  const uint8_t byte = static_cast<uint8_t>(value);
  WriteParam(kParamSpeed, std::span(&byte, 1));
}

void LightingModel::SetDirection(uint8_t direction) {
  const uint8_t byte = direction != 0 ? kDirectionFirst : kDirectionSecond;
  state_.direction = byte;
  WriteParam(kParamDirection, std::span(&byte, 1));
}

void LightingModel::SetColour(Colour colour) {
  state_.multicolour = false;
  state_.colour = colour & 0xFFFFFF;
  const std::array<uint8_t, 4> bytes = {0, ColourRed(colour), ColourGreen(colour), ColourBlue(colour)};
  WriteParam(kParamMulticolour, bytes);
}

void LightingModel::ToggleMulticolour() {
  state_.multicolour = !state_.multicolour;
  const uint8_t byte = state_.multicolour ? 1 : 0;
  WriteParam(kParamMulticolour, std::span(&byte, 1));
}

void LightingModel::SetFourColour(int choice) {
  state_.fourColour = std::clamp(choice, 0, 3);
  const uint8_t byte = static_cast<uint8_t>(state_.fourColour);
  WriteParam(kParamFourColour, std::span(&byte, 1));
}

void LightingModel::SetReportRate(int rate) {
  state_.reportRate = std::clamp(rate, 0, kMaxReportRate);
  const uint8_t byte = static_cast<uint8_t>(state_.reportRate);
  WriteParam(kParamReportRate, std::span(&byte, 1));
}

void LightingModel::WriteKeyColour(int slot, Colour colour) {
  if (!ValidSlot(slot)) return;
  mirror_.Set(state_.profile, slot, colour);
  const std::array<uint8_t, 3> rgb = {ColourRed(colour), ColourGreen(colour), ColourBlue(colour)};
  channel_.DevBegin();
  channel_.DevWriteKeyColours(rgb, slot, state_.profile);
  channel_.DevEnd();
}

void LightingModel::UploadKeyImage() {
  const auto image = mirror_.Image(state_.profile);
  constexpr int kSlotsPerChunk = static_cast<int>(kUploadChunkBytes / 3);
  channel_.DevBegin();
  for (int k = 0; k < kUploadChunks; ++k)
    channel_.DevWriteKeyColours(image.subspan(static_cast<size_t>(k) * kUploadChunkBytes, kUploadChunkBytes),
                                k * kSlotsPerChunk, state_.profile);
  channel_.DevEnd();
}

void LightingModel::LoadSchemeWithUpload() {
  schemes_.LoadCurrentScheme(state_.profile, mirror_);
  UploadKeyImage();
}

void LightingModel::ResetLighting() {
  SelectEffect(1);
  // The state follows the bytes written below. The speed byte is 3, so the
  // slider shows position 0, as it would after the next read-back anyway.
  LightingParams reset;
  std::ranges::copy(kResetBlock, reset.bytes.begin());
  UnpackLightingParams(reset, state_);
  if (UserDefinedSupported()) {
    schemes_.ResetSchemesFromTemplate(state_.profile);
    RefillSchemeNames();
    LoadSchemeWithUpload();
  }
  WriteParam(kParamEffect, kResetBlock);
  view_.RefreshPanel();
}

}  // namespace keyloft
