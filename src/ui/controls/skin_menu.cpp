#include "ui/controls/skin_menu.h"

namespace keyloft {

namespace {
constexpr const char* kKeyProperty = "textKey";
}

CSkinMenu::CSkinMenu(std::span<const SkinMenuItem> items, QWidget* parent) : QMenu(parent) {
  for (const SkinMenuItem& item : items) {
    if (item.command == 0) {
      addSeparator();
      continue;
    }
    QAction* action = addAction(QString::fromUtf8(item.caption.data(), qsizetype(item.caption.size())));
    action->setData(item.command);
    action->setProperty(kKeyProperty, QString::fromUtf8(item.textKey.data(), qsizetype(item.textKey.size())));
  }
  connect(this, &QMenu::aboutToShow, this, &CSkinMenu::Retitle);
  connect(this, &QMenu::triggered, this, [this](QAction* action) { emit commandChosen(action->data().toInt()); });
}

void CSkinMenu::Retitle() {
  if (!lookup_) return;
  for (QAction* action : actions()) {
    const QByteArray key = action->property(kKeyProperty).toString().toUtf8();
    if (key.isEmpty()) continue;
    action->setText(QString::fromStdString(lookup_(std::string_view(key.constData(), size_t(key.size())))));
  }
}

QAction* CSkinMenu::ItemAction(int command) const {
  if (command == 0) return nullptr;
  for (QAction* action : actions())
    if (!action->isSeparator() && action->data().toInt() == command) return action;
  return nullptr;
}

void CSkinMenu::SetDefaultItem(int command) {
  QAction* chosen = ItemAction(command);
  for (QAction* action : actions()) {
    QFont f = action->font();
    f.setBold(action == chosen);
    action->setFont(f);
  }
  setDefaultAction(chosen);
}

void CSkinMenu::SetItemEnabled(int command, bool enabled) {
  if (QAction* action = ItemAction(command)) action->setEnabled(enabled);
}

int CSkinMenu::Exec(const QPoint& globalPos) {
  const QAction* chosen = exec(globalPos);
  return chosen ? chosen->data().toInt() : 0;
}

}  // namespace keyloft
