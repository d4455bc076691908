// Pop-up menus whose item texts come from the language file: each item
// names its command and the text key that retitles it just before the menu
// is shown, so a language change needs no rebuilding.
#pragma once

#include <QMenu>

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace keyloft {

struct SkinMenuItem {
  int command = 0;               // 0: a separator
  std::string_view textKey;      // empty: the caption stays
  std::string_view caption;      // UTF-8; shown until a lookup retitles it
};

class CSkinMenu : public QMenu {
  Q_OBJECT

 public:
  // A language text by key, UTF-8.
  using TextLookup = std::function<std::string(std::string_view key)>;

  explicit CSkinMenu(std::span<const SkinMenuItem> items, QWidget* parent = nullptr);

  void SetTextLookup(TextLookup lookup) { lookup_ = std::move(lookup); }
  // Retitles every item that has a key; also done before every showing.
  void Retitle();
  // The default item is drawn in bold.
  void SetDefaultItem(int command);
  void SetItemEnabled(int command, bool enabled);
  QAction* ItemAction(int command) const;  // null when the menu has no such item

  // Shows the menu at a screen point until it closes: the chosen command, or
  // 0 when the menu was dismissed.
  int Exec(const QPoint& globalPos);

 signals:
  void commandChosen(int command);

 private:
  TextLookup lookup_;
};

}  // namespace keyloft
