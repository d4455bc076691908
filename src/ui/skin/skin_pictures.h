// State pictures, decoded once per process and kept: every window and every
// opening of a dialog draws its image buttons from the same surfaces.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QWidget>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/skin/skin_entries.h"

namespace keyloft {

class ImageButton;

class SkinLayout;

// The five pictures of an image button: normal, pointer over, pressed,
// disabled, ticked. Pointers into a SkinPictureCache, never owned.
struct SkinImageSet {
  std::array<const QPixmap*, 5> pictures{};
};

// What a surface shows when its picture file could not be decoded: a flat,
// quiet colour instead of garbage, so a broken skin is plain to see.
inline constexpr QRgb kUndrawnSurface = 0xFF2B2F36;

// The program keeps one cache, made after the QApplication and destroyed before
// it, and lends it to every window: buttons hold pointers into it.
class SkinPictureCache {
 public:
  // The surface of a picture file, made on first use: (window width + 100) x
  // (window height + 100), or the picture's size when larger, with the picture
  // drawn unscaled at (0, 0). Later calls return the same surface whatever size
  // they pass. The reference stays valid as long as the cache.
  const QPixmap& Picture(const std::filesystem::path& file, QSize windowSize);
  // Whether the file behind a surface failed to decode.
  bool Failed(const std::filesystem::path& file) const;
  // A set of pictures named relative to the layout's folder.
  SkinImageSet Set(const SkinLayout& layout, const SkinImageNames& names, QSize windowSize);

 private:
  struct Entry {
    QPixmap surface;
    bool failed = false;
  };
  std::map<std::string, std::unique_ptr<Entry>> entries_;
};

// Every image button among entries, made as a child of window, placed from
// the layout's button section and given its pictures from cache; by skin key.
std::map<std::string, ImageButton*> PlaceImageButtons(QWidget& window, const SkinLayout& layout,
                                                      const std::vector<SkinEntry>& entries, SkinPictureCache& cache);

}  // namespace keyloft
