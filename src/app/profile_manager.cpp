#include "app/profile_manager.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <cstdio>

#include "store/profile_file.h"
#include "store/settings.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::app {
namespace {

enum Column { kTickColumn, kNameColumn, kFolderColumn };

QString Folder(const std::filesystem::path& file) {
  std::string folder = file.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return QString::fromStdString(folder);
}

}  // namespace

ProfileManagerDialog::ProfileManagerDialog(KeyloftCore& core, SequenceRunner& runner, DesktopPorts& ports,
                                           SkinPictureCache& cache, const std::filesystem::path& programFolder,
                                           QWidget* parent)
    : SkinnedWindow(programFolder / kSkinFolderName / kProfileLayoutFile, core.Lang(), parent),
      core_(core),
      runner_(runner),
      ports_(ports),
      cache_(cache) {
  setWindowTitle(text("PROFILE_TIP"));
  setModal(true);
}

QString ProfileManagerDialog::textOr(std::string_view key, const QString& fixed) const {
  const std::string language = core_.Lang().GetText(key);
  return language.empty() || language == kMissingText ? fixed : QString::fromStdString(language);
}

void ProfileManagerDialog::placeControls() {
  if (list_) return;  // placed at the first opening, kept for the later ones
  const SkinLayout& layout = skinLayout();
  buttons_ = PlaceImageButtons(*this, layout, ProfileLayoutEntries(), cache_);
  list_ = new ReportList(this);
  PlaceControl(*list_, layout, kButtonSection, "PROGRAM_LIST");
  // The list's own captions, in the user's language where the language file
  // has them: without a CJK font the fixed ones show as empty boxes.
  list_->addColumn(textOr("PROFILE_COLUMN_ACTIVE", QStringLiteral("激活")), 60);
  list_->addColumn(textOr("PROFILE_COLUMN_NAME", QStringLiteral("名称")), 120);
  list_->addColumn(textOr("PROFILE_COLUMN_FOLDER", QStringLiteral("路径")), 230);
  list_->setShowGrid(true);
  list_->horizontalHeader()->setSectionsClickable(false);
  ReportModel& rows = list_->reportModel();
  rows.setCheckable(true);
  rows.setSingleCheck(true);
  connect(&rows, &ReportModel::checkChanged, this, [this] { markChanged(); });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ProfileManagerDialog::selectionChanged);
  connect(button("FUNC_ADD"), &QAbstractButton::clicked, this, &ProfileManagerDialog::add);
  connect(button("FUNC_LOAD"), &QAbstractButton::clicked, this, &ProfileManagerDialog::load);
  connect(button("FUNC_DELETE"), &QAbstractButton::clicked, this, &ProfileManagerDialog::remove);
  connect(button("CONTROL2_APPLY"), &QAbstractButton::clicked, this, &ProfileManagerDialog::applyChanges);
  connect(button("CONTROL_OK"), &QAbstractButton::clicked, this, [this] {
    // Nothing changed here: nothing to write, and nothing read over the edits.
    if (pending_) applyChanges();
    finish(QDialog::Accepted);
  });
  connect(button("CONTROL_CANCEL"), &QAbstractButton::clicked, this, [this] { finish(QDialog::Rejected); });
}

void ProfileManagerDialog::run() {
  if (!loadSkinOrWarn(parentWidget(), text("PROFILE_TIP"))) return;
  placeControls();
  fill();
  open_ = true;
  ports_.setProfileManagerOpen(true);
  exec();
  open_ = false;
  ports_.setProfileManagerOpen(false);
}

void ProfileManagerDialog::fill() {
  ReportModel& rows = list_->reportModel();
  while (rows.rowCount() > 0) rows.removeRow(0);
  for (int r = 0; r < core_.Model().profileCount; ++r) appendOnboardRow(r);
  // The files kept from last time, after the keyboard's own rows.
  const std::vector<std::string> kept = core_.AppSettings().ReadProfileList();
  for (size_t r = static_cast<size_t>(core_.Model().profileCount); r < kept.size(); ++r) {
    if (!kept[r].empty()) appendFile(kept[r]);
  }
  const int active = core_.Device().activeProfileCache;
  if (active >= 0 && active < core_.Model().profileCount) rows.setChecked(active, true);
  selectionChanged();
  clearChanged();
}

void ProfileManagerDialog::appendOnboardRow(int profile) {
  ReportModel& rows = list_->reportModel();
  // The working copy stands for the onboard profiles in the list's stored form.
  const std::filesystem::path working = WorkingProfileFile(core_.UserFiles().Folder());
  const std::string key = "FUNC_KEY_DESC" + std::to_string(profile + 1);
  const int row = rows.appendRow({QString(), text(key), text("PROFILE_ROW_ONBOARD")},
                                 QString::fromStdString(working.string() + ".fwc"));
  for (int c = kNameColumn; c <= kFolderColumn; ++c) rows.setToolTip(row, c, text("PROFILE_ROW_ONBOARD_TIP"));
}

void ProfileManagerDialog::appendFile(const std::filesystem::path& file) {
  ReportModel& rows = list_->reportModel();
  const int row = rows.appendRow({QString(), QString::fromStdString(file.filename().string()), Folder(file)},
                                 QString::fromStdString(file.string()));
  for (int c = kNameColumn; c <= kFolderColumn; ++c) rows.setToolTip(row, c, QString::fromStdString(file.string()));
  // Only the first three rows stand for onboard profiles.
  if (row >= 3) rows.setRowTickable(row, false, text("PROFILE_ROW_NOT_ONBOARD"));
}

void ProfileManagerDialog::selectionChanged() {
  // The keyboard's own profiles cannot be deleted: their rows are its profiles.
  const int row = list_->selectedRow();
  button("FUNC_DELETE")->setEnabled(row >= core_.Model().profileCount);
}

void ProfileManagerDialog::markChanged() {
  pending_ = true;
  ports_.setProfileManagerPending(true);
  button("CONTROL2_APPLY")->setEnabled(true);
}

void ProfileManagerDialog::clearChanged() {
  pending_ = false;
  ports_.setProfileManagerPending(false);
  button("CONTROL2_APPLY")->setEnabled(false);
}

void ProfileManagerDialog::add() {
  core_.UserFiles().EnsureUserDataFolder();
  const QString suggested = QString::fromStdString(core_.UserFiles().Folder().string()) + text("PROFILE_NEW");
  QFileDialog dialog(this, text("PROFILE_TIP"), suggested, kProfileFileFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("fwc");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  addFile(dialog.selectedFiles().front().toStdString());
}

bool ProfileManagerDialog::addFile(const std::filesystem::path& file) {
  // A file that could not be made is said so, not listed as if it were there.
  if (!CreateDefaultProfileFile(file)) {
    QMessageBox::warning(this, text("PROFILE_TIP"), text("MAIN_BACKUP_FAILED"));
    return false;
  }
  appendFile(file);
  markChanged();
  return true;
}

void ProfileManagerDialog::load() {
  core_.UserFiles().EnsureUserDataFolder();
  const QString path = QFileDialog::getOpenFileName(this, text("PROFILE_TIP"),
                                                    QString::fromStdString(core_.UserFiles().Folder().string()),
                                                    kProfileFileFilter);
  if (path.isEmpty()) return;
  loadFile(path.toStdString());
}

void ProfileManagerDialog::loadFile(const std::filesystem::path& file) {
  // Listed, not read: the list only names the files the user keeps.
  appendFile(file);
  markChanged();
}

void ProfileManagerDialog::remove() {
  const int row = list_->selectedRow();
  if (row < core_.Model().profileCount) return;
  ReportModel& rows = list_->reportModel();
  list_->setSelectedRow(row + 1 < rows.rowCount() ? row + 1 : row - 1);
  rows.removeRow(row);
  markChanged();
}

void ProfileManagerDialog::applyChanges() {
  const ReportModel& rows = list_->reportModel();
  std::vector<std::string> paths;
  for (int r = 0; r < rows.rowCount(); ++r) paths.push_back(rows.rowData(r).toString().toStdString());
  core_.AppSettings().WriteProfileList(paths);
  const int ticked = rows.firstCheckedRow();  // only rows 0..2 can be ticked
  runner_.run([this, ticked] { return core_.Sync().ProfileManagerApply(ticked); });
  clearChanged();
}

void ProfileManagerDialog::selectRowQuiet(int profile) {
  if (!list_) return;
  ReportModel& rows = list_->reportModel();
  if (profile >= 0 && profile < rows.rowCount()) rows.setChecked(profile, true);
  clearChanged();
}

void ProfileManagerDialog::closeIfOpen() {
  if (open_) finish(QDialog::Rejected);
}

void ProfileManagerDialog::reject() { finish(QDialog::Rejected); }

void ProfileManagerDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F1:
      emit helpRequested();
      return;
    case Qt::Key_Space:
      if (const int row = list_ ? list_->selectedRow() : -1; row >= 0) {
        ReportModel& rows = list_->reportModel();
        rows.setData(rows.index(row, kTickColumn), Qt::Checked, Qt::CheckStateRole);
      }
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      button("CONTROL_OK")->click();
      return;
    default:
      SkinnedWindow::keyPressEvent(event);
  }
}

void ProfileManagerDialog::finish(int result) {
  clearChanged();
  done(result);
}

}  // namespace keyloft::app
