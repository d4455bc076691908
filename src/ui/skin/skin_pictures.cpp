#include "ui/skin/skin_pictures.h"

#include <QImage>
#include <QPainter>

#include "ui/controls/image_button.h"
#include "ui/skin/skin_layout.h"

namespace keyloft {

const QPixmap& SkinPictureCache::Picture(const std::filesystem::path& file, QSize windowSize) {
  std::unique_ptr<Entry>& entry = entries_[file.string()];
  if (entry) return entry->surface;
  entry = std::make_unique<Entry>();
  QImage picture(QString::fromStdString(file.string()));
  entry->failed = picture.isNull();
  QSize size = windowSize + QSize(100, 100);
  if (!picture.isNull()) size = size.expandedTo(picture.size());
  entry->surface = QPixmap(size);
  entry->surface.fill(QColor::fromRgba(kUndrawnSurface));
  if (!picture.isNull()) {
    QPainter painter(&entry->surface);
    painter.drawImage(QPoint(0, 0), picture);
  }
  return entry->surface;
}

bool SkinPictureCache::Failed(const std::filesystem::path& file) const {
  auto found = entries_.find(file.string());
  return found != entries_.end() && found->second->failed;
}

SkinImageSet SkinPictureCache::Set(const SkinLayout& layout, const SkinImageNames& names, QSize windowSize) {
  SkinImageSet set;
  for (size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty()) set.pictures[i] = &Picture(layout.PicturePath(names[i]), windowSize);
  return set;
}

std::map<std::string, ImageButton*> PlaceImageButtons(QWidget& window, const SkinLayout& layout,
                                                      const std::vector<SkinEntry>& entries, SkinPictureCache& cache) {
  std::map<std::string, ImageButton*> buttons;
  for (const SkinEntry& entry : entries) {
    if (entry.placement != Placement::ImageButton) continue;
    auto* b = new ImageButton(&window);
    PlaceImageButton(*b, layout, kButtonSection, entry.key, cache.Set(layout, entry.pictures, window.size()));
    buttons[entry.key] = b;
  }
  return buttons;
}

}  // namespace keyloft
