#include "ui/skin/skin_style.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

namespace keyloft {

const SkinPalette& DefaultSkinPalette() {
  static const SkinPalette palette;
  return palette;
}

QPalette SkinQtPalette(const SkinPalette& p) {
  QPalette palette;
  palette.setColor(QPalette::Window, p.raised);
  palette.setColor(QPalette::WindowText, p.text);
  palette.setColor(QPalette::Base, p.base);
  palette.setColor(QPalette::AlternateBase, p.raised);
  palette.setColor(QPalette::Text, p.text);
  palette.setColor(QPalette::Button, p.raised);
  palette.setColor(QPalette::ButtonText, p.text);
  palette.setColor(QPalette::Light, p.border);
  palette.setColor(QPalette::Midlight, p.border);
  palette.setColor(QPalette::Mid, p.border);
  palette.setColor(QPalette::Dark, p.base);
  palette.setColor(QPalette::Shadow, Qt::black);
  palette.setColor(QPalette::Highlight, p.accent);
  palette.setColor(QPalette::HighlightedText, p.accentText);
  palette.setColor(QPalette::ToolTipBase, p.raised);
  palette.setColor(QPalette::ToolTipText, p.text);
  palette.setColor(QPalette::PlaceholderText, p.dimText);
  palette.setColor(QPalette::Link, p.accent);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, p.dimText);
  return palette;
}

namespace {

// Fusion draws every standard control from the palette, so it follows the skin;
// tooltips come up after 300 ms, as the image buttons ask.
class SkinProxyStyle : public QProxyStyle {
 public:
  SkinProxyStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kTooltipDelayMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

void ApplySkinStyle(QApplication& app) {
  app.setStyle(new SkinProxyStyle);
  app.setPalette(SkinQtPalette());
  app.setStyleSheet(SkinControlStyle());
}

QString SkinControlStyle(const SkinPalette& p) {
  auto c = [](const QColor& color) { return color.name(); };
  return QStringLiteral(R"(
QComboBox, QLineEdit, QSpinBox {
  background: %1; color: %4; border: 1px solid %3; border-radius: 4px; padding: 1px 6px;
  selection-background-color: %6; selection-color: %7;
}
QComboBox:focus, QLineEdit:focus { border-color: %6; }
QComboBox:disabled, QLineEdit:disabled { color: %5; }
QComboBox QAbstractItemView { background: %2; color: %4; border: 1px solid %3;
  selection-background-color: %6; selection-color: %7; outline: none; }
QTableView, QTreeWidget, QListWidget {
  background: %1; alternate-background-color: %2; color: %4; gridline-color: %3; border: 1px solid %3;
  selection-background-color: %6; selection-color: %7; outline: none;
}
QHeaderView { background: %2; }
QHeaderView::section { background: %2; color: %5; border: none; border-right: 1px solid %3;
  border-bottom: 1px solid %3; padding: 2px 6px; }
QTableCornerButton::section { background: %2; border: none; }
QCheckBox { color: %4; spacing: 6px; background: transparent; }
QCheckBox::indicator { width: 13px; height: 13px; border: 1px solid %3; border-radius: 3px; background: %1; }
QCheckBox::indicator:checked { background: %6; border-color: %6; }
QTableView::indicator { width: 13px; height: 13px; border: 1px solid %3; border-radius: 3px; background: %1; }
QTableView::indicator:checked { background: %6; border-color: %6; }
QScrollBar:vertical { background: %1; width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: %3; border-radius: 4px; min-height: 20px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
QMenu { background: %2; color: %4; border: 1px solid %3; padding: 4px; }
QMenu::item { padding: 4px 18px; border-radius: 3px; }
QMenu::item:selected { background: %6; color: %7; }
QMenu::separator { height: 1px; background: %3; margin: 4px 6px; }
QToolTip { background: %2; color: %4; border: 1px solid %3; padding: 3px; }
)")
      .arg(c(p.base), c(p.raised), c(p.border), c(p.text), c(p.dimText), c(p.accent), c(p.accentText));
}

}  // namespace keyloft
