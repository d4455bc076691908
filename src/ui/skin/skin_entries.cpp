#include "ui/skin/skin_entries.h"

#include <algorithm>
#include <cstdio>

namespace keyloft {
namespace {

constexpr std::string_view N = kMainNormal, O = kMainOver, D = kMainDown, X = kMainDisable;

// Sets of the main window, in the order normal, over, pressed, disabled, ticked.
constexpr SkinImageNames kMainKeys = {N, O, D, N, X};
constexpr SkinImageNames kMainFlip0 = {N, N, N, N, X};
constexpr SkinImageNames kMainCommands = {N, O, D, N, N};
constexpr SkinImageNames kMainApply = {N, O, D, X, N};
constexpr SkinImageNames kMainLocks = {N, N, N, N, O};
constexpr SkinImageNames kMainLinks = {N, O, X, N, N};
constexpr SkinImageNames kMainVersion = {N, N, N, N, N};
constexpr SkinImageNames kArrows = {kArrowPicture, kArrowPicture, kArrowPicture, kArrowPicture, kArrowPicture};

void Add(std::vector<SkinEntry>& to, Placement placement, const SkinImageNames& pictures,
         std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) to.push_back({std::string(key), placement, pictures});
}

void AddPlain(std::vector<SkinEntry>& to, Placement placement, std::initializer_list<std::string_view> keys) {
  Add(to, placement, SkinImageNames{}, keys);
}

std::vector<SkinEntry> BuildMainEntries() {
  std::vector<SkinEntry> e;
  for (int n = 1; n <= 9; ++n) e.push_back({GKeyButtonKey(n), Placement::ImageButton, kMainKeys});
  for (KeyCode code : kFullSizeKeys) e.push_back({KeyButtonKey(code), Placement::ImageButton, kMainKeys});
  for (int n = 1; n <= 6; ++n) e.push_back({DKeyButtonKey(n), Placement::ImageButton, kMainKeys});
  Add(e, Placement::ImageButton, kMainKeys,
      {"KEY_FN", "FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_DEFAULT", "FUNC_SWITCH", "FUNC_REPORT1",
       "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4", "FLIP_1", "FLIP_2"});
  Add(e, Placement::ImageButton, kMainFlip0, {"FLIP_0"});
  Add(e, Placement::ImageButton, kMainCommands,
      {"FUNC_PROFILES", "FUNC_MACRO", "CONTROL_OK", "CONTROL_CANCEL", "CONTROL_HELP", "CONTROL_CLOSE",
       "CONTROL_MINIMIZE", "CONTROL_MENU"});
  Add(e, Placement::ImageButton, kMainApply, {"CONTROL2_APPLY"});
  Add(e, Placement::ImageButton, kMainLocks, {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"});
  Add(e, Placement::ImageButton, kMainLinks, {"KORVIN_LINK", "KEY_VAVUZE", "KEY_FACEBOOK", "KEY_INSTARGRAM"});
  Add(e, Placement::ImageButton, kMainVersion, {"KORVIN_VER"});
  Add(e, Placement::Arrow, kArrows, {"LEFT_ARROW", "RIGHT_ARROW"});
  AddPlain(e, Placement::Plain, {"COLOR_R", "COLOR_G", "COLOR_B"});
  AddPlain(e, Placement::Plain,
           {"CONTROL_UsbStatic",    "CONTROL_RGBStatic",     "CONTROL_DengStatic",    "CONTROL_DengStaPic",
            "CONTROL_XGcombox",     "CONTROL_DengDisable",   "CONTROL_JDTStatic",     "CONTROL_LightStatic",
            "CONTROL_LightSlider",  "CONTROL_SpeedStatic",   "CONTROL_SpeedSlider",   "CONTROL_BLFXStatic",
            "CONTROL_BLFXLStaPic",  "CONTROL_BLFXRStaPic",   "CONTROL_FYYSStatic",    "CONTROL_FYYSButton",
            "CONTROL_FYSJSStaPic",  "CONTROL_FYSJSStatic",   "CONTROL_FYCFStatic",    "CONTROL_FYdjcfStatic",
            "CONTROL_FYggcfStatc",  "CONTROL_FYdjcfStaPic",  "CONTROL_FYggcfStaPic",  "CONTROL_HONGPIC",
            "CONTROL_HUANGPIC",     "CONTROL_LVPIC",         "CONTROL_LANPIC",        "CONTROL_HXysStatic",
            "CONTROL_HXysButton",   "CONTROL_HXsjsStatic",   "CONTROL_HXsjsStaPic",   "CONTROL_JTysStatic",
            "CONTROL_JTysButton",   "CONTROL_USERysStatic",  "CONTROL_USERysButton",  "CONTROL_USERjsStatic",
            "CONTROL_USERjsButton", "CONTROL_USERgjStatic",  "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2",
            "CONTROL_Color1",       "CONTROL_Color2",        "CONTROL_Color3",        "CONTROL_Color4",
            "CONTROL_Color5",       "CONTROL_Color6",        "CONTROL_Color7",        "CONTROL_Color8",
            "CONTROL_TSysStatic",   "CONTROL_TSysButton",    "CONTROL_TSsjsStatic",   "CONTROL_TSsjsStaPic",
            "CONTROL_CDysStatic",   "CONTROL_CDysButton",    "CONTROL_CDsjsStatic",   "CONTROL_CDsjsStaPic",
            "CONTROL_umCombo"});
  // The direction label and arrows of the other two layouts; the first layout's
  // keys are placed plainly above and moved again as the effect changes.
  AddPlain(e, Placement::Move,
           {"CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2", "CONTROL_BLFXStatic3",
            "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"});
  return e;
}

std::vector<SkinEntry> BuildCompositeEntries() {
  std::vector<SkinEntry> e;
  Add(e, Placement::ImageButton, kKeySet,
      {"CONTROL_MASK", "CONTROL_TITLE", "CONTROL_OSK", "CONTROL_CLEAR", "CONTROL_MEDIA", "CONTROL_MACRO",
       "CONTROL_KEY", "CONTROL_FUNCTION", "CONTROL_OK", "CONTROL_CANCEL"});
  Add(e, Placement::ImageButton, kMacroSet,
      {"FUNC_MACRO_DELETE", "FUNC_MACRO_ADD", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP", "FUNC_MACRO_DOWN",
       "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_RECORD"});
  AddPlain(e, Placement::Plain,
           {"FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_LIST2", "FUNC_MACRO_CYCLES", "FUNC_MACRO_CYCLES_PROMPT",
            "FUNC_MACRO_RECORD_DELAY2", "FUNC_KEY_INPUT", "FUNC_MEDIA_SELECT", "FUNC_MACRO_LIST",
            "FUNC_FUNCTION_SELECT"});
  return e;
}

std::vector<SkinEntry> BuildProfileEntries() {
  std::vector<SkinEntry> e;
  Add(e, Placement::ImageButton, kProfileSet,
      {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY"});
  AddPlain(e, Placement::Plain, {"PROGRAM_LIST"});
  return e;
}

constexpr std::array<std::string_view, 8> kArrowOffsetKeys = {
    "UP_ARROW_LEFT1",  "UP_ARROW_LEFT2",  "DOWN_ARROW_LEFT1",  "DOWN_ARROW_LEFT2",
    "UP_ARROW_RIGHT1", "UP_ARROW_RIGHT2", "DOWN_ARROW_RIGHT1", "DOWN_ARROW_RIGHT2"};

constexpr std::array<std::string_view, 86> kPanelBitmaps = {
    "dengup.bmp",      "dengdown.bmp",     "leftup.bmp",     "leftdown.bmp",     "rightup.bmp",
    "rightdown.bmp",   "upup.bmp",         "updown.bmp",     "downdown.bmp",     "downup.bmp",
    "julong.bmp",      "julongdown.bmp",   "kuosan.bmp",     "kuosandown.bmp",   "hong.bmp",
    "hongok.bmp",      "huang.bmp",        "huangok.bmp",    "lv.bmp",           "lvok.bmp",
    "lan.bmp",         "lanok.bmp",        "sjsup.bmp",      "sjsdown.bmp",      "user1up.bmp",
    "user1down.bmp",   "user2up.bmp",      "user2down.bmp",  "jdt1.bmp",         "jdt2.bmp",
    "jdt3.bmp",        "jdt4.bmp",         "jdt5.bmp",       "jdt6.bmp",         "jdt7.bmp",
    "jdt8.bmp",        "jdt9.bmp",         "jdt10.bmp",      "0.bmp",            "1.bmp",
    "2.bmp",           "3.bmp",            "4.bmp",          "5.bmp",            "6.bmp",
    "7.bmp",           "8.bmp",            "9.bmp",          "10.bmp",           "11.bmp",
    "12.bmp",          "13.bmp",           "14.bmp",         "15.bmp",           "16.bmp",
    "17.bmp",          "18.bmp",           "19.bmp",         "20.bmp",           "21.bmp",
    "22.bmp",          "23.bmp",           "24.bmp",         "25.bmp",           "Color1.bmp",
    "Color2.bmp",      "Color3.bmp",       "Color4.bmp",     "Color5.bmp",       "Color6.bmp",
    "Color7.bmp",      "Color8.bmp",       "brightness.bmp", "speed.bmp",        "color.bmp",
    "direction.bmp",   "led.bmp",          "restore_default_clicked.bmp",        "restore_default_mouseOver.bmp",
    "restore_default_off.bmp",             "LED_enabled_on.bmp",                 "LED_enabled_mouseOver.bmp",
    "LED_enabled_off.bmp",                 "LED_disabled_on.bmp",                "LED_disabled_mouseOver.bmp",
    "LED_disabled_off.bmp"};

constexpr std::array<OverlapAllowance, 1> kOverlaps = {{{"KEY_01C", "KEY_02B"}}};

}  // namespace

std::string KeyButtonKey(KeyCode code) {
  char text[16];
  std::snprintf(text, sizeof text, "KEY_%03X", static_cast<unsigned>(KeyCodeToIndex(code)));
  return text;
}

std::string GKeyButtonKey(int n) { return "FUNC_G" + std::to_string(n); }
std::string DKeyButtonKey(int n) { return "FUNC_D" + std::to_string(n); }

std::string ArrowOffsetKey(bool left, int flip, int number) {
  std::string prefix = std::string(flip == 1 ? "UP_" : "DOWN_") + (left ? "ARROW_LEFT" : "ARROW_RIGHT");
  return prefix + std::to_string(number);
}

const std::vector<SkinEntry>& MainLayoutEntries() {
  static const std::vector<SkinEntry> entries = BuildMainEntries();
  return entries;
}

const std::vector<SkinEntry>& CompositeLayoutEntries() {
  static const std::vector<SkinEntry> entries = BuildCompositeEntries();
  return entries;
}

const std::vector<SkinEntry>& ProfileLayoutEntries() {
  static const std::vector<SkinEntry> entries = BuildProfileEntries();
  return entries;
}

std::span<const std::string_view> ArrowOffsetKeys() { return kArrowOffsetKeys; }

std::span<const std::string_view> LightingPanelBitmaps() {
  return kPanelBitmaps;
}

std::span<const OverlapAllowance> MainOverlapAllowances() { return kOverlaps; }

std::vector<std::string_view> PicturesOf(const std::vector<SkinEntry>& entries) {
  std::vector<std::string_view> names;
  for (const SkinEntry& entry : entries)
    for (std::string_view name : entry.pictures)
      if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  return names;
}

}  // namespace keyloft
