// The profile manager: which onboard profile is the keyboard's active one,
// and a list of profile files the user keeps. Its first three rows stand for
// the onboard profiles; a row the user adds is a file, and its box cannot be
// ticked, so no such row is ever sent to the keyboard as a profile. Apply
// records the list in the settings and makes the ticked row the active profile.
#pragma once

#include <filesystem>
#include <memory>

#include "app/desktop_ports.h"
#include "app/sequence_runner.h"
#include "sync/core.h"
#include "ui/controls/image_button.h"
#include "ui/controls/report_list.h"
#include "ui/skin/skin_pictures.h"
#include "app/skinned_window.h"

namespace keyloft::app {

class ProfileManagerDialog : public SkinnedWindow {
  Q_OBJECT

 public:
  ProfileManagerDialog(KeyloftCore& core, SequenceRunner& runner, DesktopPorts& ports, SkinPictureCache& cache,
                       const std::filesystem::path& programFolder, QWidget* parent = nullptr);

  // Fills the list afresh and shows the dialog until OK or Cancel. A skin that
  // cannot be loaded is told, and the dialog does not open.
  void run();
  // Cancel, when open (the keyboard went away, or the program ends).
  void closeIfOpen();
  // Row p ticked, nothing pending: the keyboard switched meanwhile.
  void selectRowQuiet(int profile);

  // Add and Load after their file dialogs: a new default profile file, or an
  // existing one, becomes a row. False when the new file could not be made.
  bool addFile(const std::filesystem::path& file);
  void loadFile(const std::filesystem::path& file);

  ReportList& list() { return *list_; }
  bool pending() const { return pending_; }

  // Escape and the window manager's close are Cancel: the dialog is finished.
  void reject() override;

 signals:
  void helpRequested();

 protected:
  // F1 help, Space ticks the selected row, Enter is OK.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void placeControls();
  void fill();
  // Rows 0..2 are the keyboard's own profiles; later rows name files kept.
  void appendOnboardRow(int profile);
  void appendFile(const std::filesystem::path& file);
  void selectionChanged();
  void markChanged();
  void clearChanged();
  void add();
  void load();
  void remove();
  void applyChanges();
  void finish(int result);
  QString textOr(std::string_view key, const QString& fixed) const;

  KeyloftCore& core_;
  SequenceRunner& runner_;
  DesktopPorts& ports_;
  SkinPictureCache& cache_;
  ReportList* list_ = nullptr;
  bool pending_ = false;
  bool open_ = false;
};

}  // namespace keyloft::app
