// A text label that paints nothing behind its text, so the window's picture
// shows through; white text unless told otherwise.
#pragma once

#include <QColor>
#include <QLabel>

namespace keyloft {

class ColorStatic : public QLabel {
  Q_OBJECT

 public:
  explicit ColorStatic(QWidget* parent = nullptr);

  void SetTextColour(QColor colour);
  QColor TextColour() const { return colour_; }
  // Font height in pixels; the face stays.
  void SetFontHeight(int pixels);

 private:
  QColor colour_ = QColor(0xFF, 0xFF, 0xFF);
};

}  // namespace keyloft
