#include "ui/controls/command_menu.h"

namespace keyloft {

namespace {
constexpr const char* kKeyProperty = "textKey";
}

CommandMenu::CommandMenu(std::span<const MenuEntry> entries, QWidget* parent) : QMenu(parent) {
  for (const MenuEntry& entry : entries) {
    if (entry.command == 0) {
      addSeparator();
      continue;
    }
    QAction* action = addAction(QString::fromUtf8(entry.caption.data(), qsizetype(entry.caption.size())));
    action->setData(entry.command);
    action->setProperty(kKeyProperty, QString::fromUtf8(entry.textKey.data(), qsizetype(entry.textKey.size())));
  }
  connect(this, &QMenu::aboutToShow, this, &CommandMenu::retitle);
}

void CommandMenu::retitle() {
  if (!lookup_) return;
  for (QAction* action : actions()) {
    const QByteArray key = action->property(kKeyProperty).toString().toUtf8();
    if (key.isEmpty()) continue;
    action->setText(QString::fromStdString(lookup_(std::string_view(key.constData(), size_t(key.size())))));
  }
}

QAction* CommandMenu::commandAction(int command) const {
  if (command == 0) return nullptr;
  for (QAction* action : actions())
    if (!action->isSeparator() && action->data().toInt() == command) return action;
  return nullptr;
}

void CommandMenu::setDefaultCommand(int command) {
  QAction* chosen = commandAction(command);
  for (QAction* action : actions()) {
    QFont f = action->font();
    f.setBold(action == chosen);
    action->setFont(f);
  }
  setDefaultAction(chosen);
}

}  // namespace keyloft
