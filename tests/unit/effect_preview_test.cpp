#include "model/effect_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace keyloft {
namespace {

namespace key {
constexpr KeyCode Esc = 0x001, F1 = 0x03B, F2 = 0x03C, F3 = 0x03D, F4 = 0x03E, F5 = 0x03F, F6 = 0x040, F7 = 0x041,
                  F8 = 0x042, F9 = 0x043, F10 = 0x044, F11 = 0x057, F12 = 0x058, PrtSc = 0x137, ScrLk = 0x046,
                  Pause = 0x045;
constexpr KeyCode Grave = 0x029, K1 = 0x002, K2 = 0x003, K3 = 0x004, K4 = 0x005, K5 = 0x006, K6 = 0x007, K7 = 0x008,
                  K8 = 0x009, K9 = 0x00A, K0 = 0x00B, Minus = 0x00C, Equal = 0x00D, Bksp = 0x00E, Ins = 0x152,
                  PgUp = 0x149, KpMinus = 0x04A;
constexpr KeyCode Tab = 0x00F, Q = 0x010, W = 0x011, E = 0x012, R = 0x013, T = 0x014, Y = 0x015, U = 0x016, I = 0x017,
                  O = 0x018, P = 0x019, LBr = 0x01A, RBr = 0x01B, Del = 0x153;
constexpr KeyCode Caps = 0x03A, K = 0x025, L = 0x026, Semi = 0x027, Quote = 0x028, Enter = 0x01C, Kp4 = 0x04B,
                  Kp5 = 0x04C, Kp6 = 0x04D, KpPlus = 0x04E;
constexpr KeyCode LShift = 0x02A, K45 = 0x056, M = 0x032, N = 0x031, Comma = 0x033, Dot = 0x034, Slash = 0x035,
                  RShift = 0x036, Up = 0x148, Kp1 = 0x04F, Kp2 = 0x050, Kp3 = 0x051, KpEnter = 0x11C;
constexpr KeyCode LCtrl = 0x01D, RAlt = 0x138, RWin = 0x15C, Menu = 0x15D, RCtrl = 0x11D, Left = 0x14B, Down = 0x150,
                  Right = 0x14D, Kp0 = 0x052, KpDot = 0x053;
}  // namespace key

constexpr Colour kOrange = MakeColour(200, 100, 50);

PreviewInput Input(LightingMode mode, uint8_t direction, bool multicolour, Colour colour = kWhite) {
  return {mode, direction, multicolour, colour};
}

// Deterministic random numbers: a different one every call.
EffectPreview::Random Counting() {
  return [n = 0u]() mutable { return n += 7919; };
}

// The given numbers, over and over.
EffectPreview::Random Repeating(std::vector<uint32_t> numbers) {
  return [numbers, i = size_t{0}]() mutable { return numbers[i++ % numbers.size()]; };
}

Colour Shade(Colour c, int level) {
  return MakeColour(static_cast<uint8_t>(ColourRed(c) * level / 255),
                    static_cast<uint8_t>(ColourGreen(c) * level / 255),
                    static_cast<uint8_t>(ColourBlue(c) * level / 255));
}

std::vector<KeyCode> Keys(std::initializer_list<KeyCode> keys) {
  std::set<KeyCode> unique(keys);
  return {unique.begin(), unique.end()};
}

// In white, a key lit this frame shows the level of its first decay: 235
// (rule A) or 225 (the demo's rule B). Right Win only repeats Page Up.
std::vector<KeyCode> FreshKeys(const EffectPreview& preview, int level) {
  std::vector<KeyCode> fresh;
  for (KeyCode k : kPreviewKeys)
    if (k != key::RWin && preview.ColourOf(k) == Shade(kWhite, level)) fresh.push_back(k);
  std::sort(fresh.begin(), fresh.end());
  return fresh;
}

std::vector<Colour> ColoursOf(const EffectPreview& preview, const std::vector<KeyCode>& keys) {
  std::vector<Colour> colours;
  for (KeyCode k : keys) colours.push_back(preview.ColourOf(k));
  return colours;
}

template <typename Case>
std::string NameOf(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// ---- Decay ----------------------------------------------------------------------

struct DecayCase {
  std::string name;
  LightingMode mode;
  KeyCode key;  // lit on the first frame, not again for a while
  std::vector<int> levels;  // shown from the first frame until dark
};

class LitKeyFades : public ::testing::TestWithParam<DecayCase> {};

TEST_P(LitKeyFades, ThroughTheRulesLevelsToDark) {
  const DecayCase& c = GetParam();
  EffectPreview preview(Counting());
  std::vector<int> shown;
  for (size_t f = 0; f < c.levels.size() + 3; ++f) {
    preview.Tick(Input(c.mode, kDirectionFirst, false));
    shown.push_back(ColourRed(preview.ColourOf(c.key)));
  }
  shown.resize(c.levels.size());
  EXPECT_EQ(shown, c.levels);
  EXPECT_EQ(ColourRed(preview.ColourOf(c.key)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, LitKeyFades,
    ::testing::Values(DecayCase{"RuleAInThirtyTwoFrames", 10, key::RAlt,
                                {235, 215, 195, 175, 155, 135, 115, 99, 83, 67, 51, 41, 31, 26, 21, 16,
                                 15,  14,  13,  12,  11,  10,  9,   8,  7,  6,  5,  4,  3,  2,  1,  0}},
                      DecayCase{"RuleBInTwentySevenFrames", 14, key::Esc,
                                {225, 195, 165, 135, 105, 85, 65, 45, 35, 25, 20, 15, 14, 13,
                                 12,  11,  10,  9,   8,   7,  6,  5,  4,  3,  2,  1,  0}}),
    NameOf<DecayCase>);

// ---- Movement -------------------------------------------------------------------

// Columns 1..13 of the grid, one cell each.
const std::vector<KeyCode> kNumberRow = {key::Grave, key::K1, key::K2, key::K3, key::K4,    key::K5,   key::K6,
                                         key::K7,    key::K8, key::K9, key::K0, key::Minus, key::Equal};
const std::vector<KeyCode> kSpiralStart = {key::Pause, key::ScrLk, key::PrtSc, key::F12, key::F11, key::F10,
                                           key::F9,    key::F8,    key::F7,    key::F6,  key::F5,  key::F4};
const std::vector<KeyCode> kRowsDown = {key::Esc, key::Grave, key::Tab, key::Caps, key::LShift, key::LCtrl};

struct MoveCase {
  std::string name;
  PreviewInput input;
  std::vector<KeyCode> line;
  int frames;
  int shift;  // what line[i] showed, line[i + shift] shows so many frames later
};

class ColoursMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(ColoursMove, AlongTheLineByTheDirection) {
  const MoveCase& c = GetParam();
  EffectPreview preview(Counting());
  for (int f = 0; f < 10; ++f) preview.Tick(c.input);
  const std::vector<Colour> before = ColoursOf(preview, c.line);
  ASSERT_GT(std::set<Colour>(before.begin(), before.end()).size(), 2u) << "a line of one colour shows no movement";
  for (int f = 0; f < c.frames; ++f) preview.Tick(c.input);
  const std::vector<Colour> after = ColoursOf(preview, c.line);
  const int n = static_cast<int>(c.line.size());
  for (int i = std::max(0, -c.shift); i < std::min(n, n - c.shift); ++i)
    EXPECT_EQ(after[static_cast<size_t>(i + c.shift)], before[static_cast<size_t>(i)]) << "position " << i;
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, ColoursMove,
    ::testing::Values(
        MoveCase{"WaveRightToLeftForFirstDirection", Input(1, kDirectionFirst, true), kNumberRow, 1, -1},
        MoveCase{"WaveLeftToRightForSecondDirection", Input(1, kDirectionSecond, true), kNumberRow, 1, +1},
        MoveCase{"OneColourWaveRightToLeft", Input(1, kDirectionFirst, false, kOrange), kNumberRow, 1, -1},
        MoveCase{"OneColourWaveLeftToRight", Input(1, kDirectionSecond, false, kOrange), kNumberRow, 1, +1},
        MoveCase{"RainbowCometRightToLeft", Input(2, kDirectionFirst, true), kNumberRow, 5, -4},
        // The one-colour comet's phase always advances; the direction mirrors its columns.
        MoveCase{"OneColourCometRightToLeft", Input(2, kDirectionFirst, false, kOrange), kNumberRow, 5, -4},
        MoveCase{"OneColourCometLeftToRight", Input(2, kDirectionSecond, false, kOrange), kNumberRow, 5, +4},
        MoveCase{"SpiralBackAlongItsPathForFirstDirection", Input(3, kDirectionFirst, true), kSpiralStart, 5, -4},
        MoveCase{"OneColourSpiralOnAlongItsPathForSecondDirection", Input(3, kDirectionSecond, false, kOrange),
                 kSpiralStart, 5, +4},
        MoveCase{"RowBandsUpwardsForFirstDirection", Input(12, kDirectionFirst, true), kRowsDown, 32, -3},
        MoveCase{"RowBandsDownwardsForSecondDirection", Input(12, kDirectionSecond, true), kRowsDown, 32, +3}),
    NameOf<MoveCase>);

// ---- What an effect ignores ---------------------------------------------------------

struct IgnoreCase {
  std::string name;
  PreviewInput a;
  PreviewInput b;
  bool sameFrames;
};

class FramesCompared : public ::testing::TestWithParam<IgnoreCase> {};

TEST_P(FramesCompared, ForTwoSettings) {
  const IgnoreCase& c = GetParam();
  EffectPreview a(Counting()), b(Counting());
  bool same = true;
  for (int f = 0; f < 6; ++f) {
    a.Tick(c.a);
    b.Tick(c.b);
    same = same && a.Colours() == b.Colours();
  }
  EXPECT_EQ(same, c.sameFrames);
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, FramesCompared,
    ::testing::Values(
        IgnoreCase{"BreathingIgnoresDirection", Input(5, kDirectionFirst, true), Input(5, kDirectionSecond, true),
                   true},
        IgnoreCase{"OneColourBreathingIgnoresDirection", Input(5, kDirectionFirst, false, kOrange),
                   Input(5, kDirectionSecond, false, kOrange), true},
        IgnoreCase{"RingsIgnoreDirection", Input(6, kDirectionFirst, true), Input(6, kDirectionSecond, true), true},
        IgnoreCase{"SpiralCycleIgnoresDirection", Input(11, kDirectionFirst, true), Input(11, kDirectionSecond, true),
                   true},
        IgnoreCase{"SpiralCycleIgnoresMulticolour", Input(11, kDirectionFirst, true, kOrange),
                   Input(11, kDirectionFirst, false, kWhite), true},
        IgnoreCase{"CycleFollowsDirectionWithoutArrows", Input(4, kDirectionFirst, true),
                   Input(4, kDirectionSecond, true), false},
        IgnoreCase{"RingWaveFollowsDirection", Input(18, kDirectionFirst, true), Input(18, kDirectionSecond, true),
                   false}),
    NameOf<IgnoreCase>);

// ---- One colour and many -------------------------------------------------------------

class OneColour : public ::testing::TestWithParam<LightingMode> {};

// Every key colour of 150 frames (long enough for the demo to reach its
// ripple) that is not the colour at some level.
int ColoursNotShadesOfOrange(LightingMode mode, bool multicolour) {
  std::set<Colour> shades;
  for (int level = 0; level < 256; ++level) shades.insert(Shade(kOrange, level));
  EffectPreview preview(Counting());
  int others = 0;
  for (int f = 0; f < 150; ++f) {
    preview.Tick(Input(mode, kDirectionFirst, multicolour, kOrange));
    for (Colour c : preview.Colours()) others += !shades.contains(c);
  }
  return others;
}

TEST_P(OneColour, ShowsOnlyShadesOfTheColour) { EXPECT_EQ(ColoursNotShadesOfOrange(GetParam(), false), 0); }

TEST_P(OneColour, ShowsOtherHuesWithMulticolour) { EXPECT_GT(ColoursNotShadesOfOrange(GetParam(), true), 0); }

INSTANTIATE_TEST_SUITE_P(EffectPreview, OneColour, ::testing::Values(1, 2, 3, 5, 10, 13, 14, 15, 16),
                         [](const auto& info) { return "Effect" + std::to_string(info.param); });

// ---- Which keys light when -------------------------------------------------------------

struct LightCase {
  std::string name;
  LightingMode mode;
  std::map<int, std::vector<KeyCode>> freshOnFrame;  // frames counted from 1
};

class KeysLight : public ::testing::TestWithParam<LightCase> {};

TEST_P(KeysLight, OnTheirFrames) {
  const LightCase& c = GetParam();
  EffectPreview preview(Counting());
  for (int f = 1; f <= c.freshOnFrame.rbegin()->first; ++f) {
    preview.Tick(Input(c.mode, kDirectionFirst, false));
    if (auto it = c.freshOnFrame.find(f); it != c.freshOnFrame.end()) {
      EXPECT_EQ(FreshKeys(preview, 235), it->second) << "frame " << f;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, KeysLight,
    ::testing::Values(
        // Three keys a frame from the sparkle order's second entry, round again after its last.
        LightCase{"SparkleThreeKeysAFrameInItsOrder",
                  10,
                  {{1, Keys({key::RAlt, key::Quote, key::K45})},
                   {2, Keys({key::Grave, key::Up, key::KpMinus})},
                   {18, Keys({key::RBr, key::ScrLk, key::Pause})},
                   {35, Keys({key::N, key::Pause, key::T})}}},
        // Three drops a frame on the top row; the seed below the board rises from right Alt.
        LightCase{"RainFallsOneRowAFrame",
                  15,
                  {{1, Keys({key::F7, key::F10, key::PrtSc})},
                   {2, Keys({key::F1, key::F4, key::F6, key::K9, key::Equal, key::Ins, key::RAlt})},
                   {3, Keys({key::Esc, key::K2, key::K5, key::K8, key::O, key::RBr, key::Del, key::Comma})}}},
        // From the empty cell left of Esc, one diamond ring a frame.
        LightCase{"CornerRippleGrowsADiamond",
                  16,
                  {{1, {}},
                   {2, Keys({key::Esc, key::Grave})},
                   {3, Keys({key::F1, key::K1, key::Tab})},
                   {4, Keys({key::F2, key::K2, key::Q, key::Caps})}}}),
    NameOf<LightCase>);

// A ripple that has run out starts again where it ended.
struct RepeatCase {
  std::string name;
  LightingMode mode;
  int frames;
  std::map<KeyCode, std::vector<int>> freshOnFrames;
};

class RippleStartsAgain : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(RippleStartsAgain, WhereTheLastOneRanOut) {
  const RepeatCase& c = GetParam();
  EffectPreview preview(Counting());
  std::map<KeyCode, std::vector<int>> seen;
  for (int f = 1; f <= c.frames; ++f) {
    preview.Tick(Input(c.mode, kDirectionFirst, false));
    const std::vector<KeyCode> fresh = FreshKeys(preview, 235);
    for (const auto& [k, frames] : c.freshOnFrames)
      if (std::ranges::count(fresh, k)) seen[k].push_back(f);
  }
  EXPECT_EQ(seen, c.freshOnFrames);
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, RippleStartsAgain,
    ::testing::Values(
        // Up from below the board in column 8, down again from F5 at its top, up again from below.
        RepeatCase{"MiddleColumnTopAndBottom", 13, 30, {{key::F5, {7, 19}}, {key::M, {3, 11, 15, 23, 27}}}},
        // From the top left corner to the bottom right one and back: Esc is one cell from the
        // first, keypad Enter two from the second.
        RepeatCase{"CornerToCorner", 16, 120, {{key::Esc, {2, 54, 56, 108, 110}}, {key::KpEnter, {26, 30, 80, 84}}}}),
    NameOf<RepeatCase>);

TEST(EffectPreviewDemo, PlaysScriptPairsThenRipplesFromPAndStartsOver) {
  const std::vector<std::vector<KeyCode>> script = {
      Keys({key::Esc, key::KpEnter}),
      Keys({key::F1, key::KpDot}),
      Keys({key::F2, key::Kp0}),
      Keys({key::F3, key::Right, key::Grave, key::KpEnter}),
      Keys({key::F4, key::Down, key::K1, key::Kp3}),
      Keys({key::F5, key::Left, key::K2, key::Kp2}),
      Keys({key::F6, key::RCtrl, key::K3, key::Kp1, key::Tab, key::KpPlus}),
      Keys({key::F7, key::Menu, key::K4, key::Up, key::Q, key::Kp6}),
      Keys({key::F8, kFnKey, key::K5, key::RShift, key::W, key::Kp5}),
      Keys({key::F9, key::RAlt, key::K6, key::Slash, key::E, key::Kp4}),
      Keys({key::Equal, key::Comma, key::K7, key::Dot, key::R}),
      Keys({key::RBr, key::K, key::K8, key::Comma, key::T}),
      Keys({key::Quote, key::I, key::K9, key::K, key::Y, key::Enter}),
      Keys({key::Slash, key::K9, key::K0, key::I, key::U, key::Quote}),
      Keys({key::Dot, key::K0, key::P, key::K9, key::I, key::Semi}),
      Keys({key::Comma, key::Minus, key::L, key::K0, key::O}),
      Keys({key::K, key::Equal, key::P}),
      Keys({key::I, key::RBr, key::L, key::LBr}),
      Keys({key::K9, key::Quote}),
      Keys({key::K0, key::Slash}),
  };
  const std::vector<std::vector<KeyCode>> pairs = {
      Keys({key::K9, key::Slash}),    Keys({key::K0, key::Dot}),     Keys({key::Minus, key::Comma}),
      Keys({key::Equal, key::K}),     Keys({key::RBr, key::I}),      Keys({key::Quote, key::K9}),
      Keys({key::Slash, key::K0}),    Keys({key::Dot, key::Minus}),  Keys({key::Comma, key::Equal}),
      Keys({key::K, key::RBr}),       Keys({key::I, key::Quote}),    Keys({key::O, key::Semi}),
      Keys({key::P, key::L}),         Keys({key::LBr, key::O}),      Keys({key::Semi, key::P}),
      Keys({key::L, key::LBr}),
  };
  EffectPreview preview(Counting());
  const PreviewInput demo = Input(14, kDirectionFirst, false);
  auto tick = [&] {
    preview.Tick(demo);
    return FreshKeys(preview, 225);
  };
  for (size_t step = 0; step < script.size(); ++step) EXPECT_EQ(tick(), script[step]) << "script step " << step;
  for (size_t t = 0; t <= 30; ++t) EXPECT_EQ(tick(), pairs[t % pairs.size()]) << "pair frame " << t;

  // Dark until the pairs have faded, then a ripple from P, a ring a frame.
  std::vector<KeyCode> fresh;
  for (int f = 0; f < 60 && fresh.empty(); ++f) fresh = tick();
  EXPECT_EQ(fresh, Keys({key::P}));
  EXPECT_EQ(tick(), Keys({key::K0, key::O, key::LBr, key::Semi}));

  // The ripple reaches left Ctrl; once that is dark the script starts over.
  bool ctrlLit = false;
  for (int f = 0; f < 100 && fresh != script[0]; ++f) {
    fresh = tick();
    ctrlLit = ctrlLit || std::ranges::count(fresh, key::LCtrl) > 0;
  }
  EXPECT_TRUE(ctrlLit);
  EXPECT_EQ(fresh, script[0]);
  EXPECT_EQ(ColourRed(preview.ColourOf(key::LCtrl)), 0);
}

// ---- Colours of single frames ------------------------------------------------------------

struct ColourCase {
  std::string name;
  PreviewInput input;
  std::vector<uint32_t> randoms;
  int frame;
  KeyCode key;
  Colour expected;
};

class FrameColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(FrameColour, OfTheKey) {
  const ColourCase& c = GetParam();
  EffectPreview preview(Repeating(c.randoms));
  for (int f = 0; f < c.frame; ++f) preview.Tick(c.input);
  EXPECT_EQ(preview.ColourOf(c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, FrameColour,
    ::testing::Values(
        // Breathing: each channel times the level over 255, truncated.
        ColourCase{"BreathingStartsDim", Input(5, kDirectionFirst, false, kOrange), {0}, 1, key::Q,
                   MakeColour(3, 1, 0)},
        ColourCase{"BreathingNearlyFull", Input(5, kDirectionFirst, false, kOrange), {0}, 31, key::Q,
                   MakeColour(194, 97, 48)},
        ColourCase{"BreathingFull", Input(5, kDirectionFirst, false, kOrange), {0}, 32, key::Q, kOrange},
        ColourCase{"BreathingRoundAgain", Input(5, kDirectionFirst, false, kOrange), {0}, 64, key::Q,
                   MakeColour(2, 1, 0)},
        // Rings of hue around O, a still picture.
        ColourCase{"RingsO", Input(6, kDirectionFirst, true), {0}, 3, key::O, MakeColour(22, 0, 255)},
        ColourCase{"RingsFirstRing", Input(6, kDirectionFirst, true), {0}, 3, key::K9, MakeColour(0, 20, 255)},
        ColourCase{"RingsF1", Input(6, kDirectionFirst, true), {0}, 3, key::F1, MakeColour(255, 0, 124)},
        ColourCase{"RingsOutermost", Input(6, kDirectionFirst, true), {0}, 3, key::KpEnter, MakeColour(50, 0, 255)},
        ColourCase{"RingsInOneColour", Input(6, kDirectionFirst, false, kOrange), {0}, 1, key::Kp5, kOrange},
        // Random numbers are taken modulo 255 and the hue wheel's 192 entries repeat.
        ColourCase{"SparkleHueFromLastNumber", Input(10, kDirectionFirst, true), {254, 455, 45}, 1, key::RAlt,
                   MakeColour(1, 235, 0)},
        ColourCase{"SparkleHuePastTheWheel", Input(10, kDirectionFirst, true), {254, 455, 45}, 1, key::Quote,
                   MakeColour(235, 23, 0)},
        ColourCase{"SparkleHueOnTheWheel", Input(10, kDirectionFirst, true), {254, 455, 45}, 1, key::K45,
                   MakeColour(86, 235, 0)},
        ColourCase{"RippleHueFromTheSource", Input(16, kDirectionFirst, true), {200}, 2, key::Esc,
                   MakeColour(235, 23, 0)},
        // Spiral hue offsets 33 apart; an offset reaching 192 starts the wheel again.
        ColourCase{"SpiralCycleFirstKey", Input(11, kDirectionFirst, true), {0}, 1, key::Pause,
                   MakeColour(194, 255, 0)},
        ColourCase{"SpiralCycleWrappedOffset", Input(11, kDirectionFirst, true), {0}, 1, key::F10,
                   MakeColour(255, 32, 0)},
        ColourCase{"SpiralCycleOffsetAtTheWheelsEnd", Input(11, kDirectionFirst, true), {0}, 1, key::N,
                   MakeColour(255, 1, 0)},
        ColourCase{"RingWaveFirstDirection", Input(18, kDirectionFirst, true), {0}, 1, key::O,
                   MakeColour(255, 152, 0)},
        ColourCase{"RingWaveSecondDirection", Input(18, kDirectionSecond, true), {0}, 1, key::O,
                   MakeColour(255, 109, 0)}),
    NameOf<ColourCase>);

TEST(EffectPreviewFrame, RightWinShowsPageUpsLight) {
  for (LightingMode mode : {1, 3, 10, 12, 18}) {
    EffectPreview preview(Counting());
    for (int f = 0; f < 12; ++f) {
      preview.Tick(Input(mode, kDirectionFirst, true));
      EXPECT_EQ(preview.ColourOf(key::RWin), preview.ColourOf(key::PgUp)) << "effect " << mode;
    }
  }
}

TEST(EffectPreviewFrame, AWideKeyTakesTheColourOfItsRightmostCell) {
  EffectPreview preview(Counting());
  preview.Tick(Input(1, kDirectionFirst, true));
  EXPECT_EQ(preview.ColourOf(key::Bksp), preview.ColourOf(key::F12));  // columns 14 and 15
  EXPECT_EQ(preview.ColourOf(key::Kp0), preview.ColourOf(key::Kp2));  // columns 19 and 20
  EXPECT_NE(preview.ColourOf(key::Kp0), preview.ColourOf(key::Kp1));
}

// ---- Effects without animation ------------------------------------------------------------

TEST(EffectPreviewFrame, UserDefinedLeavesColoursAndOthersWithoutFramesClearThem) {
  EffectPreview preview(Counting());
  preview.Tick(Input(4, kDirectionFirst, true));
  const PreviewColours painted = preview.Colours();
  ASSERT_NE(painted[0], 0u);
  EXPECT_EQ(preview.Tick(Input(kUserDefinedMode, kDirectionFirst, true)), PreviewFrame::kUntouched);
  EXPECT_EQ(preview.Colours(), painted);

  for (LightingMode mode : {7, 8, 9, 17, 19, 0, 21, -1}) {
    preview.Tick(Input(4, kDirectionFirst, true));
    EXPECT_EQ(preview.Tick(Input(mode, kDirectionFirst, true)), PreviewFrame::kCleared) << mode;
    EXPECT_EQ(preview.Colours(), PreviewColours{}) << mode;
  }
}

// ---- Restart ----------------------------------------------------------------------------

struct RestartCase {
  std::string name;
  PreviewInput input;
  bool startsOver;  // else it carries on as if never restarted
};

class Restarted : public ::testing::TestWithParam<RestartCase> {};

TEST_P(Restarted, EffectStartsOverOrKeepsItsPhase) {
  const RestartCase& c = GetParam();
  EffectPreview restarted(Counting()), carriedOn(Counting()), fresh(Counting());
  for (int f = 0; f < 7; ++f) {
    restarted.Tick(c.input);
    carriedOn.Tick(c.input);
  }
  restarted.Restart();
  bool likeFresh = true, likeCarriedOn = true;
  for (int f = 0; f < 4; ++f) {
    restarted.Tick(c.input);
    carriedOn.Tick(c.input);
    fresh.Tick(c.input);
    likeFresh = likeFresh && restarted.Colours() == fresh.Colours();
    likeCarriedOn = likeCarriedOn && restarted.Colours() == carriedOn.Colours();
  }
  EXPECT_EQ(likeFresh, c.startsOver);
  EXPECT_EQ(likeCarriedOn, !c.startsOver);
}

INSTANTIATE_TEST_SUITE_P(
    EffectPreview, Restarted,
    ::testing::Values(RestartCase{"Rain", Input(15, kDirectionFirst, false, kOrange), true},
                      RestartCase{"CornerRipple", Input(16, kDirectionFirst, false, kOrange), true},
                      RestartCase{"RingWave", Input(18, kDirectionFirst, true), true},
                      RestartCase{"Wave", Input(1, kDirectionFirst, true), false},
                      RestartCase{"Spiral", Input(3, kDirectionSecond, false, kOrange), false},
                      RestartCase{"Cycle", Input(4, kDirectionFirst, true), false},
                      RestartCase{"SpiralCycle", Input(11, kDirectionFirst, true), false},
                      RestartCase{"RowRainbow", Input(12, kDirectionFirst, true), false},
                      RestartCase{"MiddleRipple", Input(13, kDirectionFirst, false, kOrange), false}),
    NameOf<RestartCase>);

TEST(EffectPreviewRestart, StartsTheDemoScriptAgain) {
  EffectPreview preview(Counting());
  for (int f = 0; f < 5; ++f) preview.Tick(Input(14, kDirectionFirst, false));
  preview.Restart();
  preview.Tick(Input(14, kDirectionFirst, false));
  EXPECT_EQ(FreshKeys(preview, 225), Keys({key::Esc, key::KpEnter}));
}

TEST(EffectPreviewRestart, DarkensTheSparklesButKeepsTheirPlaceInTheOrder) {
  EffectPreview preview(Counting());
  for (int f = 0; f < 5; ++f) preview.Tick(Input(10, kDirectionFirst, false));
  preview.Restart();
  preview.Tick(Input(10, kDirectionFirst, false));
  std::vector<KeyCode> lit;
  for (KeyCode k : kPreviewKeys)
    if (preview.ColourOf(k) != 0) lit.push_back(k);
  std::sort(lit.begin(), lit.end());
  EXPECT_EQ(lit, Keys({key::KpEnter, key::Ins, key::Q}));  // the sixth frame's keys, and no others
}

// ---- Re-entry -------------------------------------------------------------------------------

TEST(EffectPreviewFrame, IsNotEnteredAgainWhileItRuns) {
  const PreviewInput sparkle = Input(10, kDirectionFirst, true);
  EffectPreview* self = nullptr;
  std::vector<PreviewFrame> inner;
  int depth = 0;
  EffectPreview preview([&, n = 0u]() mutable {
    if (depth++ == 0) inner.push_back(self->Tick(sparkle));
    --depth;
    return n += 7919;
  });
  self = &preview;
  EffectPreview undisturbed(Counting());
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(preview.Tick(sparkle), PreviewFrame::kPainted);
    undisturbed.Tick(sparkle);
  }
  EXPECT_EQ(inner, std::vector<PreviewFrame>(9, PreviewFrame::kUntouched));
  EXPECT_EQ(preview.Colours(), undisturbed.Colours());
}

}  // namespace
}  // namespace keyloft
