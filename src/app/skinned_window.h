// What the program's skinned windows share: their image buttons by skin
// key, the texts of the language file, the filter of profile-file dialogs,
// and a skin that cannot be loaded told to the user.
#pragma once

#include <QString>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "ui/controls/image_button.h"
#include "ui/skin/skinned_dialog.h"

namespace keyloft {
class Localisation;
}

namespace keyloft::app {

// The file dialogs' filter for profile files.
inline constexpr char kProfileFileFilter[] = "(*.fwc);;(*.*)";

class SkinnedWindow : public SkinnedDialog {
  Q_OBJECT

 public:
  SkinnedWindow(std::filesystem::path layoutFile, const Localisation& lang, QWidget* parent = nullptr);

  // The image button of a skin key; nothing before the controls are placed.
  ImageButton* button(std::string_view skinKey) const;
  const std::map<std::string, ImageButton*>& buttons() const { return buttons_; }

  // A text of the language file, and a format text with its one argument.
  QString text(std::string_view key) const;
  QString formatted(std::string_view key, const std::string& argument) const;

 protected:
  // Loads the skin; when it cannot be, says why on stderr and in a box
  // titled caption over boxParent, and gives false.
  bool loadSkinOrWarn(QWidget* boxParent, const QString& caption);

  std::map<std::string, ImageButton*> buttons_;

 private:
  const Localisation& lang_;
};

}  // namespace keyloft::app
