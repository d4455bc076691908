// The on-screen preview of the lighting effects: every 50 ms the window asks
// for a frame and paints the key buttons in the colours it returns. Integer
// arithmetic over the effect, direction, multicolour flag and colour; nothing
// reaches the keyboard, which renders the real effect itself. Brightness and
// speed do not change the preview.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "model/key_codes.h"
#include "model/keyboard_model.h"
#include "model/lighting.h"

namespace keyloft {

// The keys a frame colours, in frame order: the board's keys, then Fn.
inline constexpr std::array<KeyCode, kFullSizeKeys.size() + 1> kPreviewKeys = [] {
  std::array<KeyCode, kFullSizeKeys.size() + 1> keys{};
  for (size_t i = 0; i < kFullSizeKeys.size(); ++i) keys[i] = kFullSizeKeys[i];
  keys.back() = kFnKey;
  return keys;
}();
inline constexpr size_t kPreviewKeyCount = kPreviewKeys.size();  // 106

// A key's place in a frame; -1 for a key the preview does not colour (the G keys).
constexpr int PreviewKeyIndex(KeyCode key) {
  for (size_t i = 0; i < kPreviewKeys.size(); ++i)
    if (kPreviewKeys[i] == key) return static_cast<int>(i);
  return -1;
}

using PreviewColours = std::array<Colour, kPreviewKeyCount>;

struct PreviewInput {
  LightingMode mode = 0;
  uint8_t direction = kDirectionFirst;  // 0xFF steps the phases forward, 0 backward
  bool multicolour = false;
  Colour colour = 0;
};

enum class PreviewFrame : uint8_t {
  kPainted,    // every key has a colour
  kCleared,    // the effect has no preview: every key loses its colour
  kUntouched,  // the user-defined effect, or a frame already running: the keys keep their colours
};

class EffectPreview {
 public:
  // Random numbers for the sparkle and ripple hues; without one, a generator
  // reseeded from the clock every frame.
  using Random = std::function<uint32_t()>;
  explicit EffectPreview(Random random = {});
  ~EffectPreview();
  EffectPreview(EffectPreview&&) noexcept;
  EffectPreview& operator=(EffectPreview&&) noexcept;

  // The next frame starts the demo, the rain, the corner ripple and the ring
  // wave over and darkens the sparkles; the other effects keep their phase.
  void Restart();
  // One frame of the input's effect. Whether the lighting view shows it is
  // the caller's concern.
  PreviewFrame Tick(const PreviewInput& input);

  // The colours of the last painted frame, one per entry of kPreviewKeys.
  // Right Win shares Page Up's light on the keyboard, so it shows its colour.
  const PreviewColours& Colours() const;
  // One key's colour; 0 for a key the preview does not colour.
  Colour ColourOf(KeyCode key) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace keyloft
