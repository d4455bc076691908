#include "model/effect_preview.h"

#include <chrono>
#include <initializer_list>
#include <random>
#include <span>
#include <utility>

namespace keyloft {
namespace {

// ---- Keys by name ---------------------------------------------------------------

enum : KeyCode {
  None = 0,
  Esc = 0x001, F1 = 0x03B, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11 = 0x057, F12 = 0x058,
  PrtSc = 0x137, ScrLk = 0x046, Pause = 0x045,
  Grave = 0x029, K1 = 0x002, K2, K3, K4, K5, K6, K7, K8, K9, K0, Minus, Equal, Bksp,
  Ins = 0x152, Home = 0x147, PgUp = 0x149, NumLk = 0x145, KpSlash = 0x135, KpStar = 0x037, KpMinus = 0x04A,
  Tab = 0x00F, Q, W, E, R, T, Y, U, I, O, P, LBr, RBr, Bslash = 0x02B,
  Del = 0x153, End = 0x14F, PgDn = 0x151, Kp7 = 0x047, Kp8, Kp9,
  Caps = 0x03A, A = 0x01E, S, D, F, G, H, J, K, L, Semi, Quote, Enter = 0x01C,
  Kp4 = 0x04B, Kp5, Kp6, KpPlus,
  LShift = 0x02A, K45 = 0x056, Z = 0x02C, X, C, V, B, N, M, Comma, Dot, Slash, RShift, Up = 0x148,
  Kp1 = 0x04F, Kp2, Kp3, KpEnter = 0x11C,
  LCtrl = 0x01D, LWin = 0x15B, LAlt = 0x038, Space = 0x039, RAlt = 0x138, RWin = 0x15C, Fn = kFnKey,
  Menu = 0x15D, RCtrl = 0x11D, Left = 0x14B, Down = 0x150, Right = 0x14D, Kp0 = 0x052, KpDot = 0x053,
};

// A short list of keys, as the rings and the demo's steps are written.
struct KeySet {
  std::array<KeyCode, 12> keys{};
  size_t count = 0;
  constexpr KeySet(std::initializer_list<KeyCode> list) {
    for (KeyCode k : list) keys[count++] = k;
  }
  constexpr std::span<const KeyCode> Keys() const { return std::span(keys).first(count); }
};

// ---- Colour tables ----------------------------------------------------------------

constexpr std::array<uint8_t, 32> kUp = {1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
                                         81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kDown = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                           114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                           29,  24,  20,  16,  12,  8,   6,   4,   2,   0};

// Six sectors of 32: red to yellow, green, cyan, blue, magenta and back.
constexpr std::array<Colour, 192> kHueWheel = [] {
  std::array<Colour, 192> wheel{};
  for (size_t j = 0; j < 32; ++j) {
    wheel[j] = MakeColour(255, kUp[j], 0);
    wheel[32 + j] = MakeColour(kDown[j], 255, 0);
    wheel[64 + j] = MakeColour(0, 255, kUp[j]);
    wheel[96 + j] = MakeColour(0, kDown[j], 255);
    wheel[128 + j] = MakeColour(kUp[j], 0, 255);
    wheel[160 + j] = MakeColour(255, 0, kDown[j]);
  }
  return wheel;
}();
static_assert(kHueWheel[0] == MakeColour(255, 1, 0) && kHueWheel[191] == MakeColour(255, 0, 0));

// Random hue numbers are 0..254 and go round the wheel once and a bit.
constexpr std::array<Colour, 255> kExtendedHue = [] {
  std::array<Colour, 255> hues{};
  for (size_t k = 0; k < hues.size(); ++k) hues[k] = kHueWheel[k % kHueWheel.size()];
  return hues;
}();

template <size_t Half>
constexpr std::array<uint8_t, 2 * Half> Mirrored(const std::array<uint8_t, Half>& half) {
  std::array<uint8_t, 2 * Half> all{};
  for (size_t i = 0; i < Half; ++i) all[i] = all[2 * Half - 1 - i] = half[i];
  return all;
}

constexpr std::array<uint8_t, 96> kBreath96 = Mirrored(std::array<uint8_t, 48>{
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255});

constexpr std::array<uint8_t, 128> kBreath128 = Mirrored(std::array<uint8_t, 64>{
    3,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  20,  22,  24,  27,  30,  33,  36,
    39,  42,  45,  49,  53,  57,  61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129,
    134, 140, 146, 152, 158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255});

// A bright head and a long tail, then dark.
constexpr std::array<uint8_t, 128> kComet128 = {
    0,   4,   8,   14,  22,  33,  45,  61,  77,  94,  114, 134, 158, 182, 206, 234, 255, 248, 241, 234,
    227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114,
    109, 104, 99,  94,  89,  85,  81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,
    30,  27,  24,  22,  20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};
static_assert(kComet128[79] == 1 && kComet128[80] == 0, "80 lit levels, then 48 dark ones");

// Effect 6's still picture: the hue of each ring around O.
constexpr std::array<uint8_t, 12> kRingHues = {135, 120, 105, 90, 75, 60, 45, 30, 15, 170, 155, 140};

// Level fall per frame of a lit key, by level band: rule A for most effects,
// the faster rule B for the demo.
struct DecayBand {
  uint8_t from;  // the band's lowest level
  uint8_t ruleA;
  uint8_t ruleB;
};
constexpr std::array<DecayBand, 5> kDecayBands = {{{128, 20, 30}, {64, 16, 20}, {32, 10, 10}, {17, 5, 5}, {1, 1, 1}}};

using DecayTable = std::array<uint8_t, 256>;  // a level, one frame later
constexpr DecayTable MakeDecay(uint8_t DecayBand::*rule) {
  DecayTable next{};
  for (int level = 0; level < 256; ++level) {
    next[static_cast<size_t>(level)] = static_cast<uint8_t>(level);
    for (const DecayBand& band : kDecayBands)
      if (level >= band.from) {
        next[static_cast<size_t>(level)] = static_cast<uint8_t>(level - band.*rule);
        break;
      }
  }
  return next;
}
constexpr DecayTable kDecayA = MakeDecay(&DecayBand::ruleA);
constexpr DecayTable kDecayB = MakeDecay(&DecayBand::ruleB);
static_assert(kDecayA[255] == 235 && kDecayA[16] == 15 && kDecayB[255] == 225 && kDecayB[0] == 0);

// ---- Key tables ---------------------------------------------------------------------

constexpr int kRows = 6;
constexpr int kColumns = 23;

// The keyboard view as rows of cells; a wide key fills each of its cells.
using GridRow = std::array<KeyCode, kColumns>;
constexpr std::array<GridRow, kRows> kKeyGrid = {{
    {None, None, Esc, F1, F2, F3, F4, None, F5, F6, F7, F8, F9, F10, F11, F12, PrtSc, ScrLk, Pause, None, None, None,
     None},
    {None, Grave, K1, K2, K3, K4, K5, K6, K7, K8, K9, K0, Minus, Equal, Bksp, Bksp, Ins, Home, PgUp, NumLk, KpSlash,
     KpStar, KpMinus},
    {None, Tab, Q, W, E, R, T, Y, U, I, O, P, LBr, RBr, Bslash, Bslash, Del, End, PgDn, Kp7, Kp8, Kp9, None},
    {None, Caps, A, S, D, F, G, H, J, K, L, Semi, Quote, Enter, Enter, None, None, None, None, Kp4, Kp5, Kp6, KpPlus},
    {LShift, K45, Z, X, C, V, B, N, M, Comma, Dot, Slash, None, None, RShift, RShift, None, Up, None, Kp1, Kp2, Kp3,
     KpEnter},
    {LCtrl, LWin, LAlt, None, None, None, Space, None, None, RAlt, RAlt, Fn, Menu, None, RCtrl, RCtrl, Left, Down,
     Right, Kp0, Kp0, KpDot, None},
}};

// Effects 3 and 11 run along this path.
constexpr std::array<KeyCode, 105> kSpiralOrder = {
    Pause, ScrLk, PrtSc, F12, F11, F10, F9, F8, F7, F6, F5, F4, F3, F2, F1,
    Esc, Grave, Tab, Caps, LShift, LCtrl, LWin, LAlt, Space, RAlt, Fn, Menu, RCtrl, Left, Down,
    Right, Kp0, KpDot, KpEnter, KpPlus, KpMinus, KpStar, KpSlash, NumLk, PgUp, Home, Ins, Bksp, Equal, Minus,
    K0, K9, K8, K7, K6, K5, K4, K3, K2, K1, Q, A, K45, Z, X,
    C, V, B, N, M, Comma, Dot, Slash, RShift, Up, Kp1, Kp2, Kp3, Kp6, Kp9,
    Kp8, Kp7, PgDn, End, Del, Bslash, RBr, LBr, P, O, I, U, Y, T, R,
    E, W, S, D, F, G, H, J, K, L, Semi, Quote, Enter, Kp4, Kp5};

// Twelve rings around the O key, innermost first.
constexpr std::array<KeySet, 12> kRingTable = {{
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

// The keys effect 10 lights, three a frame, round and round.
constexpr std::array<KeyCode, 105> kSparkleOrder = {
    T, RAlt, Quote, K45, Grave, Up, KpMinus, KpPlus, KpStar, K4, End, Caps, F3, Dot, J,
    F6, KpEnter, Ins, Q, K3, K7, G, PgDn, Kp1, F5, Space, PgUp, F12, Enter, Tab,
    Comma, LAlt, Kp0, F11, I, Kp7, Esc, C, K1, LWin, P, F, F9, V, K6,
    LCtrl, F10, F1, RShift, K, Kp2, RCtrl, RBr, ScrLk, Pause, Y, K9, Kp8, KpSlash, Kp6,
    KpDot, Del, F7, Down, Kp3, A, Minus, L, F2, K8, Bksp, D, W, Bslash, U,
    R, Equal, Left, Z, X, NumLk, K2, PrtSc, B, M, E, H, Kp9, S, Home,
    Fn, Menu, F8, Right, K5, O, K0, Slash, LShift, Kp4, Semi, LBr, F4, N, Pause};

// Effect 14: the keys each step of the opening lights, then the pairs it
// alternates before the ripple from P.
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

// ---- Derived once: frame indexes and grid places ----------------------------------

using KeyIndex = uint8_t;  // a place in kPreviewKeys
static_assert(kPreviewKeyCount < 255);

constexpr KeyIndex IndexOf(KeyCode key) {
  const int index = PreviewKeyIndex(key);
  // Not a constant expression for a key outside the frame: the tables cannot name one.
  if (index < 0) throw "a key the preview does not colour";
  return static_cast<KeyIndex>(index);
}

template <size_t Size>
constexpr std::array<KeyIndex, Size> IndexesOf(const std::array<KeyCode, Size>& keys) {
  std::array<KeyIndex, Size> out{};
  for (size_t i = 0; i < Size; ++i) out[i] = IndexOf(keys[i]);
  return out;
}

struct IndexSet {
  std::array<KeyIndex, 12> at{};
  size_t count = 0;
  std::span<const KeyIndex> Items() const { return std::span(at).first(count); }
};

template <size_t Size>
constexpr std::array<IndexSet, Size> IndexesOf(const std::array<KeySet, Size>& sets) {
  std::array<IndexSet, Size> out{};
  for (size_t i = 0; i < Size; ++i) {
    for (KeyCode key : sets[i].Keys()) out[i].at[out[i].count++] = IndexOf(key);
  }
  return out;
}

constexpr auto kSpiralKeys = IndexesOf(kSpiralOrder);
constexpr auto kSparkleKeys = IndexesOf(kSparkleOrder);
constexpr auto kDemoScriptKeys = IndexesOf(kDemoScript);
constexpr std::array<std::array<KeyIndex, 2>, 16> kDemoPairKeys = [] {
  std::array<std::array<KeyIndex, 2>, 16> out{};
  for (size_t i = 0; i < out.size(); ++i) out[i] = IndexesOf(kDemoPairs[i]);
  return out;
}();

// A grid cell that holds a key.
struct Cell {
  uint8_t column;
  uint8_t row;
  KeyIndex key;
};
constexpr size_t kCellCount = [] {
  size_t n = 0;
  for (const GridRow& row : kKeyGrid)
    for (KeyCode key : row) n += key != None;
  return n;
}();
constexpr std::array<Cell, kCellCount> kCells = [] {
  std::array<Cell, kCellCount> cells{};
  size_t n = 0;
  for (size_t r = 0; r < kKeyGrid.size(); ++r)
    for (size_t c = 0; c < kColumns; ++c)
      if (kKeyGrid[r][c] != None)
        cells[n++] = {static_cast<uint8_t>(c), static_cast<uint8_t>(r), IndexOf(kKeyGrid[r][c])};
  return cells;
}();

// Where a key of the frame sits: its row, the column of its rightmost cell
// (painted last, so its colour is the one that stays) and its ring; -1 for
// Right Win, which has no cell.
struct Place {
  int8_t column = -1;
  int8_t row = -1;
  int8_t ring = -1;
};
constexpr std::array<Place, kPreviewKeyCount> kPlaces = [] {
  std::array<Place, kPreviewKeyCount> places{};
  for (const Cell& cell : kCells) {
    places[cell.key].column = static_cast<int8_t>(cell.column);
    places[cell.key].row = static_cast<int8_t>(cell.row);
  }
  for (size_t g = 0; g < kRingTable.size(); ++g)
    for (KeyCode key : kRingTable[g].Keys()) places[IndexOf(key)].ring = static_cast<int8_t>(g);
  return places;
}();

constexpr Cell CellOf(KeyCode key) {
  for (const Cell& cell : kCells)
    if (cell.key == IndexOf(key)) return cell;
  throw "a key without a cell";
}

constexpr KeyIndex kRightWin = IndexOf(RWin);
constexpr KeyIndex kPageUp = IndexOf(PgUp);
constexpr KeyIndex kLKey = IndexOf(L);
constexpr KeyIndex kLeftCtrl = IndexOf(LCtrl);
constexpr Cell kPCell = CellOf(P);

// How often each key of the frame occurs in a list of keys.
template <typename List>
constexpr std::array<int, kPreviewKeyCount> Occurrences(const List& keys) {
  std::array<int, kPreviewKeyCount> n{};
  for (KeyCode key : keys) ++n[IndexOf(key)];
  return n;
}
constexpr bool OnlyRightWinHasNoPlace() {
  for (size_t k = 0; k < kPreviewKeyCount; ++k)
    if ((kPlaces[k].column < 0 || kPlaces[k].ring < 0) != (k == kRightWin)) return false;
  return true;
}
static_assert(kCellCount == 112 && OnlyRightWinHasNoPlace(), "every key but Right Win is in the grid and one ring");
static_assert([] {
  const auto spiral = Occurrences(kSpiralOrder);
  for (size_t k = 0; k < kPreviewKeyCount; ++k)
    if (spiral[k] != (k == kRightWin ? 0 : 1)) return false;
  return true;
}(), "the spiral passes every key of the grid once");
static_assert([] {
  const auto sparkle = Occurrences(kSparkleOrder);
  for (size_t k = 0; k < kPreviewKeyCount; ++k) {
    const KeyCode key = kPreviewKeys[k];
    if (sparkle[k] != (key == Pause ? 2 : key == Kp5 || key == RWin ? 0 : 1)) return false;
  }
  return true;
}(), "the sparkle visits Pause twice, keypad 5 never, the others once");
static_assert([] {
  size_t n = 0;
  for (const KeySet& ring : kRingTable) n += ring.count;
  return n == kSpiralOrder.size();
}(), "no key is in two rings");

// ---- Arithmetic --------------------------------------------------------------------

constexpr Colour AtLevel(Colour colour, int level) {
  return MakeColour(static_cast<uint8_t>(ColourRed(colour) * level / 255),
                    static_cast<uint8_t>(ColourGreen(colour) * level / 255),
                    static_cast<uint8_t>(ColourBlue(colour) * level / 255));
}

constexpr int Mod(int value, int modulo) { return (value % modulo + modulo) % modulo; }

// A phase moved by step, forward for direction 0xFF and backward for 0.
constexpr int Step(int phase, int step, int modulo, const PreviewInput& in) {
  return Mod(in.direction != 0 ? phase + step : phase - step, modulo);
}

// Ripple bit planes: a byte per column, bit r for grid row r; bit 6 is a row
// below the board. Each plane spreads into its own quadrant.
enum PlaneKind : size_t { kUpLeft, kDownLeft, kUpRight, kDownRight };
using Planes = std::array<std::array<uint8_t, kColumns>, 4>;

void SeedPlanes(Planes& planes, int column, uint8_t bits) {
  for (auto& plane : planes) plane[static_cast<size_t>(column)] |= bits;
}

uint8_t ColumnBits(const Planes& planes, int column) {
  const size_t c = static_cast<size_t>(column);
  return static_cast<uint8_t>(planes[kUpLeft][c] | planes[kDownLeft][c] | planes[kUpRight][c] | planes[kDownRight][c]);
}

// One frame of growth: together the planes draw a diamond ring one cell wider.
void Spread(Planes& planes) {
  Planes next{};
  for (size_t c = 0; c < kColumns; ++c) {
    next[kUpLeft][c] |= static_cast<uint8_t>(planes[kUpLeft][c] >> 1);
    next[kDownLeft][c] |= static_cast<uint8_t>(planes[kDownLeft][c] << 1);
    next[kUpRight][c] |= static_cast<uint8_t>(planes[kUpRight][c] >> 1);
    next[kDownRight][c] |= static_cast<uint8_t>(planes[kDownRight][c] << 1);
    if (c > 0) {
      next[kUpLeft][c - 1] |= planes[kUpLeft][c];
      next[kDownLeft][c - 1] |= planes[kDownLeft][c];
    }
    if (c + 1 < kColumns) {
      next[kUpRight][c + 1] |= planes[kUpRight][c];
      next[kDownRight][c + 1] |= planes[kDownRight][c];
    }
  }
  planes = next;
}

// The rain's move: up and down only.
void Fall(Planes& planes) {
  for (size_t c = 0; c < kColumns; ++c) {
    planes[kUpLeft][c] = static_cast<uint8_t>(planes[kUpLeft][c] >> 1);
    planes[kUpRight][c] = static_cast<uint8_t>(planes[kUpRight][c] >> 1);
    planes[kDownLeft][c] = static_cast<uint8_t>(planes[kDownLeft][c] << 1);
    planes[kDownRight][c] = static_cast<uint8_t>(planes[kDownRight][c] << 1);
  }
}

// The level and hue number of every key of a glowing effect.
struct Glow {
  std::array<uint8_t, kPreviewKeyCount> level{};
  std::array<uint8_t, kPreviewKeyCount> hue{};

  void Light(KeyIndex key, uint8_t hueNumber) {
    level[key] = 255;
    hue[key] = hueNumber;
  }
};

enum class DemoStage : uint8_t { kScript, kPairs, kSeed, kRipple, kFading };

constexpr int kEffects = 20;
constexpr int kDemoPairFrames = 30;  // the pairs run while the frame count is at most this

}  // namespace

struct EffectPreview::State {
  explicit State(Random r) : random(std::move(r)) {}

  using Frame = void (State::*)(const PreviewInput&);
  static Frame FrameOf(LightingMode mode);

  void Start();
  uint8_t RandomHue() { return static_cast<uint8_t>((random ? random() : clock()) % 255); }
  void PaintColumns(const std::array<Colour, kColumns>& columns);
  void PaintRings(const std::array<Colour, kRingTable.size()>& rings);
  void LightPlanes(Glow& glow, const Planes& planes, bool multicolour);
  void DecayAndShow(Glow& glow, const DecayTable& decay, const PreviewInput& in);

  void Wave(const PreviewInput& in);           // 1
  void Comet(const PreviewInput& in);          // 2
  void Spiral(const PreviewInput& in);         // 3
  void Cycle(const PreviewInput& in);          // 4
  void Breathing(const PreviewInput& in);      // 5
  void Rings(const PreviewInput& in);          // 6
  void Sparkle(const PreviewInput& in);        // 10
  void SpiralCycle(const PreviewInput& in);    // 11
  void RowRainbow(const PreviewInput& in);     // 12
  void Ripple(const PreviewInput& in);         // 13
  void Demo(const PreviewInput& in);           // 14
  void Rain(const PreviewInput& in);           // 15
  void CornerRipple(const PreviewInput& in);   // 16
  void RingWave(const PreviewInput& in);       // 18

  Random random;
  std::minstd_rand clock;
  PreviewColours colours{};
  bool started = false;
  std::array<int, kEffects + 1> phase{};  // 14, 15 and 18 share phase[14]
  std::array<bool, kEffects + 1> busy{};
  DemoStage demoStage = DemoStage::kScript;
  int demoHue = 0;
  size_t sparkleAt = 0;
  bool spiralCycleStarted = false;
  bool rippleStarted = false;
  std::array<int, kSpiralOrder.size()> spiralHue{};
  Glow glow10;  // shared with the rain (15)
  Glow glow13;
  Glow glow14;
  Glow glow16;
  Planes planes13{};
  Planes planes14{};
  Planes planes15{};
  Planes planes16{};
};

EffectPreview::State::Frame EffectPreview::State::FrameOf(LightingMode mode) {
  static constexpr std::array<Frame, kEffects + 1> kFrames = {
      nullptr,                                                                                        // 0
      &State::Wave, &State::Comet, &State::Spiral, &State::Cycle, &State::Breathing, &State::Rings,  // 1..6
      nullptr, nullptr, nullptr,                                                                      // 7..9
      &State::Sparkle, &State::SpiralCycle, &State::RowRainbow, &State::Ripple, &State::Demo,        // 10..14
      &State::Rain, &State::CornerRipple, nullptr, &State::RingWave, nullptr,                         // 15..19
      nullptr,  // 20: the user's own colours, no animation
  };
  return mode >= 0 && mode <= kEffects ? kFrames[static_cast<size_t>(mode)] : nullptr;
}

void EffectPreview::State::Start() {
  phase[14] = 0;
  demoStage = DemoStage::kScript;
  demoHue = 0;
  glow10 = {};
  glow16 = {};
  planes15 = {};
  planes16 = {};
  SeedPlanes(planes16, 1, 0x01);
  SeedPlanes(planes15, 9, 0x40);
  started = true;
}

void EffectPreview::State::PaintColumns(const std::array<Colour, kColumns>& columns) {
  for (size_t k = 0; k < kPreviewKeyCount; ++k)
    if (kPlaces[k].column >= 0) colours[k] = columns[static_cast<size_t>(kPlaces[k].column)];
}

void EffectPreview::State::PaintRings(const std::array<Colour, kRingTable.size()>& rings) {
  for (size_t k = 0; k < kPreviewKeyCount; ++k)
    if (kPlaces[k].ring >= 0) colours[k] = rings[static_cast<size_t>(kPlaces[k].ring)];
}

void EffectPreview::State::LightPlanes(Glow& glow, const Planes& planes, bool multicolour) {
  std::array<uint8_t, kColumns> set{};
  for (int c = 0; c < kColumns; ++c) set[static_cast<size_t>(c)] = ColumnBits(planes, c);
  for (const Cell& cell : kCells)
    if (set[cell.column] >> cell.row & 1) glow.Light(cell.key, multicolour ? RandomHue() : glow.hue[cell.key]);
}

void EffectPreview::State::DecayAndShow(Glow& glow, const DecayTable& decay, const PreviewInput& in) {
  for (size_t k = 0; k < kPreviewKeyCount; ++k) {
    glow.level[k] = decay[glow.level[k]];
    colours[k] = AtLevel(in.multicolour ? kExtendedHue[glow.hue[k]] : in.colour, glow.level[k]);
  }
}

void EffectPreview::State::Wave(const PreviewInput& in) {
  int& p = phase[1];
  std::array<Colour, kColumns> columns;
  if (in.multicolour) {
    p = Step(p, 9, 192, in);
    for (size_t c = 0; c < kColumns; ++c) columns[c] = kHueWheel[(static_cast<size_t>(p) + 9 * c) % 192];
  } else {
    p = Step(p, 7, 96, in);
    for (size_t c = 0; c < kColumns; ++c)
      columns[c] = AtLevel(in.colour, kBreath96[(static_cast<size_t>(p) + 7 * c) % 96]);
  }
  PaintColumns(columns);
}

void EffectPreview::State::Comet(const PreviewInput& in) {
  int& p = phase[2];
  std::array<Colour, kColumns> columns;
  if (in.multicolour) {
    p = Step(p, 4, 192, in);
    for (size_t c = 0; c < kColumns; ++c) columns[c] = kHueWheel[(static_cast<size_t>(p) + 5 * c) % 192];
  } else {
    // The comet always runs forward; the direction only mirrors the columns.
    p = (p + 4) % 128;
    const int side = in.direction != 0 ? 1 : -1;
    for (int c = 0; c < kColumns; ++c)
      columns[static_cast<size_t>(c)] =
          AtLevel(in.colour, kComet128[static_cast<size_t>(Mod(p + side * 5 * (c + 1), 128))]);
  }
  PaintColumns(columns);
}

void EffectPreview::State::Spiral(const PreviewInput& in) {
  int& p = phase[3];
  if (in.multicolour) {
    p = Step(p, 4, 192, in);
    for (size_t k = 0; k < kSpiralKeys.size(); ++k)
      colours[kSpiralKeys[k]] = kHueWheel[(static_cast<size_t>(p) + 5 * k) % 192];
  } else {
    p = Step(p, 4, 96, in);
    for (size_t k = 0; k < kSpiralKeys.size(); ++k)
      colours[kSpiralKeys[k]] = AtLevel(in.colour, kBreath96[(static_cast<size_t>(p) + 5 * k) % 96]);
  }
}

void EffectPreview::State::Cycle(const PreviewInput& in) {
  int& p = phase[4];
  p = Step(p, 2, 192, in);
  colours.fill(kHueWheel[static_cast<size_t>(p)]);
}

void EffectPreview::State::Breathing(const PreviewInput& in) {
  int& p = phase[5];
  p = (p + 2) % 128;  // the direction plays no part
  const int level = kBreath128[static_cast<size_t>(p)];
  std::array<Colour, kColumns> columns;
  for (size_t c = 0; c < kColumns; ++c) columns[c] = AtLevel(in.multicolour ? kHueWheel[7 * c] : in.colour, level);
  PaintColumns(columns);
}

void EffectPreview::State::Rings(const PreviewInput& in) {
  if (!in.multicolour) {
    colours.fill(in.colour);
    return;
  }
  std::array<Colour, kRingTable.size()> rings;
  for (size_t g = 0; g < rings.size(); ++g) rings[g] = kHueWheel[kRingHues[g]];
  PaintRings(rings);
}

void EffectPreview::State::Sparkle(const PreviewInput& in) {
  for (int i = 0; i < 3; ++i) {
    sparkleAt = (sparkleAt + 1) % kSparkleKeys.size();
    glow10.Light(kSparkleKeys[sparkleAt], RandomHue());
  }
  DecayAndShow(glow10, kDecayA, in);
}

void EffectPreview::State::SpiralCycle(const PreviewInput&) {
  if (!spiralCycleStarted) {
    int h = 33;
    for (size_t k = 0; k < spiralHue.size(); ++k) {
      if (k > 0) h = h + 33 > 192 ? h - 159 : h + 33;
      spiralHue[k] = h;
    }
    spiralCycleStarted = true;
  }
  for (size_t k = 0; k < spiralHue.size(); ++k) {
    int& h = spiralHue[k];
    h += 3;
    if (h >= 192) h = 0;
    colours[kSpiralKeys[k]] = kHueWheel[static_cast<size_t>(h)];
  }
}

void EffectPreview::State::RowRainbow(const PreviewInput& in) {
  int& p = phase[12];
  p = Step(p, 3, 192, in);
  for (size_t k = 0; k < kPreviewKeyCount; ++k)
    if (kPlaces[k].row >= 0) colours[k] = kHueWheel[static_cast<size_t>(p + 32 * kPlaces[k].row) % 192];
}

void EffectPreview::State::Ripple(const PreviewInput& in) {
  if (!rippleStarted) {
    SeedPlanes(planes13, 8, 0x40);
    rippleStarted = true;
  }
  // Once a ring has left the middle column but for its top or bottom cell, a
  // new one starts there.
  const uint8_t middle = ColumnBits(planes13, 8);
  if (middle == 0x01 || middle == 0x40) SeedPlanes(planes13, 8, middle);
  LightPlanes(glow13, planes13, in.multicolour);
  Spread(planes13);
  DecayAndShow(glow13, kDecayA, in);
}

void EffectPreview::State::Demo(const PreviewInput& in) {
  int& step = phase[14];  // the script's step, then the pairs' frame count
  const auto light = [&](KeyIndex key, int hueStep) {
    glow14.Light(key, in.multicolour ? static_cast<uint8_t>(demoHue) : 0);
    if (in.multicolour) demoHue = (demoHue + hueStep) % 255;
  };
  switch (demoStage) {
    case DemoStage::kScript:
      if (step < 0 || step >= static_cast<int>(kDemoScriptKeys.size())) step = 0;  // left by the rain or the rings
      for (KeyIndex key : kDemoScriptKeys[static_cast<size_t>(step)].Items()) light(key, 11);
      if (++step == static_cast<int>(kDemoScriptKeys.size())) {
        step = 0;
        demoStage = DemoStage::kPairs;
      }
      break;
    case DemoStage::kPairs:
      if (step <= kDemoPairFrames) {
        for (KeyIndex key : kDemoPairKeys[static_cast<size_t>(step) % kDemoPairKeys.size()]) light(key, 1);
        ++step;
      } else if (glow14.level[kLKey] == 0) {
        step = 0;
        demoStage = DemoStage::kSeed;
      }
      break;
    case DemoStage::kSeed:
      planes14 = {};
      SeedPlanes(planes14, kPCell.column, static_cast<uint8_t>(1 << kPCell.row));
      demoStage = DemoStage::kRipple;
      break;
    case DemoStage::kRipple:
      LightPlanes(glow14, planes14, in.multicolour);
      Spread(planes14);
      if (glow14.level[kLeftCtrl] > 0) demoStage = DemoStage::kFading;
      break;
    case DemoStage::kFading:
      if (glow14.level[kLeftCtrl] == 0) demoStage = DemoStage::kScript;
      break;
  }
  DecayAndShow(glow14, kDecayB, in);
}

void EffectPreview::State::Rain(const PreviewInput& in) {
  int& b = phase[14];  // the column of the last drop
  if (b < 0 || b >= kColumns) b = 0;  // left by the rings
  b = b > 15 ? b - 16 : b + 7;
  for (int i = 0; i < 3; ++i) {
    const int c = b + 3 > kColumns - 1 ? b - 20 : b + 3;
    SeedPlanes(planes15, c, 0x01);
    b = c;
  }
  LightPlanes(glow10, planes15, in.multicolour);
  Fall(planes15);
  DecayAndShow(glow10, kDecayA, in);
}

void EffectPreview::State::CornerRipple(const PreviewInput& in) {
  // A ring that has run out to its last cell at either end starts a new one there.
  if (ColumnBits(planes16, 1) == 0x01) SeedPlanes(planes16, 1, 0x01);
  if (ColumnBits(planes16, kColumns - 1) == 0x40) SeedPlanes(planes16, kColumns - 1, 0x40);
  LightPlanes(glow16, planes16, in.multicolour);
  Spread(planes16);
  DecayAndShow(glow16, kDecayA, in);
}

void EffectPreview::State::RingWave(const PreviewInput& in) {
  int& p = phase[14];
  if (in.direction != 0) {
    p += 2;
    if (p >= 192) p = 0;
  } else {
    p = Mod(p - 2, 192);
  }
  std::array<Colour, kRingTable.size()> rings;
  for (size_t g = 0; g < rings.size(); ++g) rings[g] = kHueWheel[(static_cast<size_t>(p) + 21 * (g + 1)) % 192];
  PaintRings(rings);
}

// ---- EffectPreview -------------------------------------------------------------------

EffectPreview::EffectPreview(Random random) : state_(std::make_unique<State>(std::move(random))) {}
EffectPreview::~EffectPreview() = default;
EffectPreview::EffectPreview(EffectPreview&&) noexcept = default;
EffectPreview& EffectPreview::operator=(EffectPreview&&) noexcept = default;

void EffectPreview::Restart() { state_->started = false; }

const PreviewColours& EffectPreview::Colours() const { return state_->colours; }

Colour EffectPreview::ColourOf(KeyCode key) const {
  const int index = PreviewKeyIndex(key);
  return index < 0 ? 0 : state_->colours[static_cast<size_t>(index)];
}

PreviewFrame EffectPreview::Tick(const PreviewInput& input) {
  State& s = *state_;
  if (!s.started) s.Start();
  if (input.mode == kUserDefinedMode) return PreviewFrame::kUntouched;
  const State::Frame frame = State::FrameOf(input.mode);
  if (!frame) {
    s.colours.fill(0);
    return PreviewFrame::kCleared;
  }
  // A random source that pumps events could call back in; that call finds the frame running.
  bool& busy = s.busy[static_cast<size_t>(input.mode)];
  if (busy) return PreviewFrame::kUntouched;
  busy = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{busy};
  // Reseeded every frame, so the sparkles differ from one run to the next.
  if (!s.random) s.clock.seed(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  (s.*frame)(input);
  s.colours[kRightWin] = s.colours[kPageUp];
  return PreviewFrame::kPainted;
}

}  // namespace keyloft
