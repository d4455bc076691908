#include "ui/skin/skin_style.h"

namespace keyloft {

const SkinPalette& DefaultSkinPalette() {
  static const SkinPalette palette;
  return palette;
}

QString SkinControlStyle(const SkinPalette& p) {
  auto c = [](const QColor& colour) { return colour.name(); };
  return QStringLiteral(R"(
QComboBox, QLineEdit, QSpinBox {
  background: %1; color: %4; border: 1px solid %3; border-radius: 4px; padding: 1px 6px;
  selection-background-color: %6; selection-color: %7;
}
QComboBox:focus, QLineEdit:focus { border-color: %6; }
QComboBox:disabled, QLineEdit:disabled { color: %5; }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox::down-arrow { width: 0; height: 0; border-left: 4px solid transparent; border-right: 4px solid transparent;
  border-top: 5px solid %4; }
QComboBox QAbstractItemView { background: %2; color: %4; border: 1px solid %3;
  selection-background-color: %6; selection-color: %7; outline: none; }
QTableWidget, QTreeWidget, QListWidget {
  background: %1; alternate-background-color: %2; color: %4; gridline-color: %3; border: 1px solid %3;
  selection-background-color: %6; selection-color: %7; outline: none;
}
QHeaderView::section { background: %2; color: %5; border: none; border-right: 1px solid %3;
  border-bottom: 1px solid %3; padding: 2px 6px; }
QTableCornerButton::section { background: %2; border: none; }
QCheckBox { color: %4; spacing: 6px; background: transparent; }
QCheckBox::indicator { width: 13px; height: 13px; border: 1px solid %3; border-radius: 3px; background: %1; }
QCheckBox::indicator:checked { background: %6; border-color: %6; }
QTableWidget::indicator { width: 13px; height: 13px; border: 1px solid %3; border-radius: 3px; background: %1; }
QTableWidget::indicator:checked { background: %6; border-color: %6; }
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
