#include "ui/controls/color_static.h"

namespace keyloft {

ColorStatic::ColorStatic(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  SetTextColour(colour_);
}

void ColorStatic::SetTextColour(QColor colour) {
  colour_ = colour;
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  setPalette(palette);
  repaint();
}

void ColorStatic::SetFontHeight(int pixels) {
  QFont font = this->font();
  font.setPixelSize(std::max(1, pixels));
  setFont(font);
  repaint();
}

}  // namespace keyloft
