// keyloft --check-assets: whether the program folder holds what the windows
// load (the skin's layout files and pictures, the language file, the manual,
// the icons), so an installation can be checked without a display.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace keyloft::app {

struct AssetReport {
  std::vector<std::string> found;     // one line per group of assets that is all there
  std::vector<std::string> problems;  // one line per file that is missing or does not load
};

AssetReport CheckAssets(const std::filesystem::path& programFolder);

// Prints the report; 0 when nothing is wrong, else 1.
int PrintAssetReport(const std::filesystem::path& programFolder, std::ostream& out);

}  // namespace keyloft::app
