#include "sync/save_to_keyboard.h"

#include <gtest/gtest.h>

#include "device_fixture.h"
#include "printers.h"
#include "recording_prompts.h"

namespace keyloft {
namespace {

using test::RecordingPrompts;
using test::VirtualKeyboard;

std::pair<uint8_t, int> Sent(uint8_t command, int offset) { return {command, offset}; }

// Saves against the virtual keyboard, read through its trace.
class SaveToKeyboardTest : public ::testing::Test {
 protected:
  explicit SaveToKeyboardTest(int macroBlocks = emu::kDefaultMacroBlocks)
      : keyboard_(1, emu::Layout::kSplit, macroBlocks) {
    EXPECT_TRUE(test::ConnectDirectly(device_));
    device_.macroCapacity = 64 * 128;
    keyboard_.ClearTrace();
  }

  std::vector<std::pair<uint8_t, int>> CommandsAndOffsets() {
    std::vector<std::pair<uint8_t, int>> out;
    for (const auto& c : keyboard_.Commands()) out.emplace_back(c[3], c[5] | c[6] << 8);
    return out;
  }

  void AddMacro(size_t nameChars, size_t steps) {
    workspace_.Edit([&](ProfileData& w) {
      MacroRecord m;
      m.id = NextFreeMacroId(w.macros);
      m.name = std::u16string(nameChars, u'n');
      m.steps.assign(steps, {0, 0x01E, 0});
      w.macros.push_back(std::move(m));
    });
  }
  SaveOutcome Save(bool allProfiles = false) { return SaveToKeyboard(workspace_, device_, channel_, prompts_, allProfiles); }
  ProfileData Snapshot() {
    ProfileData copy;
    workspace_.Snapshot([](ProfileData&, ProfileData&) {}, [&](const ProfileData& upload) { copy = upload; });
    return copy;
  }

  VirtualKeyboard keyboard_;
  test::TestDevice device_{keyboard_.Config(), keyboard_.LockFolder()};
  CommandChannel channel_{device_};
  ProfileWorkspace workspace_;
  RecordingPrompts prompts_;
};

TEST_F(SaveToKeyboardTest, WritesMacrosThenTheActiveKeyMapInOneBracket) {
  AddMacro(4, 2);
  workspace_.Edit([](ProfileData& w) { w.block.arrays[0][KeyCodeToIndex(0x01E)] = {kAssignMacro, 1, 1}; });
  ASSERT_EQ(Save().result, SaveResult::Saved);
  auto sent = CommandsAndOffsets();
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ(sent.front(), Sent(CMD_READ_INFO, 0));  // the active profile
  EXPECT_EQ(sent[1].first, CMD_BEGIN);
  EXPECT_EQ(sent[2], Sent(CMD_WRITE_MACROS, 0));
  EXPECT_EQ(sent[3], Sent(CMD_WRITE_KEYMAP, 0));
  EXPECT_EQ(sent.back().first, CMD_END);
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(Snapshot().macros, workspace_.Read([](const ProfileData& w) { return w.macros; }));
  auto dump = keyboard_.Control("dump");
  EXPECT_NE(dump.find("\"macros\": \"aa55"), std::string::npos) << dump.substr(0, 400);
}

TEST_F(SaveToKeyboardTest, DropsNamesToFitAndSaysSoAfterTheWrites) {
  for (int i = 0; i < 3; ++i) AddMacro(100, 1);
  device_.macroCapacity = workspace_.Read([](const ProfileData& w) { return MacroImageSizes(w.macros).withoutNames; });
  const SaveOutcome saved = Save();
  ASSERT_EQ(saved.result, SaveResult::Saved);
  EXPECT_TRUE(saved.namesDropped);
  EXPECT_EQ(prompts_.shown, std::vector<std::string>{"EXTRA_PROFILE_SPACE_TIGHT"});
  EXPECT_EQ(CommandsAndOffsets().back().first, CMD_END);
}

TEST_F(SaveToKeyboardTest, RefusesMacrosThatCannotFitAndSendsNothing) {
  workspace_.SetWriteAll(true);
  AddMacro(1, 3000);
  EXPECT_EQ(Save().result, SaveResult::MacrosTooLong);
  EXPECT_EQ(prompts_.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
  EXPECT_TRUE(keyboard_.Commands().empty());
  EXPECT_TRUE(workspace_.WriteAll());
}

TEST_F(SaveToKeyboardTest, TheWriteAllFlagWritesEveryKeyMapOnce) {
  workspace_.SetWriteAll(true);
  ASSERT_EQ(Save().result, SaveResult::Saved);
  std::vector<int> keyMapOffsets;
  for (auto [command, offset] : CommandsAndOffsets()) {
    if (command == CMD_WRITE_KEYMAP && offset % 378 == 0) keyMapOffsets.push_back(offset);
  }
  EXPECT_EQ(keyMapOffsets, (std::vector<int>{0, 378, 756}));
  EXPECT_FALSE(workspace_.WriteAll());
}

TEST_F(SaveToKeyboardTest, PacksTextsAndTellsTheRecordsWhere) {
  workspace_.Edit([](ProfileData& w) {
    w.block.arrays[0][5] = {kAssignLaunch};
    w.texts.bySlot[5] = u"/usr/bin/xterm";  // 30 bytes
    w.block.arrays[1][7] = {kAssignKey, 0, 0x01E};
    w.texts.bySlot[512 + 7] = u"ignored";  // not a text-carrying type
    w.block.arrays[2][9] = {kAssignText};
    w.texts.bySlot[1024 + 9] = u"hi";
  });
  ASSERT_EQ(Save().result, SaveResult::Saved);
  workspace_.Read([](const ProfileData& w) {
    EXPECT_EQ(w.block.arrays[0][5].value, 0u);
    EXPECT_EQ(w.block.arrays[2][9].value, 30u);
  });
  const ProfileData upload = Snapshot();
  const auto& packed = upload.packedTexts;
  ASSERT_EQ(packed.size(), 30u + 16u + 6u);
  EXPECT_EQ(packed[0], '/');
  EXPECT_EQ(packed[30], 'h');
  EXPECT_EQ(upload.block.header[14], 0);   // macro count in the refreshed header
  EXPECT_EQ(upload.block.header[16], 52);  // text bytes
}

// With all three key maps to write, the first one refused and the others taken.
TEST_F(SaveToKeyboardTest, ARefusedFirstKeyMapFailsTheSave) {
  workspace_.SetWriteAll(true);
  AddMacro(2, 2);  // one macro chunk
  ASSERT_EQ(keyboard_.Control("refuse-after 3"), "ok");  // begin, the macros, then profile 1's first chunk
  const SaveOutcome saved = Save();
  EXPECT_EQ(saved.result, SaveResult::WriteFailed);
  EXPECT_EQ(saved.device, DevResult::StatusFF);
  const auto sent = CommandsAndOffsets();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().first, CMD_END);  // the other key maps went, and the bracket closed
  EXPECT_TRUE(workspace_.WriteAll());
  EXPECT_EQ(prompts_.shown, std::vector<std::string>{});
}

// The keyboard's macro area is one block, though the program was told 64.
class SmallMacroArea : public SaveToKeyboardTest {
 protected:
  SmallMacroArea() : SaveToKeyboardTest(1) {}
};

TEST_F(SmallMacroArea, ARefusedMacroWriteFailsTheSave) {
  AddMacro(10, 100);  // more than 128 bytes: the chunks past the area are refused
  workspace_.SetWriteAll(true);
  const SaveOutcome saved = Save();
  EXPECT_EQ(saved.result, SaveResult::WriteFailed);
  EXPECT_EQ(saved.device, DevResult::StatusFF);
  // The key maps and the end still went, and the keyboard took them; the next
  // save writes every key map again, as the positions they name may be stale.
  const auto sent = CommandsAndOffsets();
  EXPECT_EQ(sent.back().first, CMD_END);
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](auto c) { return c.first == CMD_WRITE_KEYMAP; }), 21);
  EXPECT_TRUE(workspace_.WriteAll());
}

}  // namespace
}  // namespace keyloft
