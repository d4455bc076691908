#include "ui/skin/skin_layout.h"

#include <QWidget>
#include <cctype>
#include <climits>

#include "util/ini_file.h"
#include "ui/controls/image_button.h"
#include "ui/skin/skin_entries.h"

namespace keyloft {
namespace {

// One "%d": blanks, an optional sign, at least one digit. Saturates like ScanInt.
bool ScanNumber(std::string_view text, size_t& at, int& out) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  size_t digitsFrom = at;
  long long value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    if (value <= INT_MAX) value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (at == digitsFrom) return false;
  if (negative) value = -value;
  out = static_cast<int>(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
  return true;
}

}  // namespace

SkinRect ParseSkinRect(std::string_view text) {
  int numbers[4];
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != ',') return SkinRect{};
      ++at;
    }
    if (!ScanNumber(text, at, numbers[i])) return SkinRect{};
  }
  return SkinRect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

SkinLayout::SkinLayout(std::filesystem::path file) : file_(std::move(file)) {}

SkinRect SkinLayout::Rect(std::string_view section, std::string_view key) const {
  return ParseSkinRect(ReadIniString(file_, section, key, kDefaultSkinRect, kSkinRectBufferChars));
}

std::string SkinLayout::Screen(std::string_view key, std::string_view defaultValue) const {
  return ReadIniString(file_, kScreenSection, key, defaultValue, kSkinScreenBufferChars);
}

std::string SkinLayout::Link(std::string_view key) const {
  return ReadIniString(file_, kScreenSection, key, kDefaultLink, kSkinRectBufferChars);
}

void PlaceImageButton(ImageButton& control, const SkinLayout& layout, std::string_view section, std::string_view key,
                      const SkinImageSet& pictures) {
  SkinRect rect = layout.Rect(section, key);
  control.setGeometry(rect.ToQRect());
  control.setSkin(rect.Origin(), pictures);
  if (rect.IsUnplaced()) control.setEnabled(false);
}

void PlaceControl(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key) {
  control.setGeometry(layout.Rect(section, key).ToQRect());
}

void MoveControl(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key) {
  control.move(layout.Rect(section, key).Origin());
  control.update();
}

void PlaceArrowButton(ImageButton& control, const SkinLayout& layout, std::string_view key, std::string_view offsetKey,
                      const QPixmap* arrowPicture) {
  control.setGeometry(layout.Rect(kButtonSection, key).ToQRect());
  SkinRect offset = layout.Rect(kArrowOffsetSection, offsetKey);
  SkinImageSet arrows;
  arrows.pictures.fill(arrowPicture);
  control.setSkin(offset.Origin(), arrows);
}

}  // namespace keyloft
