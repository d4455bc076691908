// A text label that paints nothing behind its text, so the window's picture
// shows through; white text unless told otherwise.
#pragma once

#include <QColor>
#include <QLabel>

namespace keyloft {

class TransparentLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)

 public:
  explicit TransparentLabel(QWidget* parent = nullptr);

  void setTextColor(QColor color);
  QColor textColor() const { return color_; }
  // Font height in pixels; the face stays.
  void setFontHeight(int pixels);

 private:
  QColor color_ = QColor(0xFF, 0xFF, 0xFF);
};

}  // namespace keyloft
