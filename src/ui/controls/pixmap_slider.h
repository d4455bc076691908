// A horizontal slider drawn wholly from pictures: a channel picture, which
// the owner may replace at any time (one per value, say), and an optional
// thumb picture. Range, value, steps and the keys are QAbstractSlider's; as a
// track bar, Up and Page Up move toward the minimum. The wheel moves nothing.
//
// The owner hears of moves made by the user through userMoved, never of
// values set by the program; sliderMoved follows every position while the
// mouse button holds the slider.
#pragma once

#include <QAbstractSlider>
#include <QPixmap>

namespace keyloft {

class PixmapSlider : public QAbstractSlider {
  Q_OBJECT

 public:
  explicit PixmapSlider(QWidget* parent = nullptr);

  // Drawn unscaled at the top-left corner. Without a thumb picture only the
  // channel is drawn, which may then show the value itself.
  void setChannelPixmap(const QPixmap& channel);
  const QPixmap& channelPixmap() const { return channel_; }
  // The pressed picture is shown while the mouse holds the slider; a null one
  // means the normal picture. A null normal picture removes the thumb.
  void setThumbPixmaps(const QPixmap& normal, const QPixmap& pressed = {});

  QSize sizeHint() const override;

 signals:
  // The user moved the slider: the mouse button was released after a press,
  // or a key changed the value.
  void userMoved(int value);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int travel() const;  // pixels the thumb's left edge can move
  int valueAtX(int x) const;

  QPixmap channel_;
  QPixmap thumb_;
  QPixmap thumbPressed_;
};

}  // namespace keyloft
