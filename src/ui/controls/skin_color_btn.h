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

class CSkinColorBtn : public QAbstractButton {
  Q_OBJECT

 public:
  // Asks for a free colour starting from the given one; an invalid colour
  // means the user gave up.
  using ColourDialog = std::function<QColor(const QColor& initial, QWidget* parent)>;

  explicit CSkinColorBtn(QWidget* parent = nullptr);

  // Shows the colour; leaves the automatic setting.
  void SetColor(const QColor& colour);
  // The colour shown: the automatic colour while automatic is on.
  QColor GetColor() const;
  bool IsAutomatic() const { return automatic_; }
  void SetAutomatic(bool on);
  void SetAutomaticColor(const QColor& colour);
  QColor GetAutomaticColor() const { return automaticColour_; }

  // The owner passes its language's texts; both entries are on by default.
  void EnableAutomaticButton(const QString& text, bool enable = true);
  void EnableOtherButton(const QString& text, bool enable = true);
  // Replaces QColorDialog for the "other" entry (tests, or a skinned dialog).
  void SetColourDialog(ColourDialog dialog) { dialog_ = std::move(dialog); }

  // Opens the palette below the button; a click does the same.
  void ShowPopup();
  // The open palette, or null.
  QFrame* Popup() const { return popup_; }

  QSize sizeHint() const override;

 signals:
  // The user chose a colour, or automatic (then the automatic colour).
  void colourChosen(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Choose(const QColor& colour, bool automatic);
  void ChooseOther();

  QColor colour_{Qt::white};
  QColor automaticColour_{Qt::black};
  bool automatic_ = false;
  QString automaticText_;
  QString otherText_;
  bool automaticEnabled_ = true;
  bool otherEnabled_ = true;
  ColourDialog dialog_;
  QPointer<QFrame> popup_;
};

}  // namespace keyloft
