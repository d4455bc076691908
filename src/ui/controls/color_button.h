// The colour-picker button of the lighting panel: a face of a colour swatch
// and a grey drop-down strip; a click opens a small palette with an
// "automatic" entry, common colours and an "other" entry for a free colour.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPointer>

#include <functional>

class QFrame;

namespace keyloft {

class ColorButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(bool automatic READ isAutomatic WRITE setAutomatic)
  Q_PROPERTY(QColor automaticColor READ automaticColor WRITE setAutomaticColor)

 public:
  // Asks for a free colour starting from the given one; an invalid colour
  // means the user gave up.
  using ColorDialog = std::function<QColor(const QColor& initial, QWidget* parent)>;

  explicit ColorButton(QWidget* parent = nullptr);

  // Shows the colour; leaves the automatic setting.
  void setColor(const QColor& color);
  // The colour shown: the automatic colour while automatic is on.
  QColor color() const;
  bool isAutomatic() const { return automatic_; }
  void setAutomatic(bool on);
  void setAutomaticColor(const QColor& color);
  QColor automaticColor() const { return automaticColor_; }

  // The owner passes its language's texts; both entries are shown by default.
  void setAutomaticEntry(const QString& text, bool shown = true);
  void setOtherEntry(const QString& text, bool shown = true);
  // Replaces QColorDialog for the "other" entry (tests, or a skinned dialog).
  void setColorDialog(ColorDialog dialog) { dialog_ = std::move(dialog); }

  // Opens the palette below the button; a click does the same.
  void showPopup();
  // The open palette, or null.
  QFrame* popup() const { return popup_; }

  QSize sizeHint() const override;

 signals:
  // The user chose a colour, or automatic (then the automatic colour).
  void colorChosen(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void choose(const QColor& color, bool automatic);
  void chooseOther();

  QColor color_{Qt::white};
  QColor automaticColor_{Qt::black};
  bool automatic_ = false;
  QString automaticText_;
  QString otherText_;
  bool automaticShown_ = true;
  bool otherShown_ = true;
  ColorDialog dialog_;
  QPointer<QFrame> popup_;
};

}  // namespace keyloft
