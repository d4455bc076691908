#include "app/help.h"

#include <QDesktopServices>
#include <QMessageBox>

#include "store/settings.h"

namespace keyloft::app {
namespace {

namespace fs = std::filesystem;

void Tell(QWidget* parent, const Localisation& lang, std::string_view problem, const std::string& subject) {
  QMessageBox::information(parent, QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
                           QString::fromStdString(lang.FormatTextOf(problem, subject)));
}

bool OpenFile(const fs::path& file, const Localisation& lang, QWidget* parent) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    Tell(parent, lang, "MAIN_HELP_MISSING", file.string());
    return false;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())))) {
    Tell(parent, lang, "MAIN_LINK_FAILED", file.string());
    return false;
  }
  return true;
}

}  // namespace

fs::path ManualPath(const fs::path& programFolder) { return programFolder / "Help" / "index.html"; }

bool OpenManual(const fs::path& programFolder, const Localisation& lang, QWidget* parent) {
  return OpenFile(ManualPath(programFolder), lang, parent);
}

std::optional<LinkTarget> ResolveLink(std::string_view address, const fs::path& programFolder) {
  const QString text = QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())).trimmed();
  if (text.isEmpty()) return std::nullopt;
  const QUrl url(text, QUrl::StrictMode);
  if (url.isValid() && !url.scheme().isEmpty()) {
    const QString scheme = url.scheme().toLower();
    if ((scheme == "http" || scheme == "https") && !url.host().isEmpty()) return LinkTarget{url, {}};
    return std::nullopt;
  }
  const fs::path relative = fs::path(text.toStdString()).lexically_normal();
  if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") return std::nullopt;
  return LinkTarget{{}, programFolder / relative};
}

bool OpenFolder(const fs::path& folder, const Localisation& lang, QWidget* parent) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())))) {
    Tell(parent, lang, "MAIN_LINK_FAILED", folder.string());
    return false;
  }
  return true;
}

bool OpenLink(std::string_view address, const fs::path& programFolder, const Localisation& lang, QWidget* parent) {
  const std::optional<LinkTarget> target = ResolveLink(address, programFolder);
  if (!target) {
    Tell(parent, lang, "MAIN_LINK_REFUSED", std::string(address));
    return false;
  }
  if (!target->file.empty()) return OpenFile(target->file, lang, parent);
  if (!QDesktopServices::openUrl(target->web)) {
    Tell(parent, lang, "MAIN_LINK_FAILED", std::string(address));
    return false;
  }
  return true;
}

}  // namespace keyloft::app
