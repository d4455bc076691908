// The manual that comes with the program: Help/index.html beside it, opened
// with the desktop's browser; when it is not there, the user is told where it
// was looked for. The skin's links lead there too, or to a web address.
#pragma once

#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string_view>

#include "lang/localisation.h"

namespace keyloft::app {

std::filesystem::path ManualPath(const std::filesystem::path& programFolder);

// False when the manual is missing or no browser could be started (the user was told).
bool OpenManual(const std::filesystem::path& programFolder, const Localisation& lang, QWidget* parent);

// Where a link of the skin leads: an http or https address as it stands, or a
// file named relative to the program folder (the installed manual). Nothing
// for any other scheme, an absolute path, or a path that climbs out of the folder.
struct LinkTarget {
  QUrl web;                    // valid for a web address
  std::filesystem::path file;  // else the file in the program folder
};
std::optional<LinkTarget> ResolveLink(std::string_view address, const std::filesystem::path& programFolder);

// Opens a folder in the desktop's file manager; false (the user was told) when it could not.
bool OpenFolder(const std::filesystem::path& folder, const Localisation& lang, QWidget* parent);

// Opens a link of the skin; false when it leads nowhere or could not be opened (the user was told).
bool OpenLink(std::string_view address, const std::filesystem::path& programFolder, const Localisation& lang,
              QWidget* parent);

}  // namespace keyloft::app
