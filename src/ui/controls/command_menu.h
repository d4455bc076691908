// Pop-up menus of commands whose texts come from the language file. Every
// command is a QAction of the menu: the owner connects its triggered signal,
// enables it, or compares it with what exec() returns. Each action carries
// the text key that retitles it just before the menu is shown, so a language
// change needs no rebuilding.
#pragma once

#include <QMenu>

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace keyloft {

struct MenuEntry {
  int command = 0;               // 0: a separator
  std::string_view textKey;      // empty: the caption stays
  std::string_view caption;      // UTF-8; shown until a lookup retitles it
};

class CommandMenu : public QMenu {
  Q_OBJECT

 public:
  // A language text by key, UTF-8.
  using TextLookup = std::function<std::string(std::string_view key)>;

  explicit CommandMenu(std::span<const MenuEntry> entries, QWidget* parent = nullptr);

  void setTextLookup(TextLookup lookup) { lookup_ = std::move(lookup); }
  // Retitles every action that has a key; also done before every showing.
  void retitle();
  // The action of a command (its data is the command); null when the menu has none.
  QAction* commandAction(int command) const;
  // Makes the command's action the default one, the only one drawn in bold.
  void setDefaultCommand(int command);

 private:
  TextLookup lookup_;
};

}  // namespace keyloft
