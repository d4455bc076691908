// The on-screen preview of the lighting effects: every 50 ms the window asks
// for a frame and paints the key buttons in the colours it returns. Pure
// integer arithmetic over the effect's state (effect, direction, multicolour,
// colour); nothing reaches the keyboard, which renders the real effect
// itself. Brightness and speed do not change the preview.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <span>

#include "model/key_codes.h"
#include "model/lighting.h"

namespace keyloft {

inline constexpr int kPreviewRows = 6;
inline constexpr int kPreviewColumns = 23;
// The keys the preview colours: every cell of the grid once (the keys of the
// board but Right Win, and Fn).
inline constexpr int kPreviewKeys = 105;

struct PreviewInput {
  LightingMode mode = 0;
  uint8_t direction = 0;  // 0xFF forward, 0 backward
  bool multicolour = false;
  Colour colour = 0;
};

enum class PreviewFrame : uint8_t {
  kPainted,    // every key has a colour
  kCleared,    // the effect has no preview: every key loses its colour
  kUntouched,  // the user-defined effect: the keys keep their painted colours
};

class EffectPreview {
 public:
  // Random numbers for the sparkle and ripple hues; by default a generator
  // reseeded from the clock every frame.
  using Random = std::function<uint32_t()>;
  explicit EffectPreview(Random random = {});

  // The next frame starts the effects that have a start over (the demo, the
  // rain, the reactive ripple); the others keep their phase.
  void Restart() { started_ = false; }
  PreviewFrame Tick(const PreviewInput& input);

  // A key's colour after the last painted frame; 0 for keys the preview does
  // not colour. Right Win shares Page Up's light on the keyboard, so its colour.
  Colour ColourOf(KeyCode key) const;
  // The preview's keys, in grid order.
  static std::span<const KeyCode, kPreviewKeys> Keys();

 private:
  using Planes = std::array<std::array<uint8_t, kPreviewColumns>, 4>;  // up-left, down-left, up-right, down-right
  struct Glow {
    std::array<uint8_t, kPreviewKeys> level{};
    std::array<uint8_t, kPreviewKeys> hue{};
  };

  void Start();
  uint32_t NextRandom();
  void FillColumns(const std::function<Colour(int column)>& colourOf);
  void FillOrder(std::span<const KeyCode> order, const std::function<Colour(int position)>& colourOf);
  void FillRings(const std::function<Colour(int ring)>& colourOf);
  void Light(Glow& glow, KeyCode key, uint8_t hue);
  void LightPlanes(Glow& glow, const Planes& planes, bool multicolour);
  static void Spread(Planes& planes);
  static void Fall(Planes& planes);
  static void Decay(Glow& glow, bool ruleB);
  void Show(const Glow& glow, const PreviewInput& input);
  void Demo(const PreviewInput& input);

  Random random_;
  bool fromClock_;
  std::minstd_rand clock_;
  bool started_ = false;
  bool busy_ = false;
  std::array<Colour, kPreviewKeys> colours_{};
  std::array<int, 21> phase_{};  // per effect; 14, 15 and 18 share phase_[14]
  int demoStage_ = 0, demoFrames_ = 0, demoHue_ = 0;
  int sparkleAt_ = 0;
  bool spiralStarted_ = false, rippleStarted_ = false;
  std::array<int, kPreviewKeys> spiralHue_{};
  Glow glow10_, glow13_, glow14_, glow16_;
  Planes planes13_{}, planes14_{}, planes15_{}, planes16_{};
};

}  // namespace keyloft
