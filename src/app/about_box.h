// The about box: one at a time, beside the main window, not in its way (it
// does not block the window). Its texts come from the language file; its link
// opens the manual that comes with the program.
#pragma once

#include <QDialog>
#include <filesystem>

#include "lang/localisation.h"

namespace keyloft::app {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  AboutBox(const Localisation& lang, std::filesystem::path manual, QWidget* parent = nullptr);

 signals:
  void manualRequested();
};

}  // namespace keyloft::app
