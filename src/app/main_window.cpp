#include "app/main_window.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>

#include "app/help.h"
#include "app/key_dialog.h"
#include "app/lighting_panel.h"
#include "app/profile_manager.h"
#include "model/key_codes.h"
#include "model/keyboard_model.h"
#include "store/profile_file.h"
#include "store/settings.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::app {
namespace {

constexpr int kProgressFrames = 10;
constexpr int kProgressTickMs = 50;

constexpr const char* kProfileKeys[] = {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3"};
constexpr const char* kReportKeys[] = {"FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4"};
// The controls that would start another exchange with the keyboard.
constexpr const char* kSequenceKeys[] = {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_PROFILES",
                                         "FUNC_DEFAULT",  "FUNC_REPORT1",  "FUNC_REPORT2",  "FUNC_REPORT3",
                                         "FUNC_REPORT4",  "CONTROL_OK",    "CONTROL_MENU"};

}  // namespace

MainWindow::MainWindow(KeyloftCore& core, SequenceRunner& runner, DesktopPorts& ports, SkinPictureCache& cache,
                       std::filesystem::path programFolder, QWidget* parent)
    : SkinnedWindow(programFolder / kSkinFolderName / kMainLayoutFile, core.Lang(), parent),
      core_(core),
      runner_(runner),
      ports_(ports),
      cache_(cache),
      programFolder_(std::move(programFolder)) {
  setWindowTitle(text("MAIN_CAPTION"));
  progressTimer_.setInterval(kProgressTickMs);
  connect(&progressTimer_, &QTimer::timeout, this, &MainWindow::stepProgress);
  connect(&runner_, &SequenceRunner::busyChanged, this, &MainWindow::setBusy);
  connect(&clockWatch_, &ClockChangeWatcher::clockChanged, this, &MainWindow::apply);
}

MainWindow::~MainWindow() {
  // The panel's widgets are the window's children; it goes first.
  lightingPanel_ = nullptr;
  ownPanel_.reset();
  keyEditor_ = nullptr;
  ownKeyDialog_.reset();
}

void MainWindow::stopRecording() {
  if (ownKeyDialog_ && ownKeyDialog_->session() && ownKeyDialog_->session()->Recording()) {
    ownKeyDialog_->toggleRecording();
  }
}

ImageButton* MainWindow::keyButton(KeyCode key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? nullptr : it->second;
}

void MainWindow::buildControls() {
  placeButtons();
  ownPanel_ = std::make_unique<LightingPanel>(*this, core_, runner_);
  ownPanel_->build();
  if (!lightingPanel_) lightingPanel_ = ownPanel_.get();
  ownKeyDialog_ = std::make_unique<KeyDialog>(core_, ports_, cache_, programFolder_, this);
  if (!keyEditor_) keyEditor_ = ownKeyDialog_.get();
  wire();
  flip_ = core_.AppSettings().ReadFlip();
  applyFlip();
  refreshProfileCaption();
  setApplyEnabled(core_.Workspace().Pending());
  redrawKeys();
}

void MainWindow::placeButtons() {
  const SkinLayout& layout = skinLayout();
  buttons_ = PlaceImageButtons(*this, layout, MainLayoutEntries(), cache_);
  for (KeyCode key : core_.Model().keys) keys_[key] = button(KeyButtonKey(key));
  for (int n = 1; n <= kGKeysShown; ++n) keys_[static_cast<KeyCode>(kFirstGKey + n - 1)] = button(GKeyButtonKey(n));
  keys_[kFnKey] = button("KEY_FN");

  // Overlapping pictures: the button drawn later lies on top.
  button(KeyButtonKey(0x01B))->raise();  // ]} over the L-shaped Enter
  for (int n = 1; n <= kGKeysShown; ++n) button(GKeyButtonKey(n))->raise();  // G keys over AB
  for (KeyCode f : {0x03B, 0x03C, 0x03D, 0x03E, 0x03F}) button(KeyButtonKey(f))->raise();  // over Flip0
  for (int n = 1; n <= 6; ++n) button(DKeyButtonKey(n))->raise();
  // The row Flip turns off does nothing: it looks so.
  for (KeyCode f : core_.Model().flipFunctionKeys) button(KeyButtonKey(f))->setDimWhenDisabled(true);
  for (int n = 1; n <= core_.Model().dKeys; ++n) button(DKeyButtonKey(n))->setDimWhenDisabled(true);
  button("FLIP_1")->raise();
  button("FLIP_2")->raise();

  // Pictures that never change.
  for (const char* key : {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB", "KORVIN_VER", "FLIP_0"})
    button(key)->setEnabled(false);
  for (bool left : {true, false}) {
    auto* arrow = new ImageButton(this);
    arrow->setObjectName(left ? "LEFT_ARROW" : "RIGHT_ARROW");
    arrow->setEnabled(false);
    buttons_[left ? "LEFT_ARROW" : "RIGHT_ARROW"] = arrow;
  }

  // The report-rate label and the progress picture.
  reportRateLabel_ = new QLabel(this);
  reportRateLabel_->setText(QString::fromStdString(core_.Lang().GetLightText("Usb")));
  reportRateLabel_->setAttribute(Qt::WA_TranslucentBackground);
  reportRateLabel_->setStyleSheet("color: #c8d0da; background: transparent;");
  PlaceControl(*reportRateLabel_, layout, kButtonSection, "CONTROL_UsbStatic");
  progress_ = new QLabel(this);
  PlaceControl(*progress_, layout, kButtonSection, "CONTROL_JDTStatic");
  progress_->hide();

  button("CONTROL_HELP")->setTooltipText(text("MAIN_HELP_PROMPT"), true);
  button("CONTROL_MINIMIZE")->setTooltipText(text("MAIN_MINIMIZE_PROMPT"), true);
  button("CONTROL_CLOSE")->setTooltipText(text("MAIN_CLOSE_PROMPT"), true);
  button("CONTROL_MENU")->setTooltipText(text("MAIN_MENU_PROMPT"), true);
  // Tooltips say what a button does, never a raw file path.
  button("KORVIN_LINK")->setTooltipText(text("MAIN_MANUAL_PROMPT"), true);
  button("KEY_VAVUZE")->setTooltipText(text("MAIN_FOLDER_PROMPT"), true);
  button("KEY_FACEBOOK")->setTooltipText(text("MAIN_REPORT_PROMPT"), true);
  button("KEY_INSTARGRAM")->hide();

}

void MainWindow::wire() {
  for (auto [key, b] : keys_) {
    connect(b, &QAbstractButton::clicked, this, [this, key = key] { keyClicked(key); });
  }
  for (int p = 0; p < 3; ++p) connect(button(kProfileKeys[p]), &QAbstractButton::clicked, this, [this, p] { profileClicked(p); });
  for (int r = 0; r < 4; ++r) connect(button(kReportKeys[r]), &QAbstractButton::clicked, this, [this, r] { reportRateClicked(r); });
  connect(button("FUNC_PROFILES"), &QAbstractButton::clicked, this, &MainWindow::openProfileManager);
  connect(button("FUNC_MACRO"), &QAbstractButton::clicked, this, [this] { openKeyEditor(core_.Model().macroKey, true); });
  connect(button("FUNC_DEFAULT"), &QAbstractButton::clicked, this, &MainWindow::restoreDefaults);
  connect(button("FLIP_1"), &QAbstractButton::clicked, this, &MainWindow::toggleFlip);
  connect(button("FLIP_2"), &QAbstractButton::clicked, this, &MainWindow::toggleFlip);
  connect(button("KORVIN_LINK"), &QAbstractButton::clicked, this, [this] { openLink("Link"); });
  connect(button("KEY_VAVUZE"), &QAbstractButton::clicked, this, [this] {
    core_.UserFiles().EnsureUserDataFolder();
    OpenFolder(core_.UserFiles().Folder(), core_.Lang(), this);
  });
  connect(button("KEY_FACEBOOK"), &QAbstractButton::clicked, this, &MainWindow::reportRequested);
  connect(button("CONTROL_HELP"), &QAbstractButton::clicked, this, &MainWindow::helpRequested);
  connect(button("CONTROL_MINIMIZE"), &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(button("CONTROL_CLOSE"), &QAbstractButton::clicked, this, &MainWindow::closeRequested);
  connect(button("CONTROL2_APPLY"), &QAbstractButton::clicked, this, &MainWindow::apply);
  connect(button("CONTROL_CANCEL"), &QAbstractButton::clicked, this, &MainWindow::dismissed);
  connect(button("CONTROL_OK"), &QAbstractButton::clicked, this, [this] {
    apply();
    emit dismissed();
  });
  connect(button("CONTROL_MENU"), &QAbstractButton::clicked, this, [this] {
    QMenu menu(this);
    QAction* restoreAction = menu.addAction(text("MENU_1"));
    QAction* backupAction = menu.addAction(text("MENU_2"));
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen == restoreAction) restore();
    if (chosen == backupAction) backup();
  });
}

// ---- Keys ----------------------------------------------------------------------

void MainWindow::keyClicked(KeyCode key) {
  const bool gKey = key >= kFirstGKey && key < kFirstGKey + kGKeysShown;
  if (!gKey && lightingPanel_ && lightingPanel_->viewShown()) {
    lightingPanel_->paintKey(key);
    return;
  }
  if (key == kFnKey) return;  // Fn has no assignment of its own
  // The macro key edits its macro, as the Macros button does.
  openKeyEditor(key, key == core_.Model().macroKey);
}

void MainWindow::openKeyEditor(KeyCode key, bool macroOnly) {
  ImageButton* b = keyButton(key);
  if (!keyEditor_ || !b) return;
  // The key stays drawn pressed while its dialog is open.
  b->setDown(true);
  keyEditor_->openForKey(key, QRect(b->mapToGlobal(QPoint()), b->size()), macroOnly);
  b->setDown(false);
}

void MainWindow::redrawKeys() {
  // The lighting view shows colours, not assignments.
  if (lightingPanel_ && lightingPanel_->viewShown()) return;
  const ProfileEditor& editor = core_.Editor();
  for (const KeyDescription& d : editor.DescribeAll(core_.Model().ShownProfile(core_.Device().activeProfileCache))) {
    ImageButton* b = keyButton(d.key);
    if (!b) continue;
    QString tip = QString::fromStdString(d.description);
    // An assignment the keyboard has no place for is said to be Keyloft's alone.
    if (!editor.KeyboardKeepsAssignment(d.key)) tip += QStringLiteral("\n") + notKept(d.key);
    b->setTooltipText(tip, true);
    b->setTicked(d.marked);
  }
  const KeyCode macroKey = core_.Model().macroKey;
  QString macros = formatted("MAIN_MACROS_PROMPT", KeyName(core_.Lang(), macroKey));
  if (!editor.KeyboardKeepsAssignment(macroKey)) macros += QStringLiteral("\n") + notKept(macroKey);
  button("FUNC_MACRO")->setTooltipText(macros, true);
}

QString MainWindow::notKept(KeyCode key) const { return formatted("KEY_NOT_KEPT", KeyName(core_.Lang(), key)); }

// ---- Profiles, report rate, Flip ---------------------------------------------------

void MainWindow::markProfileButton(int profile) {
  for (int p = 0; p < 3; ++p) button(kProfileKeys[p])->setTicked(p == profile);
}

void MainWindow::refreshProfileCaption() {
  ImageButton* b = button("FUNC_PROFILES");
  b->setText(QString());
  b->setTooltipText(text("PROFILE_TIP"), true);
}

void MainWindow::profileClicked(int profile) {
  // The buttons follow what the keyboard took (MarkProfileButton); a keyboard
  // that did not take it is said, as for every other click.
  runner_.run([this, profile] { return core_.Sync().ProfileButton(profile); }, [this](DevResult result) {
    if (result != DevResult::Ok) QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_KEYBOARD_FAILED"));
  });
}

void MainWindow::reportRateClicked(int rate) {
  for (int r = 0; r < 4; ++r) button(kReportKeys[r])->setTicked(r == rate);
  runner_.run([this, rate] { return core_.Lighting().SetReportRate(rate); },
              [this](DevResult result) {
                if (result != DevResult::Ok) QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_KEYBOARD_FAILED"));
              });
}

void MainWindow::refreshLighting(const LightingSnapshot& lighting) {
  for (int r = 0; r < 4; ++r) button(kReportKeys[r])->setTicked(r == lighting.state.reportRate);
  if (lightingPanel_) lightingPanel_->refresh(lighting);
}

const QPixmap& MainWindow::windowPicture(std::string_view file) {
  return cache_.Picture(skinLayout().PicturePath(file), size());
}

void MainWindow::toggleFlip() {
  flip_ = core_.AppSettings().WriteFlip(1 - core_.AppSettings().ReadFlip());
  applyFlip();
}

void MainWindow::applyFlip() {
  for (KeyCode f : core_.Model().flipFunctionKeys) button(KeyButtonKey(f))->setEnabled(flip_ == 0);
  for (int n = 1; n <= core_.Model().dKeys; ++n) button(DKeyButtonKey(n))->setEnabled(flip_ == 1);
  const QPixmap& arrow = cache_.Picture(skinLayout().PicturePath(kArrowPicture), size());
  PlaceArrowButton(*button("LEFT_ARROW"), skinLayout(), "LEFT_ARROW", ArrowOffsetKey(true, flip_, 1), &arrow);
  PlaceArrowButton(*button("RIGHT_ARROW"), skinLayout(), "RIGHT_ARROW", ArrowOffsetKey(false, flip_, 1), &arrow);
  button("LEFT_ARROW")->setEnabled(false);
  button("RIGHT_ARROW")->setEnabled(false);
}

// ---- Apply, defaults, the profile files ---------------------------------------------

void MainWindow::setApplyEnabled(bool enabled) {
  applyEnabled_ = enabled;
  button("CONTROL2_APPLY")->setEnabled(enabled && !runner_.busy());
}

void MainWindow::apply() {
  applyThen([](bool) {});
}

void MainWindow::applyThen(std::function<void(bool applied)> done) {
  runner_.run([this] { return core_.Editor().Apply(); }, [this, done = std::move(done)](const ApplyOutcome& outcome) {
    showApplyOutcome(outcome);
    done(outcome.result == ApplyResult::Applied || outcome.result == ApplyResult::NothingPending);
  });
}

void MainWindow::showApplyOutcome(const ApplyOutcome& outcome) {
  // Too long macros and a missing working file are told by the core itself.
  if (outcome.result == ApplyResult::WriteFailed) {
    QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_APPLY_FAILED"));
  } else if (outcome.result == ApplyResult::ReadBackFirst) {
    QMessageBox::information(this, text("MAIN_CAPTION"), text("MAIN_APPLY_READ_BACK"));
  }
}

void MainWindow::restoreDefaults() {
  const auto answer = QMessageBox::question(this, text("MAIN_CAPTION"), text("MAIN_PROMPT_DEFAULT"),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  const bool withLighting = lightingPanel_ && lightingPanel_->viewShown();
  runner_.run([this, withLighting] { return core_.Editor().RestoreDefaults(withLighting); },
              [this](const RestoreOutcome& outcome) {
                if (outcome.result == RestoreResult::NoProfile) {
                  QMessageBox::information(this, text("MAIN_CAPTION"), text("MAIN_DEFAULT_NO_PROFILE"));
                } else if (outcome.result == RestoreResult::BackupFailed) {
                  QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_SAFETY_BACKUP_FAILED"));
                } else if (outcome.apply.result == ApplyResult::Applied) {
                  QMessageBox::information(this, text("MAIN_CAPTION"),
                                           formatted("MAIN_DEFAULT_DONE", outcome.backup.file.string()));
                } else {
                  showApplyOutcome(outcome.apply);
                }
              });
}

void MainWindow::backup() {
  const QString path = QFileDialog::getSaveFileName(this, text("MENU_2"),
                                                    QString::fromStdString(core_.UserFiles().Folder().string()),
                                                    "(*.fwc)", nullptr);
  if (path.isEmpty()) return;
  QString file = path;
  if (!file.endsWith(".fwc", Qt::CaseInsensitive)) file += ".fwc";
  backupTo(file);
}

bool MainWindow::backupTo(const QString& file) {
  // A backup that could not be written says so, rather than look like one that was.
  if (core_.Editor().Export(file.toStdString())) return true;
  QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_BACKUP_FAILED"));
  return false;
}

void MainWindow::restore() {
  const QString path = QFileDialog::getOpenFileName(this, text("MENU_1"),
                                                    QString::fromStdString(core_.UserFiles().Folder().string()),
                                                    kProfileFileFilter);
  if (!path.isEmpty()) restoreFrom(path);
}

void MainWindow::restoreFrom(const QString& path) {
  // A file that is no profile file is refused before anything is asked or saved.
  if (ProfileData probe; !LoadProfileFile(path.toStdString(), probe)) {
    QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_PROMPT_INPORT"));
    return;
  }
  // All three profiles and the macros are replaced: asked first, and what the
  // keyboard holds is saved before (the core's safety backup).
  const auto answer = QMessageBox::question(this, text("MAIN_CAPTION"), formatted("MAIN_RESTORE_PROMPT", path.toStdString()),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  runner_.run([this, file = path.toStdString()] { return core_.Editor().RestoreFromFile(file); },
              [this](const ProfileEditor::FileRestoreOutcome& outcome) {
                if (outcome.backup.device != DevResult::Ok) {
                  QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_SAFETY_BACKUP_FAILED"));
                } else if (outcome.import.Written()) {
                  QMessageBox::information(this, text("MAIN_CAPTION"),
                                           formatted("MAIN_RESTORE_DONE", outcome.backup.file.string()));
                } else if (outcome.import.loaded) {
                  QMessageBox::warning(this, text("MAIN_CAPTION"), text("MAIN_APPLY_FAILED"));
                }
                // A refused file was told by the core (MAIN_PROMPT_INPORT) and changed nothing.
              });
}

void MainWindow::openProfileManager() {
  if (!profileManager_) {
    profileManager_ = std::make_unique<ProfileManagerDialog>(core_, runner_, ports_, cache_, programFolder_, this);
    connect(profileManager_.get(), &ProfileManagerDialog::helpRequested, this, &MainWindow::helpRequested);
  }
  profileManager_->run();
}

void MainWindow::profileManagerShowActive(int profile) {
  if (profileManager_) profileManager_->selectRowQuiet(profile);
}

void MainWindow::closeChildDialogs() {
  if (profileManager_) profileManager_->closeIfOpen();
  if (keyEditor_) keyEditor_->closeIfOpen();
}

void MainWindow::openLink(const std::string& key) {
  OpenLink(skinLayout().Link(key), programFolder_, core_.Lang(), this);
}

// ---- While the keyboard is busy ---------------------------------------------------

void MainWindow::setBusy(bool busy) {
  for (const char* key : kSequenceKeys) button(key)->setEnabled(!busy);
  button("CONTROL2_APPLY")->setEnabled(applyEnabled_ && !busy);
}

void MainWindow::showProgress(bool shown) {
  progressShown_ = shown;
  if (shown) {
    progressStep_ = 0;
    stepProgress();
    progress_->show();
    progressTimer_.start();
  } else {
    progressTimer_.stop();
    progress_->hide();
  }
}

void MainWindow::stepProgress() {
  const QString name = QString("jdt%1.bmp").arg(progressStep_ % kProgressFrames + 1);
  progress_->setPixmap(QPixmap(QString::fromStdString(skinLayout().PicturePath(name.toStdString()).string())));
  ++progressStep_;
}

void MainWindow::reject() { emit dismissed(); }

// ---- Keys the window takes -------------------------------------------------------------

void MainWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();  // the window never closes or hides on them
      return;
    case Qt::Key_F1:
      emit helpRequested();
      return;
    default:
      SkinnedWindow::keyPressEvent(event);
  }
}

bool MainWindow::event(QEvent* event) {
  // Enter and Escape are swallowed on release too, before any default button sees them.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      event->accept();
      return true;
    }
  }
  return SkinnedWindow::event(event);
}

}  // namespace keyloft::app
