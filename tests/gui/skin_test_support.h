// Small fixtures for skin tests: a temporary skin folder with pictures and a
// layout file written by the test.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

namespace keyloft::testing {

class SkinFolder {
 public:
  std::filesystem::path Path() const { return dir_.path().toStdString(); }
  std::filesystem::path File(const std::string& name) const { return Path() / name; }

  void WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
  }
  void WritePicture(const std::string& name, const QImage& picture) const {
    picture.save(QString::fromStdString(File(name).string()));
  }
  void WriteSolid(const std::string& name, QSize size, QColor colour) const {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    WritePicture(name, picture);
  }

 private:
  QTemporaryDir dir_;
};

// White with a black disc filling the square: a round window's mask.
inline QImage DiscMask(int side) {
  QImage mask(side, side, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter painter(&mask);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawEllipse(0, 0, side, side);
  return mask;
}

// Every pixel tells where it is: red = x, green = y (both below 256).
inline QImage CoordinatePicture(QSize size) {
  QImage picture(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) picture.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, 0x80));
  return picture;
}

}  // namespace keyloft::testing
