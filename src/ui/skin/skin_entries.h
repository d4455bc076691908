// What the three layout files of a skin must carry: every entry, how its
// control is placed, and the pictures an image button draws from. One table
// that the windows, the artwork generator, the preview and the tests all read.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/keyboard_model.h"

namespace keyloft {

inline constexpr std::string_view kSkinFolderName = "Skins";
inline constexpr std::string_view kMainLayoutFile = "Main.ini";
inline constexpr std::string_view kCompositeLayoutFile = "Composite.ini";
inline constexpr std::string_view kProfileLayoutFile = "Profile.ini";

inline constexpr std::string_view kScreenSection = "SCREEN";
inline constexpr std::string_view kButtonSection = "BUTTONINFO";
inline constexpr std::string_view kArrowOffsetSection = "BUTTONINFO2";  // Main.ini only

enum class Placement {
  ImageButton,  // PlaceImageButton: rectangle, picture origin, disabled when missing
  Plain,        // PlaceControl: rectangle only
  Move,         // MoveControl: position only, the size is kept
  Arrow,        // PlaceArrowButton: rectangle, picture origin from BUTTONINFO2
};

// File names of the five pictures of an image button, relative to the skin
// folder: normal, pointer over, pressed, disabled, ticked.
using SkinImageNames = std::array<std::string_view, 5>;

struct SkinEntry {
  std::string key;
  Placement placement = Placement::Plain;
  SkinImageNames pictures{};  // image buttons and arrows only
};

// Main window pictures.
inline constexpr std::string_view kMainNormal = "main_normal.jpg";
inline constexpr std::string_view kMainOver = "main_over.jpg";
inline constexpr std::string_view kMainDown = "main_down.jpg";
inline constexpr std::string_view kMainDisable = "main_disable.jpg";
inline constexpr std::string_view kArrowPicture = "Arrow.jpg";
inline constexpr std::string_view kMainColor0 = "main_color0.jpg";
inline constexpr std::string_view kMainColor1 = "main_color1.jpg";

// Composite key dialog sets.
inline constexpr SkinImageNames kKeySet = {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "key_normal.jpg",
                                           "key_down.jpg"};
inline constexpr SkinImageNames kMacroSet = {"macro_normal.jpg", "macro_over.jpg", "macro_down.jpg",
                                             "macro_disable.jpg", "macro_down.jpg"};
inline constexpr SkinImageNames kMacro2Set = {"macro2_normal.jpg", "macro2_over.jpg", "macro2_down.jpg",
                                              "macro2_disable.jpg", "macro2_down.jpg"};
inline constexpr SkinImageNames kMediaSet = {"media_normal.jpg", "media_over.jpg", "media_down.jpg",
                                             "media_normal.jpg", "media_normal.jpg"};
inline constexpr SkinImageNames kFunctionSet = {"function_normal.jpg", "function_over.jpg", "function_down.jpg",
                                                "function_normal.jpg", "function_normal.jpg"};
// The key set as the mask control wears it: its ticked slot is its normal picture.
inline constexpr SkinImageNames kKeyMaskSet = {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "key_normal.jpg",
                                               "key_normal.jpg"};
inline constexpr SkinImageNames kMacroMaskSet = {"macro_normal.jpg", "macro_over.jpg", "macro_down.jpg",
                                                 "macro_disable.jpg", "macro_normal.jpg"};

// Profile manager set.
inline constexpr SkinImageNames kProfileSet = {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg",
                                               "Profile_down.jpg", "Profile_normal.jpg"};

// The key of a keyboard key's button: "KEY_%03X" of its table index.
std::string KeyButtonKey(KeyCode code);
// "FUNC_G%d", n = 1..9.
std::string GKeyButtonKey(int n);
// The alternative keys D1..D6 that Flip enables: "FUNC_D%d", n = 1..6.
std::string DKeyButtonKey(int n);
// The BUTTONINFO2 key of an arrow's picture origin: "UP_"/"DOWN_" by flip (1/0),
// "ARROW_LEFT"/"ARROW_RIGHT", then the number 1 or 2.
std::string ArrowOffsetKey(bool left, int flip, int number);

// Every BUTTONINFO entry of each layout file, in the order the windows place them.
const std::vector<SkinEntry>& MainLayoutEntries();
const std::vector<SkinEntry>& CompositeLayoutEntries();
const std::vector<SkinEntry>& ProfileLayoutEntries();
// The BUTTONINFO2 keys of Main.ini.
std::span<const std::string_view> ArrowOffsetKeys();

// The lighting panel's bitmaps, loaded from the skin folder at start-up.
std::span<const std::string_view> LightingPanelBitmaps();
// The main window's key buttons whose rectangles may overlap: the L-shaped
// Enter covers a corner of the key beside it.
struct OverlapAllowance {
  std::string_view first;
  std::string_view second;
};
std::span<const OverlapAllowance> MainOverlapAllowances();

// Every picture a layout's entries name (each once, in first-use order).
std::vector<std::string_view> PicturesOf(const std::vector<SkinEntry>& entries);

}  // namespace keyloft
