#include "app/skinned_window.h"

#include <QMessageBox>
#include <cstdio>

#include "lang/localisation.h"

namespace keyloft::app {

SkinnedWindow::SkinnedWindow(std::filesystem::path layoutFile, const Localisation& lang, QWidget* parent)
    : SkinnedDialog(std::move(layoutFile), parent), lang_(lang) {}

ImageButton* SkinnedWindow::button(std::string_view skinKey) const {
  auto it = buttons_.find(std::string(skinKey));
  return it == buttons_.end() ? nullptr : it->second;
}

QString SkinnedWindow::text(std::string_view key) const { return QString::fromStdString(lang_.GetText(key)); }

QString SkinnedWindow::formatted(std::string_view key, const std::string& argument) const {
  return QString::fromStdString(lang_.FormatTextOf(key, argument));
}

bool SkinnedWindow::loadSkinOrWarn(QWidget* boxParent, const QString& caption) {
  const std::optional<SkinLoadError> error = loadSkin();
  if (!error) return true;
  std::fprintf(stderr, "keyloft: %s\n", error->Message().c_str());
  QMessageBox::warning(boxParent, caption, QString::fromStdString(error->Message()));
  return false;
}

}  // namespace keyloft::app
