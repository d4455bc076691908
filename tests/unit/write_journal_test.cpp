#include "store/write_journal.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace keyloft {
namespace {

WriteJournal Sample() {
  WriteJournal j;
  j.vendorId = 0x0c45;
  j.productId = 0x652f;
  j.macroImage = {0xAA, 0x55, 0x10, 0x00, 1, 2, 3};
  j.keyMaps = {{0, std::vector<uint8_t>(378, 7)}, {2, std::vector<uint8_t>(378, 9)}};
  return j;
}

TEST(WriteJournal, ComesBackAsItWasWritten) {
  test::TempDir dir;
  const auto file = WriteJournalFile(dir.Path() / "state", 0x0c45, 0x652f);
  EXPECT_EQ(file.filename(), "write-journal-0c45-652f");
  ASSERT_TRUE(SaveWriteJournal(file, Sample()));  // the folder is made
  EXPECT_EQ(LoadWriteJournal(file), Sample());
  RemoveWriteJournal(file);
  EXPECT_FALSE(LoadWriteJournal(file));
}

// A journal that does not hold together is never written to a keyboard.
TEST(WriteJournal, OneThatDoesNotHoldTogetherIsNone) {
  const std::vector<uint8_t> good = EncodeWriteJournal(Sample());
  ASSERT_TRUE(DecodeWriteJournal(good));
  for (size_t at = 0; at < good.size(); at += 37) {
    auto flipped = good;
    flipped[at] ^= 0x04;
    EXPECT_FALSE(DecodeWriteJournal(flipped)) << "byte " << at;
  }
  for (size_t size : {size_t{0}, size_t{7}, good.size() - 1}) {
    EXPECT_FALSE(DecodeWriteJournal(std::span(good).first(size))) << size;
  }
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(DecodeWriteJournal(longer));
}

}  // namespace
}  // namespace keyloft
