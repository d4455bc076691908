// A button that is one picture: the lighting panel's toggles, arrows and
// tools, whose owner swaps the picture to show the state. Without a picture
// it draws nothing, so a missing skin file leaves a blank, not a crash.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace keyloft {

class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PictureButton(QWidget* parent = nullptr);

  void setPicture(const QPixmap& picture);
  const QPixmap& picture() const { return picture_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

}  // namespace keyloft
