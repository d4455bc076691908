#include "model/effect_preview.h"

#include <gtest/gtest.h>

#include <vector>

namespace keyloft {
namespace {

constexpr KeyCode kEsc = 0x001, kA = 0x01E, kS = 0x01F, kD = 0x020, kF = 0x021, kQ = 0x010, kZ = 0x02C, kO = 0x018,
                  kPause = 0x045, kKpEnter = 0x11C, kKpDot = 0x053, kRightWin = 0x15C, kPageUp = 0x149,
                  kLeftCtrl = 0x01D, kF1 = 0x03B;
constexpr Colour kRed = MakeColour(255, 0, 0);

PreviewInput Input(LightingMode mode, uint8_t direction = kDirectionFirst, bool multi = true, Colour colour = kRed) {
  return {mode, direction, multi, colour};
}

// A fixed random source: every hue the same, so frames repeat.
EffectPreview Fixed() {
  return EffectPreview([] { return 7u; });
}

// Sparkle lights a key at 255 and lets it fade: its levels are rule A's.
TEST(EffectPreview, RuleATakesAFullKeyToDarkInThirtyTwoFrames) {
  EffectPreview preview = Fixed();
  // The sparkle's third key of the first frame is the K45 key: watch A,
  // whose turn comes much later, through a one-colour glow instead.
  std::vector<int> levels;
  // Effect 10, white, one colour: a key's red channel is its level.
  const PreviewInput white = Input(10, 0, false, MakeColour(255, 255, 255));
  ASSERT_EQ(preview.Tick(white), PreviewFrame::kPainted);
  const KeyCode first = 0x138;  // Right Alt: the second entry of the sparkle order, lit on the first frame
  levels.push_back(ColourRed(preview.ColourOf(first)));
  for (int f = 0; f < 40 && levels.back() > 0; ++f) {
    preview.Tick(white);
    levels.push_back(ColourRed(preview.ColourOf(first)));
  }
  // Lit, then decayed once before it is shown: 235 on its first frame.
  const std::vector<int> start = {235, 215, 195, 175, 155, 135, 115, 99, 83, 67, 51, 41, 31, 26, 21, 16, 15};
  ASSERT_GE(levels.size(), start.size());
  EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + static_cast<long>(start.size())), start);
  EXPECT_EQ(levels.back(), 0);
  EXPECT_EQ(levels.size(), 32u);  // 255 (unseen) and 31 frames down to 0 shown: 32 decays
}

TEST(EffectPreview, RuleBTakesTheDemosFirstKeysToDarkInTwentySevenFrames) {
  EffectPreview preview = Fixed();
  const PreviewInput white = Input(14, 0, false, MakeColour(255, 255, 255));
  int frames = 0;
  preview.Tick(white);  // Esc lit by the script's first step
  EXPECT_EQ(ColourRed(preview.ColourOf(kEsc)), 225);
  while (ColourRed(preview.ColourOf(kEsc)) > 0 && frames < 60) {
    preview.Tick(white);
    ++frames;
  }
  EXPECT_EQ(frames + 1, 27);
}

// Columns of a frame as the grid lays them: one key from each.
std::vector<Colour> Row(const EffectPreview& preview) {
  std::vector<Colour> row;
  for (KeyCode key : {kA, kS, kD, kF}) row.push_back(preview.ColourOf(key));
  return row;
}

TEST(EffectPreview, WaveMovesRightToLeftForTheFirstDirectionAndBackForTheOther) {
  for (uint8_t direction : {kDirectionFirst, kDirectionSecond}) {
    EffectPreview preview = Fixed();
    preview.Tick(Input(1, direction));
    const std::vector<Colour> before = Row(preview);
    preview.Tick(Input(1, direction));
    const std::vector<Colour> after = Row(preview);
    // One column a frame: what S showed, A shows now (or D, the other way).
    if (direction == kDirectionFirst) EXPECT_EQ(after[0], before[1]);
    else EXPECT_EQ(after[2], before[1]);
  }
}

TEST(EffectPreview, VerticalRainbowMovesItsBandsUpwardsForTheFirstDirection) {
  // Three rows are 96 hue steps, 32 frames: the bottom row's colour reaches
  // Q's row then (upwards), or the other way round (downwards).
  for (uint8_t direction : {kDirectionFirst, kDirectionSecond}) {
    EffectPreview preview = Fixed();
    std::vector<Colour> q, bottom;
    for (int f = 0; f < 40; ++f) {
      preview.Tick(Input(12, direction));
      q.push_back(preview.ColourOf(kQ));
      bottom.push_back(preview.ColourOf(kLeftCtrl));
    }
    if (direction == kDirectionFirst) EXPECT_EQ(q[34], bottom[2]);
    else EXPECT_EQ(bottom[34], q[2]);
    EXPECT_NE(q[2], bottom[2]);
  }
}

TEST(EffectPreview, TheOneColourCometAlwaysAdvancesAndTheDirectionMirrorsIt) {
  EffectPreview forward = Fixed(), backward = Fixed();
  std::vector<Colour> a, b;
  for (int f = 0; f < 40; ++f) {
    forward.Tick(Input(2, kDirectionFirst, false));
    backward.Tick(Input(2, kDirectionSecond, false));
    a.push_back(forward.ColourOf(kA));
    b.push_back(backward.ColourOf(kA));
  }
  EXPECT_NE(a, b);
  // Both move: neither stands still for the whole run.
  EXPECT_NE(std::count(a.begin(), a.end(), a.front()), 40);
  EXPECT_NE(std::count(b.begin(), b.end(), b.front()), 40);
}

TEST(EffectPreview, EffectsThatIgnoreTheDirectionOrTheColourChoice) {
  struct Case {
    LightingMode mode;
    bool directionMatters;
  };
  for (Case c : {Case{4, true}, Case{5, false}, Case{6, false}, Case{11, false}, Case{18, true}}) {
    EffectPreview forward = Fixed(), backward = Fixed();
    bool same = true;
    for (int f = 0; f < 5; ++f) {
      forward.Tick(Input(c.mode, kDirectionFirst));
      backward.Tick(Input(c.mode, kDirectionSecond));
      same = same && Row(forward) == Row(backward) && forward.ColourOf(kO) == backward.ColourOf(kO);
    }
    EXPECT_EQ(same, !c.directionMatters) << "effect " << c.mode;
  }
  EffectPreview multi = Fixed(), single = Fixed();
  multi.Tick(Input(11, kDirectionFirst, true));
  single.Tick(Input(11, kDirectionFirst, false, 0x123456));
  EXPECT_EQ(Row(multi), Row(single));
}

TEST(EffectPreview, WithoutMulticolourTheGlowingEffectsShowOnlyShadesOfTheColour) {
  const Colour colour = MakeColour(200, 100, 50);
  for (LightingMode mode : {10, 13, 14, 15, 16}) {
    EffectPreview preview([] { return 123u; });
    for (int f = 0; f < 40; ++f) {
      preview.Tick(Input(mode, kDirectionFirst, false, colour));
      for (KeyCode key : EffectPreview::Keys()) {
        const Colour c = preview.ColourOf(key);
        // A shade: each channel the colour's at one level.
        const int level = ColourRed(c) * 255 / 200;
        EXPECT_LE(std::abs(ColourGreen(c) - 100 * level / 255), 1) << mode;
        EXPECT_LE(std::abs(ColourBlue(c) - 50 * level / 255), 1) << mode;
      }
    }
  }
}

TEST(EffectPreview, TheDemoLightsItsScriptInOrder) {
  EffectPreview preview = Fixed();
  const PreviewInput white = Input(14, 0, false, MakeColour(255, 255, 255));
  // Each step's keys are the ones at the fresh level (225 under rule B).
  const std::vector<std::vector<KeyCode>> firstSteps = {{kEsc, kKpEnter}, {kF1, kKpDot}};
  for (const auto& keys : firstSteps) {
    preview.Tick(white);
    std::vector<KeyCode> fresh;
    for (KeyCode key : EffectPreview::Keys())
      if (ColourRed(preview.ColourOf(key)) == 225) fresh.push_back(key);
    std::sort(fresh.begin(), fresh.end());
    std::vector<KeyCode> expected = keys;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fresh, expected);
  }
}

TEST(EffectPreview, FramesWithoutAnimationAndRightWinSharingPageUp) {
  EffectPreview preview = Fixed();
  EXPECT_EQ(preview.Tick(Input(kUserDefinedMode)), PreviewFrame::kUntouched);
  for (LightingMode mode : {0, 7, 8, 9, 17, 19, 21}) {
    preview.Tick(Input(4));
    ASSERT_NE(preview.ColourOf(kZ), 0u);
    EXPECT_EQ(preview.Tick(Input(mode)), PreviewFrame::kCleared) << mode;
    EXPECT_EQ(preview.ColourOf(kZ), 0u) << mode;
  }
  preview.Tick(Input(3));
  EXPECT_EQ(preview.ColourOf(kRightWin), preview.ColourOf(kPageUp));
  EXPECT_EQ(preview.ColourOf(0x200), 0u);  // the G keys have no light in the preview
}

TEST(EffectPreview, RestartBeginsTheDemoAgainButKeepsOtherPhases) {
  EffectPreview preview = Fixed();
  const PreviewInput white = Input(14, 0, false, MakeColour(255, 255, 255));
  for (int f = 0; f < 5; ++f) preview.Tick(white);
  preview.Restart();
  preview.Tick(white);
  EXPECT_EQ(ColourRed(preview.ColourOf(kEsc)), 225);  // step 0 again

  EffectPreview a = Fixed(), b = Fixed();
  for (int f = 0; f < 3; ++f) {
    a.Tick(Input(4));
    b.Tick(Input(4));
  }
  b.Restart();
  a.Tick(Input(4));
  b.Tick(Input(4));
  EXPECT_EQ(a.ColourOf(kPause), b.ColourOf(kPause));
}

}  // namespace
}  // namespace keyloft
