#include "ui/skin/skin_pictures.h"

#include <QImage>
#include <QPainter>

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

}  // namespace keyloft
