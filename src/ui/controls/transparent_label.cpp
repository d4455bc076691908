#include "ui/controls/transparent_label.h"

namespace keyloft {

TransparentLabel::TransparentLabel(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  setTextColor(color_);
}

void TransparentLabel::setTextColor(QColor color) {
  color_ = color;
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::Text, color);
  setPalette(palette);
}

void TransparentLabel::setFontHeight(int pixels) {
  QFont font = this->font();
  font.setPixelSize(std::max(1, pixels));
  setFont(font);
}

}  // namespace keyloft
