#include "app/asset_check.h"

#include <QImageReader>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/help.h"
#include "app/tray.h"
#include "lang/localisation.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"

namespace keyloft::app {
namespace {

namespace fs = std::filesystem;

std::string Relative(const fs::path& file, const fs::path& folder) { return file.lexically_relative(folder).string(); }

class Checker {
 public:
  explicit Checker(fs::path folder) : folder_(std::move(folder)) {}

  void Problem(std::string line) { report_.problems.push_back(std::move(line)); }

  bool File(const fs::path& file) {
    std::error_code ec;
    if (fs::is_regular_file(file, ec) && fs::file_size(file, ec) > 0) return true;
    Problem("missing: " + Relative(file, folder_));
    return false;
  }

  bool Picture(const fs::path& file) {
    if (!File(file)) return false;
    QImageReader reader(QString::fromStdString(file.string()));
    if (!reader.read().isNull()) return true;
    Problem("does not load: " + Relative(file, folder_) + " (" +
                               reader.errorString().toStdString() + ")");
    return false;
  }

  // A group is reported as found only when every one of its files was.
  void Group(const std::string& name, size_t problemsBefore) {
    if (report_.problems.size() == problemsBefore) report_.found.push_back(name);
  }

  size_t Problems() const { return report_.problems.size(); }
  AssetReport Take() { return std::move(report_); }

 private:
  fs::path folder_;
  AssetReport report_;
};

struct Window {
  std::string_view layoutFile;
  const std::vector<SkinEntry>& (*entries)();
  std::vector<std::string_view> extraPictures;
};

// The pictures of sets a window wears beside its layout's buttons.
std::vector<std::string_view> NamesOf(std::initializer_list<SkinImageNames> sets) {
  std::vector<std::string_view> names;
  for (const SkinImageNames& set : sets) names.insert(names.end(), set.begin(), set.end());
  return names;
}

void CheckWindow(Checker& check, const fs::path& skin, const Window& window) {
  const size_t before = check.Problems();
  const fs::path file = skin / window.layoutFile;
  if (!check.File(file)) return;
  const SkinLayout layout(file);
  std::set<std::string> pictures;
  for (std::string_view key : {"Main", "Mask"}) {
    const std::string name = layout.Screen(key);
    if (name.empty()) {
      check.Problem("missing: the SCREEN value " + std::string(key) + " of Skins/" + std::string(window.layoutFile));
    } else {
      pictures.insert(name);
    }
  }
  for (std::string_view name : PicturesOf(window.entries())) pictures.emplace(name);
  for (std::string_view name : window.extraPictures) pictures.emplace(name);
  for (const std::string& name : pictures) check.Picture(layout.PicturePath(name));
  check.Group("Skins/" + std::string(window.layoutFile) + " and its " + std::to_string(pictures.size()) + " pictures",
              before);
}

// The manual and the pictures and pages it links to beside it.
void CheckManual(Checker& check, const fs::path& programFolder) {
  const size_t before = check.Problems();
  const fs::path manual = ManualPath(programFolder);
  if (!check.File(manual)) return;
  std::ifstream in(manual);
  std::stringstream text;
  text << in.rdbuf();
  const std::string html = text.str();
  static const std::regex kReference(R"((?:src|href)\s*=\s*"([^"#?:]+)(?:[#?][^"]*)?")");
  size_t references = 0;
  for (std::sregex_iterator it(html.begin(), html.end(), kReference), end; it != end; ++it) {
    const fs::path target = manual.parent_path() / (*it)[1].str();
    ++references;
    if (target.extension() == ".png" || target.extension() == ".jpg") {
      check.Picture(target);
    } else {
      check.File(target);
    }
  }
  check.Group("Help/index.html and the " + std::to_string(references) + " files it refers to", before);
}

}  // namespace

AssetReport CheckAssets(const fs::path& programFolder) {
  Checker check(programFolder);
  const fs::path skin = programFolder / kSkinFolderName;

  const Window windows[] = {
      {kMainLayoutFile, MainLayoutEntries, {kMainNormal, kMainOver, kMainDown, kMainDisable, kArrowPicture,
                                            kMainColor0, kMainColor1}},
      // The macro button's own set and the media and function pages' backgrounds.
      {kCompositeLayoutFile, CompositeLayoutEntries, NamesOf({kMacro2Set, kMediaSet, kFunctionSet})},
      {kProfileLayoutFile, ProfileLayoutEntries, {}},
  };
  for (const Window& window : windows) CheckWindow(check, skin, window);

  size_t before = check.Problems();
  for (std::string_view name : LightingPanelBitmaps()) check.Picture(skin / name);
  check.Group("the lighting panel's " + std::to_string(LightingPanelBitmaps().size()) + " pictures", before);

  before = check.Problems();
  const Localisation lang(programFolder, kSupportedLanguages[0]);
  const fs::path languageFile = lang.LanguageFile(0);
  if (check.File(languageFile) && lang.GetText("MAIN_CAPTION") == kMissingText) {
    check.Problem("does not load: " + Relative(languageFile, programFolder) + " (it has no MAIN_CAPTION text)");
  }
  check.Group(Relative(languageFile, programFolder), before);

  CheckManual(check, programFolder);

  before = check.Problems();
  size_t icons = 0;
  for (TrayIcon state : {TrayIcon::Disconnected, TrayIcon::Connected, TrayIcon::MacroPlaying}) {
    for (int size : kStateIconSizes) {
      check.Picture(StateIconFile(programFolder, state, size));
      ++icons;
    }
  }
  check.Group("the " + std::to_string(icons) + " icons", before);
  return check.Take();
}

int PrintAssetReport(const fs::path& programFolder, std::ostream& out) {
  const AssetReport report = CheckAssets(programFolder);
  out << "program folder: " << programFolder.string() << "\n";
  for (const std::string& line : report.found) out << "ok: " << line << "\n";
  for (const std::string& line : report.problems) out << line << "\n";
  const size_t n = report.problems.size();
  if (n == 0) {
    out << "all assets are there\n";
  } else {
    out << n << (n == 1 ? " asset is" : " assets are") << " missing or cannot be loaded\n";
  }
  return report.problems.empty() ? 0 : 1;
}

}  // namespace keyloft::app
