#include "model/effect_preview.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace keyloft {
namespace {

// ---- Keys by name --------------------------------------------------------------

enum : KeyCode {
  Esc = 0x001, F1 = 0x03B, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11 = 0x057, F12 = 0x058,
  PrtSc = 0x137, ScrLk = 0x046, Pause = 0x045,
  Grave = 0x029, K1 = 0x002, K2, K3, K4, K5, K6, K7, K8, K9, K0, Minus, Equal, Bksp,
  Ins = 0x152, Home = 0x147, PgUp = 0x149, NumLk = 0x145, KpSlash = 0x135, KpStar = 0x037, KpMinus = 0x04A,
  Tab = 0x00F, Q, W, E, R, T, Y, U, I, O, P, LBr, RBr, Bslash = 0x02B,
  Del = 0x153, End = 0x14F, PgDn = 0x151, Kp7 = 0x047, Kp8, Kp9,
  Caps = 0x03A, A = 0x01E, S, D, F, G, H, J, K, L, Semi, Quote, Enter = 0x01C, Kp4 = 0x04B, Kp5, Kp6, KpPlus,
  LShift = 0x02A, K45 = 0x056, Z = 0x02C, X, C, V, B, N, M, Comma, Dot, Slash, RShift, Up = 0x148,
  Kp1 = 0x04F, Kp2, Kp3, KpEnter = 0x11C,
  LCtrl = 0x01D, LWin = 0x15B, LAlt = 0x038, Space = 0x039, RAlt = 0x138, Fn = kFnKey, Menu = 0x15D, RCtrl = 0x11D,
  Left = 0x14B, Down = 0x150, Right = 0x14D, Kp0 = 0x052, KpDot = 0x053,
  RWin = 0x15C, None = 0,
};

// ---- Tables -----------------------------------------------------------------------

constexpr std::array<uint8_t, 32> kUp = {1,  3,  5,  7,  10, 14, 18, 22, 26, 32,  38,  44,  50,  57,  65,  73,
                                         81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kDown = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
                                           69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<Colour, 192> kHueWheel = [] {
  std::array<Colour, 192> wheel{};
  for (int j = 0; j < 32; ++j) {
    const uint8_t up = kUp[static_cast<size_t>(j)], down = kDown[static_cast<size_t>(j)];
    wheel[static_cast<size_t>(j)] = MakeColour(255, up, 0);
    wheel[static_cast<size_t>(32 + j)] = MakeColour(down, 255, 0);
    wheel[static_cast<size_t>(64 + j)] = MakeColour(0, 255, up);
    wheel[static_cast<size_t>(96 + j)] = MakeColour(0, down, 255);
    wheel[static_cast<size_t>(128 + j)] = MakeColour(up, 0, 255);
    wheel[static_cast<size_t>(160 + j)] = MakeColour(255, 0, down);
  }
  return wheel;
}();

// Random hue numbers 0..254 index the wheel round and round.
constexpr Colour ExtendedHue(int k) { return kHueWheel[static_cast<size_t>(k % 192)]; }

template <size_t N>
constexpr std::array<uint8_t, 2 * N> Mirrored(const std::array<uint8_t, N>& half) {
  std::array<uint8_t, 2 * N> all{};
  for (size_t i = 0; i < N; ++i) all[i] = all[2 * N - 1 - i] = half[i];
  return all;
}

constexpr std::array<uint8_t, 96> kBreath96 = Mirrored(std::array<uint8_t, 48>{
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109,
    114, 119, 124, 129, 134, 140, 146, 152, 158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255});

constexpr std::array<uint8_t, 128> kBreath128 = Mirrored(std::array<uint8_t, 64>{
    3,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  20,  22,  24,  27,  30,  33,  36,
    39,  42,  45,  49,  53,  57,  61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129,
    134, 140, 146, 152, 158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255});

constexpr std::array<uint8_t, 128> kComet128 = {
    0,   4,   8,   14,  22,  33,  45,  61,  77,  94,  114, 134, 158, 182, 206, 234, 255, 248, 241, 234,
    227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114,
    109, 104, 99,  94,  89,  85,  81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,
    30,  27,  24,  22,  20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};  // then zeros

using GridRow = std::array<KeyCode, kPreviewColumns>;
constexpr std::array<GridRow, kPreviewRows> kKeyGrid = {{
    {None, None, Esc, F1, F2, F3, F4, None, F5, F6, F7, F8, F9, F10, F11, F12, PrtSc, ScrLk, Pause, None, None, None, None},
    {None, Grave, K1, K2, K3, K4, K5, K6, K7, K8, K9, K0, Minus, Equal, Bksp, Bksp, Ins, Home, PgUp, NumLk, KpSlash, KpStar, KpMinus},
    {None, Tab, Q, W, E, R, T, Y, U, I, O, P, LBr, RBr, Bslash, Bslash, Del, End, PgDn, Kp7, Kp8, Kp9, None},
    {None, Caps, A, S, D, F, G, H, J, K, L, Semi, Quote, Enter, Enter, None, None, None, None, Kp4, Kp5, Kp6, KpPlus},
    {LShift, K45, Z, X, C, V, B, N, M, Comma, Dot, Slash, None, None, RShift, RShift, None, Up, None, Kp1, Kp2, Kp3, KpEnter},
    {LCtrl, LWin, LAlt, None, None, None, Space, None, None, RAlt, RAlt, Fn, Menu, None, RCtrl, RCtrl, Left, Down, Right, Kp0, Kp0, KpDot, None},
}};

constexpr std::array<KeyCode, kPreviewKeys> kKeys = [] {
  std::array<KeyCode, kPreviewKeys> keys{};
  size_t n = 0;
  for (const GridRow& row : kKeyGrid)
    for (KeyCode k : row) {
      if (k == None) continue;
      bool seen = false;
      for (size_t i = 0; i < n; ++i) seen = seen || keys[i] == k;
      if (!seen) keys[n++] = k;
    }
  return keys;
}();

constexpr int IndexOf(KeyCode key) {
  for (size_t i = 0; i < kKeys.size(); ++i)
    if (kKeys[i] == key) return static_cast<int>(i);
  return -1;
}

// Each grid cell's key index, -1 for an empty cell.
constexpr std::array<std::array<int8_t, kPreviewColumns>, kPreviewRows> kCellKeys = [] {
  std::array<std::array<int8_t, kPreviewColumns>, kPreviewRows> cells{};
  for (size_t r = 0; r < kPreviewRows; ++r)
    for (size_t c = 0; c < kPreviewColumns; ++c) cells[r][c] = static_cast<int8_t>(IndexOf(kKeyGrid[r][c]));
  return cells;
}();

constexpr std::array<KeyCode, 105> kSpiralOrder = {
    Pause, ScrLk, PrtSc, F12, F11, F10, F9, F8, F7, F6, F5, F4, F3, F2, F1, Esc, Grave, Tab, Caps, LShift, LCtrl,
    LWin, LAlt, Space, RAlt, Fn, Menu, RCtrl, Left, Down, Right, Kp0, KpDot, KpEnter, KpPlus, KpMinus, KpStar,
    KpSlash, NumLk, PgUp, Home, Ins, Bksp, Equal, Minus, K0, K9, K8, K7, K6, K5, K4, K3, K2, K1, Q, A, K45, Z, X,
    C, V, B, N, M, Comma, Dot, Slash, RShift, Up, Kp1, Kp2, Kp3, Kp6, Kp9, Kp8, Kp7, PgDn, End, Del, Bslash, RBr,
    LBr, P, O, I, U, Y, T, R, E, W, S, D, F, G, H, J, K, L, Semi, Quote, Enter, Kp4, Kp5};

struct KeySet {
  std::array<KeyCode, 12> keys{};
  size_t count = 0;
  constexpr KeySet(std::initializer_list<KeyCode> list) {
    for (KeyCode k : list) keys[count++] = k;
  }
  constexpr std::span<const KeyCode> Keys() const { return std::span(keys).first(count); }
};

constexpr std::array<KeySet, 12> kRings = {{
    {O},
    {K9, I, K, L, P, K0},
    {F8, K8, U, J, M, Comma, Dot, Semi, LBr, Minus},
    {F7, K7, Y, H, N, RAlt, Slash, Quote, RBr, Equal, F9},
    {F6, K6, T, G, B, Fn, RShift, Enter, Bslash, Bksp, F10, F11},
    {F5, K5, R, F, V, Space, Menu, RCtrl, Del, Ins, F12},
    {F4, K4, E, D, C, Left, Up, End, Home, PrtSc},
    {F3, K3, W, S, X, Down, Right, PgDn, PgUp, Pause, ScrLk},
    {F2, K2, Q, A, Z, LAlt, Kp1, Kp4, Kp7, NumLk},
    {F1, K1, Tab, Caps, K45, LWin, Kp0, Kp2, Kp5, Kp8, KpSlash},
    {Esc, Grave, LCtrl, KpDot, Kp3, Kp6, Kp9, KpStar, LShift},
    {KpEnter, KpPlus, KpMinus},
}};
// Effect 6's still picture: the hue of each ring.
constexpr std::array<int, 12> kRingHues = {135, 120, 105, 90, 75, 60, 45, 30, 15, 170, 155, 140};

constexpr std::array<KeyCode, 105> kSparkleOrder = {
    T,     RAlt,   Quote, K45,   Grave, Up,     KpMinus, KpPlus, KpStar, K4,    End,   Caps,  F3,   Dot,    J,
    F6,    KpEnter, Ins,  Q,     K3,    K7,     G,       PgDn,   Kp1,    F5,    Space, PgUp,  F12,  Enter,  Tab,
    Comma, LAlt,   Kp0,   F11,   I,     Kp7,    Esc,     C,      K1,     LWin,  P,     F,     F9,   V,      K6,
    LCtrl, F10,    F1,    RShift, K,    Kp2,    RCtrl,   RBr,    ScrLk,  Pause, Y,     K9,    Kp8,  KpSlash, Kp6,
    KpDot, Del,    F7,    Down,  Kp3,   A,      Minus,   L,      F2,     K8,    Bksp,  D,     W,    Bslash, U,
    R,     Equal,  Left,  Z,     X,     NumLk,  K2,      PrtSc,  B,      M,     E,     H,     Kp9,  S,      Home,
    Fn,    Menu,   F8,    Right, K5,    O,      K0,      Slash,  LShift, Kp4,   Semi,  LBr,   F4,   N,      Pause};

constexpr std::array<KeySet, 20> kDemoScript = {{
    {Esc, KpEnter},
    {F1, KpDot},
    {F2, Kp0},
    {F3, Right, Grave, KpEnter},
    {F4, Down, K1, Kp3},
    {F5, Left, K2, Kp2},
    {F6, RCtrl, K3, Kp1, Tab, KpPlus},
    {F7, Menu, K4, Up, Q, Kp6},
    {F8, Fn, K5, RShift, W, Kp5},
    {F9, RAlt, K6, Slash, E, Kp4},
    {Equal, Comma, K7, Dot, R},
    {RBr, K, K8, Comma, T},
    {Quote, I, K9, K, Y, Enter},
    {Slash, K9, K0, I, U, Quote},
    {Dot, K0, P, K9, I, Semi},
    {Comma, Minus, L, K0, O, L},
    {K, Equal, K, P, P, K},
    {I, RBr, I, L, LBr},
    {K9, Quote},
    {K0, Slash},
}};
constexpr std::array<std::array<KeyCode, 2>, 16> kDemoPairs = {{
    {K9, Slash}, {K0, Dot}, {Minus, Comma}, {Equal, K}, {RBr, I}, {Quote, K9}, {Slash, K0}, {Dot, Minus},
    {Comma, Equal}, {K, RBr}, {I, Quote}, {O, Semi}, {P, L}, {LBr, O}, {Semi, P}, {L, LBr},
}};

static_assert(kKeys[kPreviewKeys - 1] != None, "the grid holds 105 keys");
static_assert(kComet128[79] == 1 && kComet128[80] == 0, "the comet's tail is 80 levels, then dark");
static_assert([] {
  for (KeyCode k : kSpiralOrder)
    if (IndexOf(k) < 0) return false;
  for (KeyCode k : kSparkleOrder)
    if (IndexOf(k) < 0) return false;
  for (const KeySet& ring : kRings)
    for (KeyCode k : ring.Keys())
      if (IndexOf(k) < 0) return false;
  return true;
}(), "every listed key is a key of the grid");

// ---- Arithmetic -------------------------------------------------------------------

constexpr Colour AtLevel(Colour c, int level) {
  return MakeColour(static_cast<uint8_t>(ColourRed(c) * level / 255), static_cast<uint8_t>(ColourGreen(c) * level / 255),
                    static_cast<uint8_t>(ColourBlue(c) * level / 255));
}

constexpr int Step(int phase, int step, int modulo, bool forward) {
  return forward ? (phase + step) % modulo : ((phase - step) % modulo + modulo) % modulo;
}

constexpr int Mod(int value, int modulo) { return (value % modulo + modulo) % modulo; }

// The planes' cell of a key: the first cell it takes in the grid.
struct Cell {
  int column = 0, row = 0;
};
constexpr Cell CellOf(KeyCode key) {
  for (int r = 0; r < kPreviewRows; ++r)
    for (int c = 0; c < kPreviewColumns; ++c)
      if (kKeyGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] == key) return {c, r};
  return {};
}

}  // namespace

EffectPreview::EffectPreview(Random random) : random_(std::move(random)), fromClock_(!random_) {}

std::span<const KeyCode, kPreviewKeys> EffectPreview::Keys() { return kKeys; }

Colour EffectPreview::ColourOf(KeyCode key) const {
  const int index = IndexOf(key == RWin ? static_cast<KeyCode>(PgUp) : key);
  return index < 0 ? 0 : colours_[static_cast<size_t>(index)];
}

uint32_t EffectPreview::NextRandom() { return fromClock_ ? static_cast<uint32_t>(clock_()) : random_(); }

void EffectPreview::Start() {
  phase_[14] = 0;
  demoStage_ = 0;
  demoFrames_ = 0;
  demoHue_ = 0;
  glow10_ = {};
  glow16_ = {};
  planes15_ = {};
  planes16_ = {};
  for (auto& plane : planes16_) plane[1] = 0x01;
  for (auto& plane : planes15_) plane[9] = 0x40;
  started_ = true;
}

PreviewFrame EffectPreview::Tick(const PreviewInput& in) {
  if (busy_) return PreviewFrame::kPainted;
  busy_ = true;
  struct Done {
    bool& busy;
    ~Done() { busy = false; }
  } done{busy_};
  // Reseeded from the clock every frame, so a sparkle never repeats.
  if (fromClock_) clock_.seed(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  if (!started_) Start();

  const bool forward = in.direction != 0;
  const bool multi = in.multicolour;
  const Colour e = in.colour;
  const int m = in.mode;
  int& phase = phase_[static_cast<size_t>(m >= 0 && m <= 20 ? m : 0)];
  switch (m) {
    case 1:
      if (multi) {
        phase = Step(phase, 9, 192, forward);
        FillColumns([&](int c) { return kHueWheel[static_cast<size_t>((phase + 9 * c) % 192)]; });
      } else {
        phase = Step(phase, 7, 96, forward);
        FillColumns([&](int c) { return AtLevel(e, kBreath96[static_cast<size_t>((phase + 7 * c) % 96)]); });
      }
      return PreviewFrame::kPainted;
    case 2:
      if (multi) {
        phase = Step(phase, 4, 192, forward);
        FillColumns([&](int c) { return kHueWheel[static_cast<size_t>((phase + 5 * c) % 192)]; });
      } else {
        phase = (phase + 4) % 128;  // always forward; the direction mirrors the offsets
        FillColumns([&](int c) {
          const int at = forward ? phase + 5 * (c + 1) : phase - 5 * (c + 1);
          return AtLevel(e, kComet128[static_cast<size_t>(Mod(at, 128))]);
        });
      }
      return PreviewFrame::kPainted;
    case 3:
      if (multi) {
        phase = Step(phase, 4, 192, forward);
        FillOrder(kSpiralOrder, [&](int k) { return kHueWheel[static_cast<size_t>((phase + 5 * k) % 192)]; });
      } else {
        phase = Step(phase, 4, 96, forward);
        FillOrder(kSpiralOrder, [&](int k) { return AtLevel(e, kBreath96[static_cast<size_t>((phase + 5 * k) % 96)]); });
      }
      return PreviewFrame::kPainted;
    case 4:
      phase = Step(phase, 2, 192, forward);
      colours_.fill(kHueWheel[static_cast<size_t>(phase)]);
      return PreviewFrame::kPainted;
    case 5: {
      phase = (phase + 2) % 128;
      const int level = kBreath128[static_cast<size_t>(phase)];
      FillColumns([&](int c) { return AtLevel(multi ? kHueWheel[static_cast<size_t>(7 * c)] : e, level); });
      return PreviewFrame::kPainted;
    }
    case 6:
      if (multi) FillRings([](int g) { return kHueWheel[static_cast<size_t>(kRingHues[static_cast<size_t>(g)])]; });
      else colours_.fill(e);
      return PreviewFrame::kPainted;
    case 10:
      for (int i = 0; i < 3; ++i) {
        sparkleAt_ = (sparkleAt_ + 1) % static_cast<int>(kSparkleOrder.size());
        Light(glow10_, kSparkleOrder[static_cast<size_t>(sparkleAt_)], static_cast<uint8_t>(NextRandom() % 255));
      }
      Decay(glow10_, false);
      Show(glow10_, in);
      return PreviewFrame::kPainted;
    case 11:
      if (!spiralStarted_) {
        int h = 33;
        for (size_t k = 0; k < kSpiralOrder.size(); ++k) {
          if (k > 0) h = h + 33 > 192 ? h - 159 : h + 33;
          spiralHue_[k] = h;
        }
        spiralStarted_ = true;
      }
      for (size_t k = 0; k < kSpiralOrder.size(); ++k) {
        int& h = spiralHue_[k];
        h += 3;
        if (h >= 192) h = 0;
      }
      FillOrder(kSpiralOrder, [&](int k) { return kHueWheel[static_cast<size_t>(spiralHue_[static_cast<size_t>(k)])]; });
      return PreviewFrame::kPainted;
    case 12:
      phase = Step(phase, 3, 192, forward);
      for (int r = 0; r < kPreviewRows; ++r)
        for (int c = 0; c < kPreviewColumns; ++c)
          if (int k = kCellKeys[static_cast<size_t>(r)][static_cast<size_t>(c)]; k >= 0)
            colours_[static_cast<size_t>(k)] = kHueWheel[static_cast<size_t>((phase + 32 * r) % 192)];
      return PreviewFrame::kPainted;
    case 13: {
      if (!rippleStarted_) {
        for (auto& plane : planes13_) plane[8] = 0x40;
        rippleStarted_ = true;
      }
      uint8_t at8 = 0;
      for (const auto& plane : planes13_) at8 |= plane[8];
      if (at8 == 0x01 || at8 == 0x40)
        for (auto& plane : planes13_) plane[8] |= at8;
      LightPlanes(glow13_, planes13_, multi);
      Spread(planes13_);
      Decay(glow13_, false);
      Show(glow13_, in);
      return PreviewFrame::kPainted;
    }
    case 14:
      Demo(in);
      return PreviewFrame::kPainted;
    case 15: {
      int& b = phase_[14];
      b = b > 15 ? b - 16 : b + 7;
      for (int i = 0; i < 3; ++i) {
        const int c = b + 3 > 22 ? b - 20 : b + 3;
        for (auto& plane : planes15_) plane[static_cast<size_t>(c)] |= 0x01;
        b = c;
      }
      LightPlanes(glow10_, planes15_, multi);
      Fall(planes15_);
      Decay(glow10_, false);
      Show(glow10_, in);
      return PreviewFrame::kPainted;
    }
    case 16: {
      uint8_t at1 = 0, at22 = 0;
      for (const auto& plane : planes16_) {
        at1 |= plane[1];
        at22 |= plane[22];
      }
      if (at1 == 0x01)
        for (auto& plane : planes16_) plane[1] |= 0x01;
      if (at22 == 0x40)
        for (auto& plane : planes16_) plane[22] |= 0x40;
      LightPlanes(glow16_, planes16_, multi);
      Spread(planes16_);
      Decay(glow16_, false);
      Show(glow16_, in);
      return PreviewFrame::kPainted;
    }
    case 18: {
      int& p = phase_[14];
      if (forward) {
        p += 2;
        if (p >= 192) p = 0;
      } else {
        p = Mod(p - 2, 192);
      }
      FillRings([&](int g) { return kHueWheel[static_cast<size_t>((p + 21 * (g + 1)) % 192)]; });
      return PreviewFrame::kPainted;
    }
    case kUserDefinedMode:
      return PreviewFrame::kUntouched;
    default:
      colours_.fill(0);
      return PreviewFrame::kCleared;
  }
}

void EffectPreview::FillColumns(const std::function<Colour(int column)>& colourOf) {
  for (int c = 0; c < kPreviewColumns; ++c) {
    const Colour colour = colourOf(c);
    for (int r = 0; r < kPreviewRows; ++r)
      if (int k = kCellKeys[static_cast<size_t>(r)][static_cast<size_t>(c)]; k >= 0) colours_[static_cast<size_t>(k)] = colour;
  }
}

void EffectPreview::FillOrder(std::span<const KeyCode> order, const std::function<Colour(int position)>& colourOf) {
  for (size_t k = 0; k < order.size(); ++k)
    colours_[static_cast<size_t>(IndexOf(order[k]))] = colourOf(static_cast<int>(k));
}

void EffectPreview::FillRings(const std::function<Colour(int ring)>& colourOf) {
  for (size_t g = 0; g < kRings.size(); ++g) {
    const Colour colour = colourOf(static_cast<int>(g));
    for (KeyCode key : kRings[g].Keys()) colours_[static_cast<size_t>(IndexOf(key))] = colour;
  }
}

void EffectPreview::Light(Glow& glow, KeyCode key, uint8_t hue) {
  const int k = IndexOf(key);
  if (k < 0) return;
  glow.level[static_cast<size_t>(k)] = 255;
  glow.hue[static_cast<size_t>(k)] = hue;
}

void EffectPreview::LightPlanes(Glow& glow, const Planes& planes, bool multicolour) {
  for (int c = 0; c < kPreviewColumns; ++c) {
    const uint8_t set = planes[0][static_cast<size_t>(c)] | planes[1][static_cast<size_t>(c)] |
                        planes[2][static_cast<size_t>(c)] | planes[3][static_cast<size_t>(c)];
    for (int r = 0; r < kPreviewRows; ++r) {
      const int k = kCellKeys[static_cast<size_t>(r)][static_cast<size_t>(c)];
      if (k < 0 || !(set & 1 << r)) continue;
      glow.level[static_cast<size_t>(k)] = 255;
      if (multicolour) glow.hue[static_cast<size_t>(k)] = static_cast<uint8_t>(NextRandom() % 255);
    }
  }
}

void EffectPreview::Spread(Planes& planes) {
  // Each plane grows into its own quadrant: together a diamond ring.
  Planes next{};
  for (int c = 0; c < kPreviewColumns; ++c) {
    const size_t at = static_cast<size_t>(c);
    const auto upLeft = planes[0][at], downLeft = planes[1][at], upRight = planes[2][at], downRight = planes[3][at];
    next[0][at] |= static_cast<uint8_t>(upLeft >> 1);
    next[1][at] |= static_cast<uint8_t>(downLeft << 1);
    next[2][at] |= static_cast<uint8_t>(upRight >> 1);
    next[3][at] |= static_cast<uint8_t>(downRight << 1);
    if (c > 0) {
      next[0][at - 1] |= upLeft;
      next[1][at - 1] |= downLeft;
    }
    if (c + 1 < kPreviewColumns) {
      next[2][at + 1] |= upRight;
      next[3][at + 1] |= downRight;
    }
  }
  planes = next;
}

void EffectPreview::Fall(Planes& planes) {
  for (int c = 0; c < kPreviewColumns; ++c) {
    const size_t at = static_cast<size_t>(c);
    planes[0][at] = static_cast<uint8_t>(planes[0][at] >> 1);
    planes[2][at] = static_cast<uint8_t>(planes[2][at] >> 1);
    planes[1][at] = static_cast<uint8_t>(planes[1][at] << 1);
    planes[3][at] = static_cast<uint8_t>(planes[3][at] << 1);
  }
}

void EffectPreview::Decay(Glow& glow, bool ruleB) {
  for (uint8_t& level : glow.level) {
    if (level >= 128) level = static_cast<uint8_t>(level - (ruleB ? 30 : 20));
    else if (level >= 64) level = static_cast<uint8_t>(level - (ruleB ? 20 : 16));
    else if (level >= 32) level = static_cast<uint8_t>(level - 10);
    else if (level >= 17) level = static_cast<uint8_t>(level - 5);
    else if (level >= 1) level = static_cast<uint8_t>(level - 1);
  }
}

void EffectPreview::Show(const Glow& glow, const PreviewInput& in) {
  for (size_t k = 0; k < kKeys.size(); ++k)
    colours_[k] = AtLevel(in.multicolour ? ExtendedHue(glow.hue[k]) : in.colour, glow.level[k]);
}

void EffectPreview::Demo(const PreviewInput& in) {
  int& step = phase_[14];
  const int lLevel = glow14_.level[static_cast<size_t>(IndexOf(L))];
  const int ctrlLevel = glow14_.level[static_cast<size_t>(IndexOf(LCtrl))];
  auto light = [&](KeyCode key, int hueStep) {
    uint8_t hue = 0;
    if (in.multicolour) {
      demoHue_ = (demoHue_ + hueStep) % 255;
      hue = static_cast<uint8_t>(demoHue_);
    }
    Light(glow14_, key, hue);
  };
  switch (demoStage_) {
    case 0:
      for (KeyCode key : kDemoScript[static_cast<size_t>(step)].Keys()) light(key, 11);
      if (++step >= static_cast<int>(kDemoScript.size())) {
        step = 0;
        demoStage_ = 1;
      }
      break;
    case 1:
      if (demoFrames_ <= 30) {
        for (KeyCode key : kDemoPairs[static_cast<size_t>(demoFrames_ % 16)]) light(key, 1);
        ++demoFrames_;
      } else if (lLevel == 0) {
        demoFrames_ = 0;
        demoStage_ = 2;
      }
      break;
    case 2: {
      const Cell p = CellOf(P);
      planes14_ = {};
      for (auto& plane : planes14_) plane[static_cast<size_t>(p.column)] = static_cast<uint8_t>(1 << p.row);
      demoStage_ = 3;
      break;
    }
    case 3:
      LightPlanes(glow14_, planes14_, in.multicolour);
      Spread(planes14_);
      if (ctrlLevel > 0) demoStage_ = 4;
      break;
    default:
      if (ctrlLevel == 0) demoStage_ = 0;
      break;
  }
  Decay(glow14_, true);
  Show(glow14_, in);
}

}  // namespace keyloft
