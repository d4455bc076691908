// A horizontal slider drawn wholly from pictures: a channel picture, which
// the owner may replace at any time (one per position, say), and an optional
// thumb picture. It tells its owner of moves made by the user, never of
// positions set by the program.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace keyloft {

class CBitmapSlider : public QWidget {
  Q_OBJECT

 public:
  explicit CBitmapSlider(int id = 0, QWidget* parent = nullptr);

  int GetId() const { return id_; }
  void SetId(int id) { id_ = id; }

  // Drawn unscaled at the top-left corner. Without a thumb picture only the
  // channel is drawn, which may then show the position itself.
  void SetBitmapChannel(const QPixmap& channel);
  // The pressed picture is shown while the mouse holds the thumb; a null one
  // means the normal picture. A null normal picture removes the thumb.
  void SetBitmapThumb(const QPixmap& normal, const QPixmap& pressed = {});

  // Reversed bounds are swapped; the position is clamped into the new range.
  void SetRange(int min, int max);
  int GetRangeMin() const { return min_; }
  int GetRangeMax() const { return max_; }
  void SetPageSize(int size);  // the step of Page Up and Page Down, at least 1
  int GetPageSize() const { return pageSize_; }
  // Clamped to the range. Tells nobody: the program knows what it set.
  void SetPos(int pos);
  int GetPos() const { return pos_; }

  QSize sizeHint() const override;

 signals:
  // Every change while the mouse button holds the slider.
  void moving(int id, int pos);
  // The user moved the slider: the mouse button was released after a press,
  // or a key moved it.
  void moved(int id, int pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int Travel() const;  // pixels the thumb's left edge can move
  int PosAtX(int x) const;
  void MoveByMouse(int x);

  int id_;
  QPixmap channel_;
  QPixmap thumb_;
  QPixmap thumbPressed_;
  int min_ = 0;
  int max_ = 100;
  int pageSize_ = 1;
  int pos_ = 0;
  bool pressed_ = false;
};

}  // namespace keyloft
