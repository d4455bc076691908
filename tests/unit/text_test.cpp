#include "util/text.h"

#include <gtest/gtest.h>

namespace keyloft {
namespace {

struct FormatCase {
  const char* format;
  FormatArg arg;
  const char* expected;
  friend void PrintTo(const FormatCase& c, std::ostream* os) { *os << '"' << c.format << '"'; }
};

class FormatTextCases : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextCases, FormatsOneArgumentAndCopiesAnythingElse) {
  EXPECT_EQ(FormatText(GetParam().format, GetParam().arg), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormatTextCases,
    ::testing::Values(
        FormatCase{"Unknown key (0x%03X)", 100LL, "Unknown key (0x064)"},
        FormatCase{"At most %d macros.", 100LL, "At most 100 macros."},
        FormatCase{"%u", -1LL, "18446744073709551615"},
        FormatCase{"File %s is damaged", std::string_view("/home/a/b.fwc"), "File /home/a/b.fwc is damaged"},
        FormatCase{"100%% done: %d", 5LL, "100% done: 5"},
        // A text with the wrong placeholders never reads a second argument.
        FormatCase{"%d and %d", 7LL, "7 and %d"},
        FormatCase{"%s%s", std::string_view("x"), "x%s"},
        FormatCase{"%n %p %f", 1LL, "%n %p %f"},
        // The other kind of argument is printed as it is.
        FormatCase{"%s", 42LL, "42"},
        FormatCase{"%d", std::string_view("path"), "path"},
        // Absurd widths are not honoured; a trailing % is kept.
        FormatCase{"%99999999d", 1LL, "%99999999d"},
        FormatCase{"50%", 1LL, "50%"},
        FormatCase{"%ld", 12LL, "12"}));

TEST(CountPlaceholders, CountsConversionsButNotPercentSigns) {
  auto p = CountPlaceholders("%%%s at %03X");
  EXPECT_EQ(p.count, 2);
  EXPECT_EQ(p.strings, 1);
  EXPECT_EQ(p.integers, 1);
  EXPECT_EQ(CountPlaceholders("Macro ").count, 0);
}

TEST(ScanInt, ReadsLikePercentD) {
  EXPECT_EQ(ScanInt("1", 0), 1);
  EXPECT_EQ(ScanInt("  -12abc", 0), -12);
  EXPECT_EQ(ScanInt("+7", 0), 7);
  EXPECT_EQ(ScanInt("abc", 9), 9);
  EXPECT_EQ(ScanInt("", 9), 9);
  EXPECT_EQ(ScanInt("-", 9), 9);
  EXPECT_EQ(ScanInt("99999999999999999999", 0), INT_MAX);
  EXPECT_EQ(ScanInt("-99999999999999999999", 0), INT_MIN);
}

TEST(TruncateCodePoints, NeverCutsAMultiByteCharacter) {
  EXPECT_EQ(TruncateCodePoints("héllo", 2), "hé");
  EXPECT_EQ(TruncateCodePoints("↑↓", 1), "↑");
  EXPECT_EQ(TruncateCodePoints("abc", 10), "abc");
  EXPECT_EQ(TruncateCodePoints("abc", 0), "");
  EXPECT_EQ(CountCodePoints("a↑é"), 3u);
}

TEST(EqualsIgnoreCase, FoldsAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("KeyColor", "KEYCOLOR"));
  EXPECT_FALSE(EqualsIgnoreCase("Key", "Keys"));
  EXPECT_TRUE(StartsWithIgnoreCase("DWORD:1", "dword:"));
}

}  // namespace
}  // namespace keyloft

namespace keyloft {
namespace {

TEST(Utf, ConvertsBothWaysAndReplacesWhatIsMalformed) {
  EXPECT_EQ(Utf8ToUtf16("Fire ↑ 😀"), u"Fire ↑ 😀");
  EXPECT_EQ(Utf16ToUtf8(u"Fire ↑ 😀"), "Fire ↑ 😀");
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");            // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF" "b"), u"\uFFFD" "b");     // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80" "c"), u"\uFFFD" "c");  // a surrogate
  EXPECT_EQ(Utf8ToUtf16("\xFF" "d"), u"\uFFFD" "d");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"e"), "\xEF\xBF\xBD" "e");  // a lone surrogate
}

}  // namespace
}  // namespace keyloft
