// Skin layout files: per-window INI files that say where every control sits
// ("x,y,w,h" in window pixels) and which pictures draw the window. Read only;
// a missing file, section or key gives the rectangle (1, 1, 1, 1), which also
// disables an image button so a broken skin shows at once.
#pragma once

#include <QPoint>
#include <QRect>
#include <filesystem>
#include <string>
#include <string_view>

class QWidget;
class QPixmap;

namespace keyloft {

class ImageButton;
struct SkinImageSet;

// What a missing rectangle reads as: the scan below yields (1, 1, 1, 1).
inline constexpr std::string_view kDefaultSkinRect = "1,1,1,1,x";
inline constexpr size_t kSkinRectBufferChars = 260;
inline constexpr size_t kSkinScreenBufferChars = 2047;
// The web address of a link button whose SCREEN key is missing.
// Links lead to the manual installed beside the program until the project has
// a web site of its own: never to an address someone else could hold.
inline constexpr std::string_view kDefaultLink = "Help/index.html";

struct SkinRect {
  int x = 1, y = 1, w = 1, h = 1;
  QRect ToQRect() const { return QRect(x, y, w, h); }
  QPoint Origin() const { return QPoint(x, y); }
  // The placement of a missing entry; image buttons at (1, 1) are disabled.
  bool IsUnplaced() const { return x == 1 && y == 1; }
  friend bool operator==(const SkinRect&, const SkinRect&) = default;
};

// Four decimal integers separated by commas, as "%d,%d,%d,%d" scans them;
// anything after the fourth is ignored. Text that does not give all four
// numbers yields the default rectangle rather than a half-read one.
SkinRect ParseSkinRect(std::string_view text);

class SkinLayout {
 public:
  explicit SkinLayout(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }
  std::filesystem::path Folder() const { return file_.parent_path(); }
  // A picture named by the layout or a window, relative to the layout's folder.
  std::filesystem::path PicturePath(std::string_view name) const { return Folder() / name; }

  SkinRect Rect(std::string_view section, std::string_view key) const;
  // A SCREEN value (2047-character buffer); defaultValue when missing.
  std::string Screen(std::string_view key, std::string_view defaultValue = {}) const;
  // A link button's address, SCREEN key Link, Link1 or Link2 (259 characters at most): a web
  // address, or a file relative to the program folder.
  std::string Link(std::string_view key) const;

 private:
  std::filesystem::path file_;
};

// Moves the button to the rectangle, gives it the pictures with the picture
// origin (x, y) and redraws it; disables it when the entry is unplaced.
void PlaceImageButton(ImageButton& control, const SkinLayout& layout, std::string_view section, std::string_view key,
                      const SkinImageSet& pictures);
// Moves and sizes any control to its rectangle.
void PlaceControl(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key);
// Moves a control to the rectangle's corner, keeping its size.
void MoveControl(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key);
// Places an arrow of the main window: rectangle from BUTTONINFO/key, picture
// origin from BUTTONINFO2/offsetKey, all five looks from the one arrow picture.
void PlaceArrowButton(ImageButton& control, const SkinLayout& layout, std::string_view key, std::string_view offsetKey,
                      const QPixmap* arrowPicture);

}  // namespace keyloft
