#include "app/key_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/help.h"
#include "model/key_codes.h"
#include "store/settings.h"
#include "util/text.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::app {
namespace {

// A step's key in the key column's list: the keys' list positions, then the
// mouse actions; -1 for a key the list does not hold.
int StepKeyListIndex(KeyCode key) {
  const auto mouse = std::find(kMouseActions.begin(), kMouseActions.end(), key);
  if (mouse != kMouseActions.end()) return kKeyListLength + static_cast<int>(mouse - kMouseActions.begin());
  const uint16_t position = KeyCodeToListPosition(key);
  return position == kNoListPosition || position >= kKeyListLength ? -1 : static_cast<int>(position);
}

enum StepColumn { kKeyColumn, kStateColumn, kDelayColumn };

// Key and state cells are drawn grey, as the steps of a recording are.
const QColor kStepGrey(0x8A, 0x93, 0xA3);
const QString kPressMark = QStringLiteral("↓");
const QString kReleaseMark = QStringLiteral("  ↑");

// X11 and Wayland both give the evdev code plus 8.
constexpr quint32 kNativeScanCodeOffset = 8;

// On-screen keyboards a Linux desktop may have, in the order they are tried.
constexpr const char* kOnScreenKeyboards[] = {"onboard", "florence", "matchbox-keyboard", "kvkbd", "xvkbd"};

const QString kGaugeStyle = QStringLiteral(
    "QProgressBar { background: #15181c; border: 1px solid #3a404a; border-radius: 3px; }"
    "QProgressBar::chunk { background: %1; border-radius: 2px; }");

const char* const kPageButtons[] = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"};

}  // namespace

QString FindOnScreenKeyboard() {
  for (const char* name : kOnScreenKeyboards) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!path.isEmpty()) return path;
  }
  return {};
}

KeyDialog::KeyDialog(KeyloftCore& core, DesktopPorts& ports, SkinPictureCache& cache,
                     const std::filesystem::path& programFolder, QWidget* parent)
    : SkinnedWindow(programFolder / kSkinFolderName / kCompositeLayoutFile, core.Lang(), parent),
      core_(core),
      ports_(ports),
      cache_(cache),
      programFolder_(programFolder) {
  setModal(true);
  clock_.start();
}

KeyDialog::~KeyDialog() {
  if (filterInstalled_) qApp->removeEventFilter(this);
  if (grabbed_) releaseKeyboard();
}

bool KeyDialog::ask(std::string_view key) {
  return QMessageBox::question(this, windowTitle(), text(key), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

// ---- Building ---------------------------------------------------------------------

// The key's name beside the drawn title.
void KeyDialog::placeTitle(const SkinLayout& layout) {
  // The key being edited, right of the drawn title and on the title's line.
  editedKey_ = new TransparentLabel(this);
  PlaceControl(*editedKey_, layout, kButtonSection, "CONTROL_TITLE");
  const QRect title = editedKey_->geometry();
  editedKey_->setGeometry(title.right() + 1, title.y(), this->width() - title.x() - title.right() - 1, title.height());
  editedKey_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

// The pages that choose one thing: the key (or a mouse action), a media key, a function.
void KeyDialog::placeChoicePages(const SkinLayout& layout) {
  capture_ = new QLineEdit(this);
  capture_->setReadOnly(true);
  capture_->setFocusPolicy(Qt::NoFocus);
  PlaceControl(*capture_, layout, kButtonSection, "FUNC_KEY_INPUT");
  // Or one of the keyboard's mouse actions, below the captured key.
  mouse_ = new QComboBox(this);
  mouse_->setFocusPolicy(Qt::NoFocus);
  mouse_->setGeometry(capture_->geometry().translated(0, capture_->height() + 12));
  media_ = new QComboBox(this);
  PlaceControl(*media_, layout, kButtonSection, "FUNC_MEDIA_SELECT");
  function_ = new QComboBox(this);
  PlaceControl(*function_, layout, kButtonSection, "FUNC_FUNCTION_SELECT");
}

// The macro page: the macro list, its steps and memory gauge, cycles and record delays.
void KeyDialog::placeMacroPage(const SkinLayout& layout) {
  macros_ = new QComboBox(this);
  macros_->setEditable(true);
  macros_->setInsertPolicy(QComboBox::NoInsert);
  macros_->lineEdit()->setMaxLength(static_cast<int>(kMaxMacroNameChars));
  PlaceControl(*macros_, layout, kButtonSection, "FUNC_MACRO_LIST");

  steps_ = new ReportList(this);
  PlaceControl(*steps_, layout, kButtonSection, "FUNC_MACRO_LIST2");
  // The macro memory gauge sits under the steps, in the list's own rectangle.
  const QRect list = steps_->geometry();
  constexpr int kGaugeHeight = 18;
  steps_->setGeometry(list.adjusted(0, 0, 0, -kGaugeHeight - 2));
  memoryBar_ = new QProgressBar(this);
  memoryBar_->setTextVisible(false);
  memoryBar_->setGeometry(list.left(), list.bottom() - kGaugeHeight + 5, 90, kGaugeHeight - 8);
  memoryText_ = new QLabel(this);
  memoryText_->setGeometry(list.left() + 96, list.bottom() - kGaugeHeight + 1, list.width() - 96, kGaugeHeight);
  // The columns share the width the vertical scroll bar leaves.
  steps_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  steps_->horizontalHeader()->setStretchLastSection(true);
  const int width = std::max(60, steps_->width() - steps_->verticalScrollBar()->sizeHint().width() - 4);
  steps_->addColumn(text("MACRO_KEYS_TISHI"), width * 45 / 100);
  steps_->addColumn(text("MACRO_ACTION_TISHI"), width * 20 / 100);
  steps_->addColumn(text("MACRO_DELAY_MS"), width * 35 / 100);
  steps_->horizontalHeader()->setSectionsClickable(false);
  steps_->setInPlaceEditing(true);
  QStringList keyNames;
  for (uint16_t p = 0; p < kKeyListLength; ++p) keyNames << QString::fromStdString(GetListPositionName(core_.Lang(), p));
  // The keyboard's mouse actions after the keys: a step can press them too.
  for (KeyCode action : kMouseActions) keyNames << QString::fromStdString(GetKeyName(core_.Lang(), action));
  steps_->setColumnDropDown(kKeyColumn, keyNames, [this](int row) {
    const auto& s = session_->Steps();
    if (row < 0 || row >= static_cast<int>(s.size())) return -1;
    return StepKeyListIndex(s[static_cast<size_t>(row)].key);
  });
  steps_->setColumnDropDown(kStateColumn, {kPressMark, kReleaseMark}, [this](int row) {
    const auto& s = session_->Steps();
    return row >= 0 && row < static_cast<int>(s.size()) ? static_cast<int>(s[static_cast<size_t>(row)].state) : -1;
  });
  steps_->setColumnEditBox(kDelayColumn);

  cycles_ = new QLineEdit(this);
  PlaceControl(*cycles_, layout, kButtonSection, "FUNC_MACRO_CYCLES");
  cyclesLabel_ = new TransparentLabel(this);
  PlaceControl(*cyclesLabel_, layout, kButtonSection, "FUNC_MACRO_CYCLES_PROMPT");
  recordDelay_ = new QCheckBox(this);
  PlaceControl(*recordDelay_, layout, kButtonSection, "FUNC_MACRO_RECORD_DELAY");
  recordDelayLabel_ = new TransparentLabel(this);
  PlaceControl(*recordDelayLabel_, layout, kButtonSection, "FUNC_MACRO_RECORD_DELAY2");
}

void KeyDialog::placeControls() {
  if (steps_) return;  // placed at the first opening, kept for the later ones
  const SkinLayout& layout = skinLayout();
  buttons_ = PlaceImageButtons(*this, layout, CompositeLayoutEntries(), cache_);
  button("CONTROL_MASK")->setEnabled(false);
  button("CONTROL_MASK")->lower();
  button("CONTROL_TITLE")->setEnabled(false);
  placeTitle(layout);
  placeChoicePages(layout);
  placeMacroPage(layout);

  osk_ = FindOnScreenKeyboard();
  ImageButton* osk = button("CONTROL_OSK");
  // The key set draws a disabled button as an enabled one: without an
  // on-screen keyboard the button wears the macro set's disabled look.
  if (osk_.isEmpty()) {
    PlaceImageButton(*osk, layout, kButtonSection, "CONTROL_OSK", cache_.Set(layout, kMacroSet, size()));
  }
  osk->setEnabled(!osk_.isEmpty());

  // Page buttons, Clear, Osk, OK, Cancel.
  const KeyPage pages[] = {KeyPage::Key, KeyPage::Macro, KeyPage::Media, KeyPage::Function};
  for (int i = 0; i < 4; ++i) {
    connect(button(kPageButtons[i]), &QAbstractButton::clicked, this, [this, page = pages[i]] {
      session_->ShowPage(page);
      refresh();
    });
  }
  connect(button("CONTROL_CLEAR"), &QAbstractButton::clicked, this, [this] {
    session_->Clear();
    refresh();
  });
  connect(osk, &QAbstractButton::clicked, this, [this] {
    if (!osk_.isEmpty()) QProcess::startDetached(osk_, {});
  });
  connect(button("CONTROL_OK"), &QAbstractButton::clicked, this, &KeyDialog::ok);
  connect(button("CONTROL_CANCEL"), &QAbstractButton::clicked, this, &KeyDialog::cancel);

  connect(media_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    if (index >= 0) session_->SelectMedia(static_cast<uint32_t>(index));
    refresh();
  });
  connect(mouse_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    if (index > 0) session_->SelectMouse(index - 1);
    refresh();
  });
  connect(function_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    if (index >= 0) session_->SelectFunction(static_cast<uint32_t>(index));
    refresh();
  });

  // Macros and their steps.
  connect(macros_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    session_->SelectMacro(index);
    refresh();
  });
  connect(macros_->lineEdit(), &QLineEdit::textEdited, this, &KeyDialog::nameTyped);
  connect(macros_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (!session_ || showing_) return;
    session_->CommitName();
    refresh();
  });
  connect(button("FUNC_MACRO_ADD"), &QAbstractButton::clicked, this, &KeyDialog::addMacro);
  connect(button("FUNC_MACRO_DELETE"), &QAbstractButton::clicked, this, &KeyDialog::deleteMacro);
  connect(button("FUNC_MACRO_RECORD"), &QAbstractButton::clicked, this, &KeyDialog::toggleRecording);
  // While recording, the button is red and says Stop, over its picture's "Record".
  button("FUNC_MACRO_RECORD")->setDrawCallback([this](ImageButton& b, bool) {
    if (!session_ || !session_->Recording()) return;
    QPainter painter(&b);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(b.rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(QColor(0xFF, 0x4D, 0x4D), 2));
    painter.setBrush(QColor(0x5A, 0x16, 0x1C));
    painter.drawRoundedRect(frame, 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0x4D, 0x4D));
    const qreal mark = frame.height() * 0.32;
    const QRectF square(frame.left() + 12, frame.center().y() - mark / 2, mark, mark);
    painter.drawRect(square);
    painter.setPen(QColor(0xF4, 0xF6, 0xF8));
    QFont font = b.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(frame.adjusted(square.width() + 16, 0, -6, 0), Qt::AlignCenter, text("MACRO_ACTION_STOP_RECORD"));
  });
  connect(button("FUNC_MACRO_DELETE2"), &QAbstractButton::clicked, this, [this] {
    session_->DeleteStep();
    refresh();
  });
  connect(button("FUNC_MACRO_CLEAR"), &QAbstractButton::clicked, this, &KeyDialog::clearSteps);
  const std::pair<const char*, StepMove> moves[] = {{"FUNC_MACRO_UP_TOP", StepMove::Top},
                                                    {"FUNC_MACRO_UP", StepMove::Up},
                                                    {"FUNC_MACRO_DOWN", StepMove::Down},
                                                    {"FUNC_MACRO_DOWN_BOTTOM", StepMove::Bottom}};
  for (const auto& [key, move] : moves) {
    connect(button(key), &QAbstractButton::clicked, this, [this, move = move] {
      session_->MoveStep(move);
      refresh();
      steps_->setFocus();
    });
  }
  connect(steps_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!showing_ && session_) session_->SelectStep(steps_->selectedRow());
  });
  connect(steps_, &ReportList::editStarted, this, [this](int, int column) {
    // A pause is typed, not recorded, so a recording stops first.
    if (column == kDelayColumn && session_->Recording()) toggleRecording();
  });
  // Taken once the editor has closed (a message about the value must not open
  // while the list is still closing its editor), or at once by an apply.
  connect(steps_, &ReportList::dropDownFinished, this, [this](int row, int column, int index) {
    deferEdit([this, row, column, index] { stepEdited(row, column, index); });
  });
  connect(steps_, &ReportList::editBoxFinished, this, [this](int row, int, const QString& typed) {
    deferEdit([this, row, typed] { delayEdited(row, typed); });
  });
  connect(steps_, &ReportList::editRefused, this, [this] {
    QMessageBox::information(this, windowTitle(), text("MACRO_ACTION_ERR_MODIFY"));
  });
  connect(cycles_, &QLineEdit::textEdited, this, &KeyDialog::cyclesTyped);
  connect(recordDelay_, &QCheckBox::clicked, this, [this] {
    const int option = core_.AppSettings().WriteRecordDelay(session_->RecordDelayOption() == 1 ? 0 : 1);
    session_->SetRecordDelayOption(option);
    recordDelay_->setChecked(option == 1);
  });
}

void KeyDialog::setTexts() {
  // Which key this is, for the eye and for the window list and screen readers.
  const QString edited = QString::fromStdString(core_.Lang().FormatTextOf(
      session_->MacroOnly() ? "COMPOSITE_EDITS_MACRO" : "COMPOSITE_EDITS_KEY",
      KeyName(core_.Lang(), session_->Key())));
  editedKey_->setText(edited);
  // Set here, the assignment of a key the keyboard has no place for would do
  // nothing on it: the dialog says so where the key is named.
  const bool kept = core_.Editor().KeyboardKeepsAssignment(session_->Key());
  editedKey_->setToolTip(kept ? QString()
                              : QString::fromStdString(core_.Lang().FormatTextOf(
                                    "KEY_NOT_KEPT", KeyName(core_.Lang(), session_->Key()))));
  editedKey_->setFontHeight(kept ? 15 : 11);
  editedKey_->setTextColor(kept ? QColor(0x22, 0xD3, 0xEE) : QColor(0xF5, 0xB0, 0x41));
  if (!kept) editedKey_->setText(edited + QStringLiteral("\n") + text("COMPOSITE_NOT_KEPT"));
  setWindowTitle(edited + QStringLiteral(" – ") + text("MAIN_CAPTION"));
  button("CONTROL_CLEAR")->setTooltipText(text("COMPOSITE_PROMPT_CLEAR"), true);
  button("CONTROL_OSK")->setTooltipText(osk_.isEmpty() ? text("COMPOSITE_PROMPT_NO_OSK") : text("COMPOSITE_PROMPT_OSK"),
                                        true);
  cyclesLabel_->setText(text("MACRO_CYCLES"));
  recordDelayLabel_->setText(text("RECORD_DELAY"));
  media_->clear();
  for (const MediaEntry& entry : MediaList()) media_->addItem(QString::fromStdString(GetKeyName(core_.Lang(), entry.code)));
  function_->clear();
  for (size_t i = 1; i <= kFunctionCount; ++i) function_->addItem(text("FUNC_KEY_DESC" + std::to_string(i)));
  mouse_->clear();
  mouse_->addItem(text("COMPOSITE_MOUSE_CHOOSE"));
  for (KeyCode action : kMouseActions) mouse_->addItem(QString::fromStdString(GetKeyName(core_.Lang(), action)));
  mouse_->setAccessibleName(text("COMPOSITE_MOUSE_CHOOSE"));
}

// ---- Opening and closing ------------------------------------------------------------

void KeyDialog::openForKey(KeyCode key, const QRect& buttonOnScreen, bool macroOnly) {
  if (session_) return;
  if (!loadSkinOrWarn(parentWidget(), text("MAIN_CAPTION"))) return;
  placeControls();
  const int shown = core_.Model().ShownProfile(core_.Device().activeProfileCache);
  const KeyCode target = macroOnly ? core_.Model().macroKey : key;
  session_ = std::make_unique<KeyEditSession>(core_.Editor(), core_.Lang(), shown, target, macroOnly,
                                              core_.AppSettings().ReadRecordDelay());
  setTexts();
  showMode();
  refresh();
  place(buttonOnScreen);
  qApp->installEventFilter(this);
  filterInstalled_ = true;
  ports_.setKeyDialogOpen(true);
  exec();
  // However it closed, nothing of this opening stays behind.
  release();
  ports_.setKeyDialogOpen(false);
}

void KeyDialog::closeIfOpen() {
  if (session_) finish(QDialog::Rejected);
}

void KeyDialog::release() {
  if (session_) session_->StopRecording();
  if (filterInstalled_) qApp->removeEventFilter(this);
  filterInstalled_ = false;
  if (grabbed_) releaseKeyboard();
  grabbed_ = false;
  ports_.setRecording(false);
  pendingEdit_ = nullptr;
  session_.reset();
}

void KeyDialog::finish(int result) {
  release();
  done(result);
}

// The window manager's close (and anything else that rejects) is Cancel.
void KeyDialog::reject() { finish(QDialog::Rejected); }

void KeyDialog::place(const QRect& b) {
  QScreen* screen = QGuiApplication::screenAt(b.center());
  if (!screen) screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen->availableGeometry();
  QPoint at;
  if (session_->MacroOnly()) {
    at = area.center() - QPoint(width() / 2, height() / 2);
  } else {
    const PlacePoint p = PlaceBesideButton({b.left(), b.top(), b.left() + b.width(), b.top() + b.height()}, width(),
                                           height(), {area.left(), area.top(), area.left() + area.width(),
                                                      area.top() + area.height()});
    at = QPoint(p.x, p.y);
  }
  placedAt_ = at;
  move(at);  // the compositor decides on Wayland
}

// ---- Applying ---------------------------------------------------------------------

void KeyDialog::deferEdit(std::function<void()> edit) {
  pendingEdit_ = std::move(edit);
  QTimer::singleShot(0, this, &KeyDialog::takePendingEdit);
}

void KeyDialog::takePendingEdit() {
  if (!pendingEdit_) return;
  auto edit = std::move(pendingEdit_);
  pendingEdit_ = nullptr;
  if (session_) edit();
}

bool KeyDialog::apply() {
  if (!session_) return false;
  steps_->finishEdit();
  takePendingEdit();
  if (session_->Recording()) toggleRecording();
  const EditResult result = session_->Apply();
  if (result != EditResult::Ok) {
    QMessageBox::warning(this, windowTitle(), text("COMPOSITE_APPLY_FAILED"));
    return false;
  }
  refresh();
  return true;
}

void KeyDialog::ok() {
  // A failed apply leaves the dialog open with what the user made.
  if (apply()) finish(QDialog::Accepted);
}

void KeyDialog::cancel() { finish(QDialog::Rejected); }

// ---- Showing the session ------------------------------------------------------------

// Every step after a message box asks whether the dialog is still open: the
// keyboard may have gone away meanwhile, and with it the session.
void KeyDialog::refresh() {
  if (!session_) return;
  showing_ = true;
  showPageControls();
  showMacroList();
  showSteps();
  showMemory();
  showRecording();
  updateGrab();
  showing_ = false;
}

void KeyDialog::showPageControls() {
  const KeyPage page = session_->Page();
  const bool keyPage = session_->CapturesKeys();
  const bool macroPage = page == KeyPage::Macro;
  const SkinImageNames* maskSet = macroPage               ? &kMacroMaskSet
                                  : page == KeyPage::Media    ? &kMediaSet
                                  : page == KeyPage::Function ? &kFunctionSet
                                                              : &kKeyMaskSet;
  // The page's background changes with the page only; a key press redraws nothing here.
  if (maskSet != maskSet_) {
    maskSet_ = maskSet;
    const SkinLayout& layout = skinLayout();
    PlaceImageButton(*button("CONTROL_MASK"), layout, kButtonSection, "CONTROL_MASK", cache_.Set(layout, *maskSet, size()));
    button("CONTROL_MASK")->lower();
  }
  const int shown = macroPage ? 1 : page == KeyPage::Media ? 2 : page == KeyPage::Function ? 3 : 0;
  for (int i = 0; i < 4; ++i) button(kPageButtons[i])->setTicked(i == shown);

  capture_->setVisible(keyPage);
  mouse_->setVisible(keyPage && !session_->MacroOnly());
  mouse_->setCurrentIndex(session_->MouseSource() ? session_->MouseItem() + 1 : 0);
  const KeyCode shownKey = session_->MouseSource() ? kMouseActions[static_cast<size_t>(session_->MouseItem())]
                                                   : session_->CapturedKey();
  capture_->setText(shownKey ? QString::fromStdString(GetKeyName(core_.Lang(), shownKey)) : QString());
  media_->setVisible(page == KeyPage::Media);
  media_->setCurrentIndex(static_cast<int>(session_->MediaIndex()));
  function_->setVisible(page == KeyPage::Function);
  function_->setCurrentIndex(static_cast<int>(session_->FunctionIndex()));
  for (QWidget* w : std::initializer_list<QWidget*>{macros_, steps_, cycles_, cyclesLabel_, recordDelay_,
                                                    recordDelayLabel_, memoryBar_, memoryText_}) {
    w->setVisible(macroPage);
  }
  for (const SkinEntry& entry : CompositeLayoutEntries()) {
    if (entry.key.starts_with("FUNC_MACRO_") && entry.placement == Placement::ImageButton) {
      button(entry.key.c_str())->setVisible(macroPage);
    }
  }
}

void KeyDialog::showMode() {
  const SkinLayout& layout = skinLayout();
  const bool macroOnly = session_->MacroOnly();
  for (const char* key : {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR"}) {
    PlaceImageButton(*button(key), layout, kButtonSection, key,
                     cache_.Set(layout, macroOnly ? kMacro2Set : kKeySet, size()));
    button(key)->setEnabled(!macroOnly);
  }
  recordDelay_->setChecked(session_->RecordDelayOption() == 1);
  maskSet_ = nullptr;
}

void KeyDialog::showMacroList() {
  const MacroList& list = session_->Macros();
  bool same = macros_->count() == static_cast<int>(list.size());
  for (int i = 0; same && i < macros_->count(); ++i) {
    same = macros_->itemText(i) == QString::fromStdU16String(list[static_cast<size_t>(i)].name);
  }
  if (!same) {
    macros_->clear();
    for (const MacroRecord& m : list) macros_->addItem(QString::fromStdU16String(m.name));
  }
  if (macros_->currentIndex() != session_->CurrentMacro()) {
    macros_->setCurrentIndex(session_->CurrentMacro());
  }
  // The box names the current macro (nothing without one), but never moves
  // under the user's typing.
  if (!typingName_) {
    const int current = session_->CurrentMacro();
    const QString name = current >= 0 ? QString::fromStdU16String(list[static_cast<size_t>(current)].name) : QString();
    if (macros_->lineEdit()->text() != name) macros_->lineEdit()->setText(name);
  }
  const bool current = session_->CurrentMacro() >= 0;
  for (const char* key : {"FUNC_MACRO_RECORD", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_UP_TOP",
                          "FUNC_MACRO_UP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM"}) {
    button(key)->setEnabled(current);
  }
  if (!cycles_->hasFocus() || cycles_->text() != QString::number(session_->Cycles())) {
    cycles_->setText(QString::number(session_->Cycles()));
  }
  // The count is the macro's: every key that plays it plays it as often.
  const int keys = current ? core_.Editor().KeysPlayingMacro(list[static_cast<size_t>(session_->CurrentMacro())].id) : 0;
  const QString shared = QString::fromStdString(core_.Lang().FormatTextOf("MACRO_CYCLES_SHARED", static_cast<long long>(keys)));
  cycles_->setToolTip(shared);
  cyclesLabel_->setToolTip(shared);
}

void KeyDialog::showSteps() {
  const std::vector<MacroStep>& steps = session_->Steps();
  ReportModel& rows = steps_->reportModel();
  const int count = static_cast<int>(steps.size());
  if (steps_->isEditing() && rows.rowCount() != count) steps_->cancelEdit();
  while (rows.rowCount() > count) rows.removeRow(rows.rowCount() - 1);
  while (rows.rowCount() < count) {
    const int row = rows.appendRow({QString(), QString(), QString()});
    rows.setTextColor(row, kKeyColumn, kStepGrey);
    rows.setTextColor(row, kStateColumn, kStepGrey);
  }
  for (int r = 0; r < count; ++r) {
    const MacroStep& step = steps[static_cast<size_t>(r)];
    const QString texts[] = {QString::fromStdString(GetKeyName(core_.Lang(), step.key)),
                             step.state == kStepRelease ? kReleaseMark : kPressMark, QString::number(step.delay)};
    for (int c = 0; c < 3; ++c) {
      if (rows.text(r, c) != texts[c]) rows.setText(r, c, texts[c]);
    }
  }
  if (steps_->selectedRow() != session_->SelectedStep()) steps_->setSelectedRow(session_->SelectedStep());
}

void KeyDialog::showMemory() {
  const MacroMemory memory = session_->Memory();
  if (!memory.Known()) {
    showGaugeColour(true);
    memoryBar_->setRange(0, 1);
    memoryBar_->setValue(0);
    memoryText_->setText(QString::fromStdString(core_.Lang().FormatTextOf("MACRO_MEMORY_UNKNOWN",
                                                                          static_cast<int>(memory.withoutNames))));
    return;
  }
  memoryBar_->setRange(0, static_cast<int>(memory.capacity));
  memoryBar_->setValue(static_cast<int>(std::min(memory.withoutNames, memory.capacity)));
  const std::string line = std::to_string(memory.NamesFit() ? memory.withNames : memory.withoutNames) + " / " +
                           std::to_string(memory.capacity);
  std::string_view key = memory.NamesFit() ? "MACRO_MEMORY_USED"
                         : memory.Fits()   ? "MACRO_MEMORY_NO_NAMES"
                                           : "MACRO_MEMORY_FULL";
  memoryText_->setText(QString::fromStdString(core_.Lang().FormatTextOf(key, line)));
  showGaugeColour(memory.Fits());
}

void KeyDialog::showGaugeColour(bool fits) {
  // A style sheet is costly to apply: only when the colour changes, not on every key recorded.
  if (gaugeFits_ == fits) return;
  gaugeFits_ = fits;
  const QString colour = fits ? QStringLiteral("#22d3ee") : QStringLiteral("#ff6b6b");
  memoryBar_->setStyleSheet(kGaugeStyle.arg(colour));
  memoryText_->setStyleSheet(QStringLiteral("color: %1; background: transparent; font-size: 11px;")
                                 .arg(fits ? QStringLiteral("#c8d0da") : colour));
}

void KeyDialog::showRecording() {
  const bool recording = session_->Recording();
  ImageButton* record = button("FUNC_MACRO_RECORD");
  record->setTicked(recording);
  record->update();
  record->setTooltipText(text(recording ? "MACRO_ACTION_STOP_RECORD" : "MACRO_ACTION_RECORD"), true);
  button("FUNC_MACRO_ADD")->setEnabled(!recording);
  button("FUNC_MACRO_DELETE")->setEnabled(!recording);
  macros_->setEnabled(!recording);
  ports_.setRecording(recording);
}

// ---- Keys ---------------------------------------------------------------------------

void KeyDialog::updateGrab() {
  const bool awaitingKey = session_ && (session_->CapturesKeys() || session_->Recording());
  const bool want = awaitingKey && isVisible() && isActiveWindow();
  if (want == grabbed_) return;
  grabbed_ = want;
  if (want) {
    grabKeyboard();
  } else {
    releaseKeyboard();
  }
}

bool KeyDialog::event(QEvent* e) {
  const bool handled = SkinnedWindow::event(e);
  // Let go of the keyboard as soon as another window is active.
  if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate || e->type() == QEvent::Show) {
    updateGrab();
  }
  return handled;
}

bool KeyDialog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (session_ && (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride)) {
    // Only the dialog's own keys: a message box above it keeps its keys.
    QWidget* target = qobject_cast<QWidget*>(watched);
    if (target && target->window() == this && handleKey(static_cast<QKeyEvent*>(event))) return true;
  }
  return SkinnedWindow::eventFilter(watched, event);
}

bool KeyDialog::handleKey(QKeyEvent* event) {
  const bool recording = session_->Recording();
  const bool capturing = session_->CapturesKeys();
  if (!recording && !capturing) return false;
  // An in-place editor of the step list keeps its keys.
  if (!recording && steps_->isEditing()) return false;
  const quint32 scan = event->nativeScanCode();
  const KeyCode key = scan > kNativeScanCodeOffset ? EvdevToKeyCode(static_cast<uint16_t>(scan - kNativeScanCodeOffset))
                                                   : 0;
  if (key == 0 || IsMediaKeyCode(key)) return false;
  // The shortcut check comes before the press: taking it keeps Enter, Escape
  // and the desktop's shortcuts from acting, and the press then arrives here.
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  const KeyEventKind kind = event->type() == QEvent::KeyRelease ? KeyEventKind::Release
                            : event->isAutoRepeat()             ? KeyEventKind::Repeat
                                                                : KeyEventKind::Press;
  // Qt reports a held key as release and press pairs: the repeated release is no release.
  if (kind == KeyEventKind::Release && event->isAutoRepeat()) return true;
  const bool taken = recording ? session_->RecordKey(key, kind, static_cast<uint64_t>(clock_.elapsed()))
                               : session_->CaptureKey(key, kind);
  if (taken) refresh();
  return taken;
}

void KeyDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();  // neither OK nor Cancel
      return;
    case Qt::Key_F1:
      if (session_ && !session_->Recording()) OpenManual(programFolder_, core_.Lang(), this);
      event->accept();
      return;
    default:
      SkinnedWindow::keyPressEvent(event);
  }
}

// ---- Macro page ---------------------------------------------------------------------

void KeyDialog::toggleRecording() {
  if (!session_) return;
  if (session_->Recording()) {
    session_->StopRecording();
  } else {
    steps_->finishEdit();
    session_->StartRecording(static_cast<uint64_t>(clock_.elapsed()));
  }
  refresh();
}

void KeyDialog::addMacro() {
  if (session_->AddMacro() == EditResult::TooManyMacros) {
    QMessageBox::information(this, windowTitle(),
                             QString::fromStdString(core_.Lang().FormatTextOf("MACRO_ERR_MAX", static_cast<int>(kMaxMacros))));
  }
  refresh();
}

void KeyDialog::deleteMacro() {
  if (session_->CurrentMacro() < 0) return;
  if (session_->DeletingNeedsConfirmation() && !ask("MACRO_DELETE_CONFIRM_OF_KEYS")) return;
  if (!session_) return;  // closed while the question was open (the keyboard went away)
  session_->DeleteCurrentMacro();
  refresh();
}

void KeyDialog::clearSteps() {
  if (session_->Steps().empty()) return;
  if (!ask("MACRO_ACTION_CLEAR_CONFIRM") || !session_) return;
  session_->ClearSteps();
  refresh();
}

void KeyDialog::nameTyped(const QString& typed) {
  if (showing_) return;
  const int cursor = macros_->lineEdit()->cursorPosition();
  const QString kept = QString::fromStdString(session_->TypeName(typed.toStdString()));
  typingName_ = true;
  refresh();
  typingName_ = false;
  if (macros_->lineEdit()->text() != kept) macros_->lineEdit()->setText(kept);
  macros_->setItemText(session_->CurrentMacro(), kept);
  macros_->lineEdit()->setCursorPosition(std::min(cursor, static_cast<int>(kept.size())));
}

void KeyDialog::cyclesTyped(const QString& typed) {
  const int kept = session_->SetCyclesText(typed.toStdString());
  if (cycles_->text() != QString::number(kept)) cycles_->setText(QString::number(kept));
  showMemory();
}

void KeyDialog::stepEdited(int row, int column, int index) {
  if (column == kKeyColumn && index >= 0 && index < kKeyListLength) {
    session_->SetStepKey(row, ListPositionToKeyCode(static_cast<uint16_t>(index)));
  } else if (column == kKeyColumn && index >= kKeyListLength && index < kKeyListLength + static_cast<int>(kMouseActions.size())) {
    session_->SetStepKey(row, kMouseActions[static_cast<size_t>(index - kKeyListLength)]);
  } else if (column == kStateColumn && (index == 0 || index == 1)) {
    session_->SetStepState(row, static_cast<uint16_t>(index));
  }
  refresh();
}

void KeyDialog::delayEdited(int row, const QString& typed) {
  // Read as the number it starts with; a minus makes it too large, as "%u" would.
  const DelayEdit edit = session_->SetStepDelay(row, ScanInt(typed.toStdString(), 0));
  if (edit.tooLarge) {
    QMessageBox::information(this, windowTitle(),
                             QString::fromStdString(core_.Lang().FormatTextOf("MACRO_ACTION_ERR_DELAY_MAX",
                                                                              static_cast<int>(kMaxEditorDelayMs))));
  }
  refresh();
}

}  // namespace keyloft::app
