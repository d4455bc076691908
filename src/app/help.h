// The manual that comes with the program: Help/index.html beside it, opened
// with the desktop's browser; when it is not there, the user is told where it
// was looked for.
#pragma once

#include <QWidget>
#include <filesystem>

#include "lang/localisation.h"

namespace keyloft::app {

std::filesystem::path ManualPath(const std::filesystem::path& programFolder);

// False when the manual is missing or no browser could be started (the user was told).
bool OpenManual(const std::filesystem::path& programFolder, const Localisation& lang, QWidget* parent);

}  // namespace keyloft::app
