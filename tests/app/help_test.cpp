// Where the skin's links lead: web addresses as they stand, files only inside
// the program folder, nothing else; and what --check-assets finds in a folder.
#include <gtest/gtest.h>

#include <fstream>

#include "app/asset_check.h"
#include "app/help.h"
#include "temp_dir.h"

namespace keyloft::app {
namespace {

namespace fs = std::filesystem;

TEST(ResolveLink, WebAddressesAndFilesInsideTheProgramFolder) {
  const fs::path folder = "/usr/lib/keyloft";
  struct Case {
    const char* address;
    const char* web;   // expected web address, or nullptr
    const char* file;  // expected file, or nullptr
  };
  const Case cases[] = {
      {"https://example.org/keys", "https://example.org/keys", nullptr},
      {"HTTP://example.org/", "http://example.org/", nullptr},
      {"Help/index.html", nullptr, "/usr/lib/keyloft/Help/index.html"},
      {"  Help/./index.html ", nullptr, "/usr/lib/keyloft/Help/index.html"},
      {"Help/../Help/index.html", nullptr, "/usr/lib/keyloft/Help/index.html"},
      // Nothing outside the folder, no other scheme, no empty link.
      {"../../../etc/passwd", nullptr, nullptr},
      {"Help/../../x.html", nullptr, nullptr},
      {"/etc/passwd", nullptr, nullptr},
      {"file:///etc/passwd", nullptr, nullptr},
      {"javascript:alert(1)", nullptr, nullptr},
      {"https://", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const std::optional<LinkTarget> target = ResolveLink(c.address, folder);
    if (!c.web && !c.file) {
      EXPECT_FALSE(target.has_value());
      continue;
    }
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->web.toString().toStdString(), c.web ? c.web : "");
    EXPECT_EQ(target->file, fs::path(c.file ? c.file : ""));
  }
}

bool Mentions(const std::vector<std::string>& lines, std::string_view text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

TEST(CheckAssets, TheShippedAssetsAreAllThere) {
  const AssetReport report = CheckAssets(KEYLOFT_ASSETS_DIR);
  EXPECT_TRUE(report.problems.empty()) << report.problems.front();
  EXPECT_TRUE(Mentions(report.found, "Help/index.html"));
  EXPECT_TRUE(Mentions(report.found, "Skins/Main.ini"));
}

TEST(CheckAssets, NamesEveryFileThatIsMissingOrBroken) {
  test::TempDir copy;
  fs::copy(KEYLOFT_ASSETS_DIR, copy.Path(), fs::copy_options::recursive);
  fs::remove(copy.Path() / "Skins" / "Arrow.jpg");
  std::ofstream(copy.Path() / "Skins" / "hong.bmp", std::ios::trunc) << "not a picture";
  fs::remove(copy.Path() / "icons" / "keyloft-playing-22.png");
  fs::remove(copy.Path() / "Skins" / "media_normal.jpg");  // a page's background, no button's

  const AssetReport report = CheckAssets(copy.Path());
  ASSERT_EQ(report.problems.size(), 4u);
  EXPECT_TRUE(Mentions(report.problems, "missing: Skins/Arrow.jpg"));
  EXPECT_TRUE(Mentions(report.problems, "does not load: Skins/hong.bmp"));
  EXPECT_TRUE(Mentions(report.problems, "missing: icons/keyloft-playing-22.png"));
  EXPECT_TRUE(Mentions(report.problems, "missing: Skins/media_normal.jpg"));
  // The groups without a problem are still reported as found.
  EXPECT_TRUE(Mentions(report.found, "Skins/Profile.ini"));
  EXPECT_FALSE(Mentions(report.found, "Skins/Main.ini"));
}

}  // namespace
}  // namespace keyloft::app
