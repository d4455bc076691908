#include "util/ini_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"

namespace keyloft {
namespace {

using test::TempDir;

constexpr std::string_view kSample =
    "; settings\n"
    "[Keycolor]\n"
    "  DengCheck = 1  \n"
    "Empty=\n"
    "Quoted=\"  padded  \"\n"
    "Single='x'\n"
    "NoEquals\n"
    ";Hidden=1\n"
    "[Other]\n"
    "DengCheck=2\n"
    "[KEYCOLOR]\n"
    "Late=3\n";

struct FindCase {
  const char* section;
  const char* key;
  std::optional<std::string> expected;
  friend void PrintTo(const FindCase& c, std::ostream* os) { *os << c.section << "/" << c.key; }
};

class FindIniValueCases : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindIniValueCases, ReadsAsTheWindowsCallsDo) {
  EXPECT_EQ(FindIniValue(kSample, GetParam().section, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, FindIniValueCases,
    ::testing::Values(FindCase{"KEYCOLOR", "dengcheck", "1"},  // names without case, value trimmed
                      FindCase{"other", "DengCheck", "2"},
                      FindCase{"KeyColor", "Empty", ""},  // present but empty is not missing
                      FindCase{"KeyColor", "Quoted", "  padded  "},
                      FindCase{"KeyColor", "Single", "x"},
                      FindCase{"KeyColor", "NoEquals", std::nullopt},
                      FindCase{"KeyColor", ";Hidden", std::nullopt},
                      FindCase{"KeyColor", "Late", "3"},  // a repeated section is searched too
                      FindCase{"Missing", "DengCheck", std::nullopt},
                      FindCase{"KeyColor", "Missing", std::nullopt}));

TEST(FindIniValue, ByteOrderMarkAndCrLfReadTheSame) {
  EXPECT_EQ(FindIniValue("\xEF\xBB\xBF[TEXT]\r\nA=One\r\nB=\r\n", "TEXT", "A"), "One");
  EXPECT_EQ(FindIniValue("\xEF\xBB\xBF[TEXT]\r\nA=One\r\nB=\r\n", "TEXT", "B"), "");
}

TEST(FindIniValue, KeysBeforeAnySectionNeverMatch) {
  EXPECT_EQ(FindIniValue("A=1\n[S]\nB=2\n", "", "A"), std::nullopt);
  EXPECT_EQ(FindIniValue("[]\nA=1\n", "", "A"), "1");
}

TEST(SetIniValue, ChangesOneLineAndKeepsEveryOtherByte) {
  std::string text = "; keep me\n[A]\nx = 1 ; not a comment\n\n[B]\ny=2\n";
  EXPECT_EQ(SetIniValue(text, "a", "X", "9"), "; keep me\n[A]\nx=9\n\n[B]\ny=2\n");
}

TEST(SetIniValue, AddsAKeyAtTheEndOfItsFirstSection) {
  EXPECT_EQ(SetIniValue("[A]\nx=1\n\n[B]\ny=2\n[A]\nz=3\n", "A", "w", "4"),
            "[A]\nx=1\nw=4\n\n[B]\ny=2\n[A]\nz=3\n");
  EXPECT_EQ(SetIniValue("[A]\nx=1", "A", "w", "4"), "[A]\nx=1\nw=4\n");
  EXPECT_EQ(SetIniValue("[A]", "A", "w", "4"), "[A]\nw=4\n");
}

TEST(SetIniValue, AddsAMissingSectionAtTheEnd) {
  EXPECT_EQ(SetIniValue("", "S", "k", "v"), "[S]\nk=v\n");
  EXPECT_EQ(SetIniValue("[A]\nx=1", "S", "k", "v"), "[A]\nx=1\n\n[S]\nk=v\n");
  EXPECT_EQ(SetIniValue("[A]\nx=1\n\n", "S", "k", "v"), "[A]\nx=1\n\n[S]\nk=v\n");
}

TEST(SetIniValue, KeepsCrLfAndTheByteOrderMark) {
  EXPECT_EQ(SetIniValue("\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "y", "2"), "\xEF\xBB\xBF[A]\r\nx=1\r\ny=2\r\n");
  EXPECT_EQ(SetIniValue("\xEF\xBB\xBF", "A", "y", "2"), "\xEF\xBB\xBF[A]\ny=2\n");
}

TEST(SetIniValue, RefusesWhatCannotBeStoredInOneLine) {
  for (auto [section, key, value] : {std::tuple{"S", "k", "a\nb=evil"}, std::tuple{"S", "k", "a\rb"},
                                     std::tuple{"S\n[T", "k", "v"}, std::tuple{"S]", "k", "v"},
                                     std::tuple{"S", "k=x", "v"}, std::tuple{"S", "", "v"},
                                     std::tuple{"S", " k", "v"}, std::tuple{"S", ";k", "v"},
                                     std::tuple{"S", "[k", "v"}}) {
    EXPECT_EQ(SetIniValue("[S]\nk=1\n", section, key, value), std::nullopt) << section << "/" << key;
  }
}

TEST(SetIniValue, EveryStorableValueReadsBackExactly) {
  for (std::string_view value : {"", " lead", "trail ", "\"quoted\"", "'single'", "\"", "a=b;c", "日本語 ↑",
                                 "\"half", "  \"both\"  "}) {
    auto text = SetIniValue("[S]\n", "S", "k", value);
    ASSERT_TRUE(text);
    EXPECT_EQ(FindIniValue(*text, "S", "k"), value) << *text;
  }
}

TEST(IniFile, ReadsWithTheFixedBufferAndTheDefault) {
  TempDir dir;
  std::string longValue(300, 'a');
  std::string longWide;
  for (int i = 0; i < 300; ++i) longWide += "é";
  auto file = dir.Write("t.ini", "[S]\nlong=" + longValue + "\nwide=" + longWide + "\nempty=\n");

  EXPECT_EQ(ReadIniString(file, "S", "long", "d"), std::string(259, 'a'));
  EXPECT_EQ(ReadIniString(file, "S", "wide", "d").size(), 259u * 2);  // characters, not bytes
  EXPECT_EQ(ReadIniString(file, "S", "empty", "d"), "");
  EXPECT_EQ(ReadIniString(file, "S", "none", "#Error"), "#Error");
  EXPECT_EQ(ReadIniString(dir / "missing.ini", "S", "long", "#Error"), "#Error");
  EXPECT_EQ(ReadIniString(file, "S", "none", longValue), std::string(259, 'a'));
  EXPECT_EQ(ReadIniValue(file, "S", "long"), longValue);
}

TEST(IniFile, WriteCreatesTheFileAndReachesTheDiskAtOnce) {
  TempDir dir;
  auto file = dir / "new.ini";
  ASSERT_TRUE(WriteIniString(file, "KEYCOLOR", "DengCheck", "1"));
  ASSERT_TRUE(WriteIniString(file, "KEYCOLOR", "Other", "2"));
  EXPECT_EQ(dir.Read("new.ini"), "[KEYCOLOR]\nDengCheck=1\nOther=2\n");
  EXPECT_FALSE(WriteIniString(dir / "no-folder" / "x.ini", "S", "k", "v"));
}

TEST(IniFile, AFailedWriteLeavesTheOldFileAndNoLeftovers) {
  TempDir dir;
  auto file = dir.Write("keep.ini", "[S]\nk=old\n");
  EXPECT_FALSE(WriteIniString(file, "S", "k", "new\n[S]\nk=evil"));
  EXPECT_EQ(dir.Read("keep.ini"), "[S]\nk=old\n");

  // A folder standing where the file should be cannot be replaced.
  std::filesystem::create_directory(dir / "blocked.ini");
  EXPECT_FALSE(WriteIniString(dir / "blocked.ini", "S", "k", "v"));
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2);  // keep.ini and blocked.ini, no temporary files
}

// A file in another encoding (UTF-16, as Windows may save it) is never
// appended to in UTF-8: the write is refused and the file stays as it was.
TEST(IniFile, AFileInAnotherEncodingIsNotWrittenInto) {
  TempDir dir;
  const std::string utf16("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0" "1\0", 18);
  const std::string bigEndian("\xFE\xFF\0[\0S\0]", 8);
  for (const std::string& text : {utf16, bigEndian, std::string("[S]\nk=1\0\n", 9)}) {
    const auto file = dir.Write("wide.ini", text);
    EXPECT_FALSE(WriteIniString(file, "S", "k", "2"));
    const IniValue one{"k", "2"};
    EXPECT_FALSE(WriteIniStrings(file, "S", std::span(&one, 1)));
    EXPECT_EQ(dir.Read("wide.ini"), text);
  }
  // A UTF-8 byte order mark is this program's own encoding.
  const auto marked = dir.Write("marked.ini", "\xEF\xBB\xBF[S]\nk=1\n");
  EXPECT_TRUE(WriteIniString(marked, "S", "k", "2"));
  EXPECT_EQ(dir.Read("marked.ini"), "\xEF\xBB\xBF[S]\nk=2\n");
}

TEST(IniFile, WriteKeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  auto target = dir.Write("real.ini", "[S]\nk=1\n");
  ::chmod(target.c_str(), 0600);
  std::filesystem::create_symlink(target, dir / "link.ini");

  ASSERT_TRUE(WriteIniString(dir / "link.ini", "S", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(dir.Read("real.ini"), "[S]\nk=2\n");
  struct stat st{};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace keyloft
