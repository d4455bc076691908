#include "app/help.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "store/settings.h"

namespace keyloft::app {

std::filesystem::path ManualPath(const std::filesystem::path& programFolder) {
  return programFolder / "Help" / "index.html";
}

bool OpenManual(const std::filesystem::path& programFolder, const Localisation& lang, QWidget* parent) {
  const std::filesystem::path manual = ManualPath(programFolder);
  std::error_code ec;
  std::string_view problem;
  if (!std::filesystem::is_regular_file(manual, ec)) {
    problem = "MAIN_HELP_MISSING";
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(manual.string())))) {
    problem = "MAIN_LINK_FAILED";
  } else {
    return true;
  }
  QMessageBox::information(parent, QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
                           QString::fromStdString(lang.FormatTextOf(problem, manual.string())));
  return false;
}

}  // namespace keyloft::app
