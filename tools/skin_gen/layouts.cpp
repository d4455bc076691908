#include "layouts.h"

#include <cmath>
#include <stdexcept>

#include "ui/skin/skin_entries.h"

namespace keyloft::skingen {
namespace {

// One key unit is 38 px; a keycap is 3 px narrower than its pitch so neighbours
// never touch. Positions are kept in quarter units to place 1.25u and 1.75u keys.
constexpr double kQuarter = 38.0 / 4;
constexpr int kCapGap = 3;
constexpr int kBoardLeft = 66;        // G-key column
constexpr int kGKeyWidth = 44;
constexpr int kMainLeft = kBoardLeft + kGKeyWidth + 12;
constexpr int kStripTop = 110;         // flip controls, D keys, lock indicators
constexpr int kFunctionRowTop = 142;
constexpr int kNumberRowTop = 190;     // function row, then a 13 px gap
constexpr int kArrowCellGap = 4;       // between the glyph cells of Arrow.jpg

// The ISO full-size board: x and width in quarter units, row 0 = function row.
struct KeyPlace {
  KeyCode code;
  int x4;
  int row;
  int w4 = 4;
  int rows = 1;
};

constexpr KeyCode kFnCode = 0;  // Fn has no key code; its button key is KEY_FN

constexpr KeyPlace kBoard[] = {
    {0x001, 0, 0},  {0x03B, 8, 0},  {0x03C, 12, 0}, {0x03D, 16, 0}, {0x03E, 20, 0}, {0x03F, 26, 0},
    {0x040, 30, 0}, {0x041, 34, 0}, {0x042, 38, 0}, {0x043, 44, 0}, {0x044, 48, 0}, {0x057, 52, 0},
    {0x058, 56, 0}, {0x137, 62, 0}, {0x046, 66, 0}, {0x045, 70, 0},
    // number row
    {0x029, 0, 1},  {0x002, 4, 1},  {0x003, 8, 1},  {0x004, 12, 1}, {0x005, 16, 1}, {0x006, 20, 1},
    {0x007, 24, 1}, {0x008, 28, 1}, {0x009, 32, 1}, {0x00A, 36, 1}, {0x00B, 40, 1}, {0x00C, 44, 1},
    {0x00D, 48, 1}, {0x00E, 52, 1, 8}, {0x152, 62, 1}, {0x147, 66, 1}, {0x149, 70, 1},
    {0x145, 76, 1}, {0x135, 80, 1}, {0x037, 84, 1}, {0x04A, 88, 1},
    // top letter row; Enter spans two rows (its lower part is narrower, see below)
    {0x00F, 0, 2, 6}, {0x010, 6, 2},  {0x011, 10, 2}, {0x012, 14, 2}, {0x013, 18, 2}, {0x014, 22, 2},
    {0x015, 26, 2},   {0x016, 30, 2}, {0x017, 34, 2}, {0x018, 38, 2}, {0x019, 42, 2}, {0x01A, 46, 2},
    {0x01B, 50, 2},   {0x01C, 54, 2, 6, 2}, {0x153, 62, 2}, {0x14F, 66, 2}, {0x151, 70, 2},
    {0x047, 76, 2},   {0x048, 80, 2}, {0x049, 84, 2}, {0x04E, 88, 2, 4, 2},
    // home row; 0x02B sits under the Enter's overhang
    {0x03A, 0, 3, 7}, {0x01E, 7, 3},  {0x01F, 11, 3}, {0x020, 15, 3}, {0x021, 19, 3}, {0x022, 23, 3},
    {0x023, 27, 3},   {0x024, 31, 3}, {0x025, 35, 3}, {0x026, 39, 3}, {0x027, 43, 3}, {0x028, 47, 3},
    {0x02B, 51, 3},   {0x04B, 76, 3}, {0x04C, 80, 3}, {0x04D, 84, 3},
    // bottom letter row with the short ISO Shift and K45
    {0x02A, 0, 4, 5}, {0x056, 5, 4},  {0x02C, 9, 4},  {0x02D, 13, 4}, {0x02E, 17, 4}, {0x02F, 21, 4},
    {0x030, 25, 4},   {0x031, 29, 4}, {0x032, 33, 4}, {0x033, 37, 4}, {0x034, 41, 4}, {0x035, 45, 4},
    {0x036, 49, 4, 11}, {0x148, 66, 4}, {0x04F, 76, 4}, {0x050, 80, 4}, {0x051, 84, 4},
    {0x11C, 88, 4, 4, 2},
    // space row: five 1u keys right of Space, Fn among them
    {0x01D, 0, 5, 5}, {0x15B, 5, 5, 5}, {0x038, 10, 5, 5}, {0x039, 15, 5, 25}, {0x138, 40, 5},
    {0x15C, 44, 5},   {kFnCode, 48, 5}, {0x15D, 52, 5}, {0x11D, 56, 5}, {0x14B, 62, 5}, {0x150, 66, 5},
    {0x14D, 70, 5},   {0x052, 76, 5, 8}, {0x053, 84, 5},
};

int RowTop(int row) { return row == 0 ? kFunctionRowTop : kNumberRowTop + (row - 1) * 38; }
int QuarterX(int x4) { return kMainLeft + static_cast<int>(std::lround(x4 * kQuarter)); }

QRect CapRect(int x4, int row, int w4, int rows) {
  const int left = QuarterX(x4);
  return QRect(left, RowTop(row), QuarterX(x4 + w4) - left - kCapGap, rows * 38 - kCapGap);
}

void Put(WindowLayout& l, const std::string& key, QRect r) {
  if (!l.rects.emplace(key, r).second) throw std::logic_error("laid out twice: " + key);
}

MainGeometry BuildMainGeometry() {
  MainGeometry g;
  g.plate = QRect(20, 98, 1020, 293);
  g.panel = QRect(20, 401, 1020, 126);
  g.panelDividers = {QRect(213, 413, 1, 104), QRect(407, 413, 1, 104), QRect(624, 413, 1, 104)};
  for (int n = 1; n <= 9; ++n) {
    const int y = kFunctionRowTop + ((n - 1) * 53) / 2;
    g.keys.push_back({GKeyButtonKey(n), 0, QRect(kBoardLeft, y, kGKeyWidth, 23), {}});
  }
  for (const KeyPlace& k : kBoard) {
    KeyShape shape{k.code == kFnCode ? std::string("KEY_FN") : KeyButtonKey(k.code), k.code,
                   CapRect(k.x4, k.row, k.w4, k.rows), {}};
    if (k.code == 0x01C) shape.lowerPart = CapRect(k.x4 + 1, k.row + 1, k.w4 - 1, 1);
    g.keys.push_back(shape);
  }
  for (int n = 1; n <= 6; ++n) g.keys.push_back({DKeyButtonKey(n), 0, QRect(284 + (n - 1) * 39, kStripTop, 36, 22), {}});
  return g;
}

WindowLayout BuildMain() {
  WindowLayout l;
  l.size = QSize(1060, 590);
  for (const KeyShape& k : MainShapes().keys) Put(l, k.key, k.rect);

  // Title bar: window buttons at the right.
  const char* window[] = {"CONTROL_MENU", "CONTROL_HELP", "CONTROL_MINIMIZE", "CONTROL_CLOSE"};
  for (int i = 0; i < 4; ++i) Put(l, window[i], QRect(920 + i * 30, 12, 30, 26));

  // Toolbar: profiles and commands left, report rate right.
  for (int n = 1; n <= 3; ++n) Put(l, "FUNC_PROFILE" + std::to_string(n), QRect(86 + (n - 1) * 38, 58, 36, 30));
  Put(l, "FUNC_PROFILES", QRect(206, 58, 108, 30));
  Put(l, "FUNC_MACRO", QRect(318, 58, 100, 30));
  Put(l, "FUNC_DEFAULT", QRect(422, 58, 100, 30));
  Put(l, "FUNC_SWITCH", QRect(526, 58, 30, 30));  // never shown: drawn only when lit
  Put(l, "CONTROL_UsbStatic", QRect(656, 64, 94, 18));
  for (int n = 1; n <= 4; ++n) Put(l, "FUNC_REPORT" + std::to_string(n), QRect(754 + (n - 1) * 72, 58, 70, 30));

  // Strip above the function row: flip controls, then (D keys above), locks right.
  Put(l, "LEFT_ARROW", QRect(66, kStripTop, 16, 22));
  Put(l, "FLIP_1", QRect(84, kStripTop, 58, 22));
  Put(l, "FLIP_0", QRect(144, kStripTop, 46, 22));
  Put(l, "FLIP_2", QRect(192, kStripTop, 58, 22));
  Put(l, "RIGHT_ARROW", QRect(252, kStripTop, 16, 22));
  const char* locks[] = {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"};
  for (int i = 0; i < 4; ++i) Put(l, locks[i], QRect(773 + i * 56, kStripTop, 52, 22));

  // Lighting panel, four sections; tier A at y 415/435, tier B at y 471/491.
  const int labelA = 415, ctrlA = 435, labelB = 471, ctrlB = 491;
  Put(l, "CONTROL_DengStatic", QRect(36, labelA, 160, 16));
  Put(l, "CONTROL_DengStaPic", QRect(36, ctrlA, 80, 28));
  Put(l, "CONTROL_DengDisable", QRect(116, ctrlA, 80, 28));
  Put(l, "CONTROL_XGcombox", QRect(36, ctrlB - 2, 160, 28));
  Put(l, "CONTROL_LightStatic", QRect(230, labelA, 160, 16));
  Put(l, "CONTROL_LightSlider", QRect(230, ctrlA, 160, 28));
  Put(l, "CONTROL_SpeedStatic", QRect(230, labelB, 160, 16));
  Put(l, "CONTROL_SpeedSlider", QRect(230, ctrlB, 160, 28));
  // The three direction layouts share one place; only one is ever shown.
  for (std::string suffix : {"", "2", "3"}) {
    Put(l, "CONTROL_BLFXStatic" + suffix, QRect(424, labelA, 100, 16));
    Put(l, "CONTROL_BLFXLStaPic" + suffix, QRect(424, ctrlA, 40, 28));
    Put(l, "CONTROL_BLFXRStaPic" + suffix, QRect(468, ctrlA, 40, 28));
  }
  // Breathing-type and reactive colour groups never show together: same place.
  for (std::string group : {"HX", "FY"}) {
    const bool hx = group == "HX";
    Put(l, hx ? "CONTROL_HXysStatic" : "CONTROL_FYYSStatic", QRect(424, labelB, 100, 16));
    Put(l, hx ? "CONTROL_HXysButton" : "CONTROL_FYYSButton", QRect(424, ctrlB, 56, 28));
    Put(l, hx ? "CONTROL_HXsjsStaPic" : "CONTROL_FYSJSStaPic", QRect(488, ctrlB, 28, 28));
    Put(l, hx ? "CONTROL_HXsjsStatic" : "CONTROL_FYSJSStatic", QRect(522, ctrlB + 5, 90, 18));
  }
  const char* four[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"};
  for (int i = 0; i < 4; ++i) Put(l, four[i], QRect(424 + i * 34, ctrlB, 28, 28));
  // User-defined effect.
  Put(l, "CONTROL_USERysStatic", QRect(640, ctrlA + 5, 50, 18));
  Put(l, "CONTROL_USERysButton", QRect(694, ctrlA, 56, 28));
  Put(l, "CONTROL_USERjsStatic", QRect(766, ctrlA + 5, 80, 18));
  Put(l, "CONTROL_USERjsButton", QRect(850, ctrlA, 56, 28));
  Put(l, "CONTROL_USERgjStatic", QRect(640, ctrlB + 5, 50, 18));
  Put(l, "CONTROL_USERgjStaPic1", QRect(694, ctrlB, 36, 28));
  Put(l, "CONTROL_USERgjStaPic2", QRect(734, ctrlB, 36, 28));
  Put(l, "CONTROL_umCombo", QRect(784, ctrlB, 160, 28));
  // Numeric colour entry at the far right.
  Put(l, "CONTROL_RGBStatic", QRect(964, labelA, 60, 16));
  const char* rgb[] = {"COLOR_R", "COLOR_G", "COLOR_B"};
  for (int i = 0; i < 3; ++i) Put(l, rgb[i], QRect(964, 435 + i * 28, 60, 24));
  // Template controls that are laid out but never shown: they share the
  // user-defined section, which is only visible for effect 20.
  Put(l, "CONTROL_FYCFStatic", QRect(640, labelA, 100, 16));
  Put(l, "CONTROL_FYdjcfStatic", QRect(640, ctrlA + 5, 60, 18));
  Put(l, "CONTROL_FYdjcfStaPic", QRect(704, ctrlA, 28, 28));
  Put(l, "CONTROL_FYggcfStatc", QRect(740, ctrlA + 5, 60, 18));
  Put(l, "CONTROL_FYggcfStaPic", QRect(804, ctrlA, 28, 28));
  Put(l, "CONTROL_JTysStatic", QRect(640, labelB, 100, 16));
  Put(l, "CONTROL_JTysButton", QRect(640, ctrlB, 56, 28));
  Put(l, "CONTROL_TSysStatic", QRect(704, labelB, 100, 16));
  Put(l, "CONTROL_TSysButton", QRect(704, ctrlB, 56, 28));
  Put(l, "CONTROL_TSsjsStatic", QRect(768, ctrlB + 5, 60, 18));
  Put(l, "CONTROL_TSsjsStaPic", QRect(832, ctrlB, 28, 28));
  Put(l, "CONTROL_CDysStatic", QRect(640, labelB, 100, 16));
  Put(l, "CONTROL_CDysButton", QRect(870, ctrlB, 56, 28));
  Put(l, "CONTROL_CDsjsStatic", QRect(768, ctrlA + 5, 60, 18));
  Put(l, "CONTROL_CDsjsStaPic", QRect(870, ctrlA, 28, 28));
  for (int n = 1; n <= 8; ++n) Put(l, "CONTROL_Color" + std::to_string(n), QRect(640 + (n - 1) * 26, labelB - 4, 22, 22));

  // Bottom bar.
  Put(l, "KORVIN_LINK", QRect(20, 548, 112, 30));
  Put(l, "KEY_VAVUZE", QRect(140, 550, 26, 26));
  Put(l, "KEY_FACEBOOK", QRect(170, 550, 26, 26));
  Put(l, "KEY_INSTARGRAM", QRect(200, 550, 26, 26));
  Put(l, "KORVIN_VER", QRect(240, 553, 44, 20));
  Put(l, "CONTROL_JDTStatic", QRect(620, 558, 150, 10));
  Put(l, "CONTROL2_APPLY", QRect(784, 548, 84, 30));
  Put(l, "CONTROL_OK", QRect(870, 548, 84, 30));
  Put(l, "CONTROL_CANCEL", QRect(956, 548, 84, 30));

  // Arrow.jpg: a row of cells per arrow (up 1, up 2, down 1, down 2), each cell
  // the arrow's own size; a value is the cell's origin plus one, because a
  // button shows its picture from one pixel up and left of the origin.
  const QSize cell = l.rects.at("LEFT_ARROW").size();
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < 4; ++i) {
      const bool up = i < 2;
      const std::string key = ArrowOffsetKey(side == 0, up ? 1 : 0, i % 2 + 1);
      const QPoint cellAt(kArrowCellGap + i * (cell.width() + kArrowCellGap),
                          kArrowCellGap + side * (cell.height() + kArrowCellGap));
      l.arrowCells[key] = cellAt + QPoint(1, 1);
    }
  return l;
}

WindowLayout BuildComposite() {
  WindowLayout l;
  l.size = QSize(600, 440);
  Put(l, "CONTROL_TITLE", QRect(20, 12, 300, 28));
  const char* tabs[] = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"};
  for (int i = 0; i < 4; ++i) Put(l, tabs[i], QRect(20 + i * 140, 52, 139, 32));
  Put(l, "CONTROL_MASK", CompositePagePanel());
  Put(l, "CONTROL_CLEAR", QRect(20, 392, 104, 32));
  Put(l, "CONTROL_OSK", QRect(130, 392, 120, 32));
  Put(l, "CONTROL_OK", QRect(370, 392, 102, 32));
  Put(l, "CONTROL_CANCEL", QRect(478, 392, 102, 32));
  // Single-key, media and function pages: one field under the page artwork.
  Put(l, "FUNC_KEY_INPUT", QRect(150, 262, 300, 30));
  Put(l, "FUNC_MEDIA_SELECT", QRect(150, 262, 300, 28));
  Put(l, "FUNC_FUNCTION_SELECT", QRect(150, 262, 300, 28));
  // Macro page.
  Put(l, "FUNC_MACRO_LIST", QRect(100, 100, 256, 28));
  Put(l, "FUNC_MACRO_ADD", QRect(364, 100, 96, 28));
  Put(l, "FUNC_MACRO_DELETE", QRect(468, 100, 96, 28));
  Put(l, "FUNC_MACRO_LIST2", QRect(36, 138, 420, 194));
  const char* moves[] = {"FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM"};
  for (int i = 0; i < 4; ++i) Put(l, moves[i], QRect(468, 138 + i * 32, 96, 28));
  Put(l, "FUNC_MACRO_DELETE2", QRect(468, 270, 96, 28));
  Put(l, "FUNC_MACRO_CLEAR", QRect(468, 302, 96, 28));
  Put(l, "FUNC_MACRO_RECORD", QRect(36, 342, 120, 28));
  Put(l, "FUNC_MACRO_CYCLES_PROMPT", QRect(166, 347, 78, 18));
  Put(l, "FUNC_MACRO_CYCLES", QRect(246, 342, 52, 28));
  Put(l, "FUNC_MACRO_RECORD_DELAY", QRect(312, 347, 18, 18));
  Put(l, "FUNC_MACRO_RECORD_DELAY2", QRect(334, 347, 150, 18));
  return l;
}

WindowLayout BuildProfile() {
  WindowLayout l;
  // The list's three columns are 410 pixels wide together; it shows them whole.
  l.size = QSize(580, 340);
  Put(l, "PROGRAM_LIST", QRect(20, 58, 432, 216));
  Put(l, "FUNC_ADD", QRect(464, 58, 96, 30));
  Put(l, "FUNC_LOAD", QRect(464, 94, 96, 30));
  Put(l, "FUNC_DELETE", QRect(464, 130, 96, 30));
  Put(l, "CONTROL2_APPLY", QRect(248, 292, 100, 30));
  Put(l, "CONTROL_OK", QRect(354, 292, 100, 30));
  Put(l, "CONTROL_CANCEL", QRect(460, 292, 100, 30));
  return l;
}

}  // namespace

QRect WindowLayout::Rect(const std::string& key) const {
  auto it = rects.find(key);
  if (it == rects.end()) throw std::logic_error("not laid out: " + key);
  return it->second;
}

QRect CompositePagePanel() { return QRect(20, 84, 560, 294); }

const MainGeometry& MainShapes() {
  static const MainGeometry g = BuildMainGeometry();
  return g;
}
const WindowLayout& MainLayout() {
  static const WindowLayout l = BuildMain();
  return l;
}
const WindowLayout& CompositeLayout() {
  static const WindowLayout l = BuildComposite();
  return l;
}
const WindowLayout& ProfileLayout() {
  static const WindowLayout l = BuildProfile();
  return l;
}

}  // namespace keyloft::skingen
