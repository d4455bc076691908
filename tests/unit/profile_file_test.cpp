#include "store/profile_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "device_fixture.h"
#include "printers.h"
#include "recording_prompts.h"
#include "sync/profile_import.h"
#include "temp_dir.h"
#include "util/bytes.h"

namespace keyloft {
namespace {

using test::RecordingPrompts;
using test::TempDir;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Two macros and two texts of 20 and 44 bytes (with their terminators).
ProfileData TwoMacrosTwoTexts() {
  ProfileData p;
  BuildDefaultProfile(p);
  for (uint16_t id : {1, 2}) {
    MacroRecord m;
    m.id = id;
    m.name = u"Macro";
    m.steps = {{100, 0x01E, kStepPress}, {0, 0x01E, kStepRelease}};
    p.macros.push_back(m);
  }
  p.block.arrays[0][30] = {kAssignLaunch, 0, 999};
  p.texts.bySlot[30] = u"/bin/true";  // 9 characters: 20 bytes
  p.block.arrays[1][7] = {kAssignText, 0, 999};
  p.texts.bySlot[512 + 7] = std::u16string(21, u'x');  // 44 bytes
  return p;
}

class ProfileFiles : public ::testing::Test {
 protected:
  std::filesystem::path Save(ProfileData& p, const std::string& name = "p.fwc") {
    auto path = dir_ / name;
    EXPECT_TRUE(SaveProfileFile(path, p));
    return path;
  }
  int Validate(const std::filesystem::path& path) { return ValidateProfileFile(path, prompts_); }

  TempDir dir_;
  RecordingPrompts prompts_;
};

TEST_F(ProfileFiles, TheDefaultModelMakesTheSmallestFile) {
  ASSERT_TRUE(CreateDefaultProfileFile(dir_ / "d.fwc"));
  auto bytes = Bytes(dir_.Read("d.fwc"));
  ASSERT_EQ(bytes.size(), kRecordBlockBytes);
  std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 32);
  std::vector<uint8_t> expected = {0x46, 0x44, 0x20, 0x00, 0x03, 0x00, 0x01, 0x00, 0x40, 0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00};
  expected.resize(31, 0);
  expected.push_back(0x76);
  EXPECT_EQ(header, expected);
  EXPECT_EQ(bytes[32], 0x4B);  // the identification record follows
  EXPECT_EQ(GetU16(bytes, 64 + 256 * 16 + 2), 0x0301);  // array 0's first G-key
  EXPECT_EQ(GetU16(bytes, 64 + 8192 + 256 * 16 + 2), 0);  // the other arrays are all zero
  EXPECT_EQ(Validate(dir_ / "d.fwc"), kProfileFileValid);
}

TEST_F(ProfileFiles, MacrosAndTextsFollowTheBlock) {
  ProfileData model = TwoMacrosTwoTexts();
  auto path = Save(model);
  auto bytes = Bytes(dir_.Read("p.fwc"));
  ASSERT_EQ(bytes.size(), 97920u);
  EXPECT_EQ(GetU32(bytes, 8), 97920u);
  EXPECT_EQ(GetU16(bytes, 14), 2);
  EXPECT_EQ(GetU32(bytes, 16), 64u);
  EXPECT_EQ(bytes[31], 0xF7);
  EXPECT_EQ(GetU32(bytes, 64 + 30 * 16 + 4), 0u);                 // the first text starts the pool
  EXPECT_EQ(GetU32(bytes, 64 + 8192 + 7 * 16 + 4), 20u);          // the second follows it
  EXPECT_EQ(GetU16(bytes, 97920 - 64), u'/');

  ProfileData loaded;
  ASSERT_TRUE(LoadProfileFile(path, loaded));
  EXPECT_EQ(loaded.macros, model.macros);
  EXPECT_EQ(loaded.block.arrays, model.block.arrays);
  EXPECT_EQ(loaded.texts.bySlot[30], u"/bin/true");
  EXPECT_EQ(loaded.texts.bySlot[512 + 7], std::u16string(21, u'x'));
  EXPECT_EQ(loaded.texts.TotalBytes(), 64u);
}

TEST_F(ProfileFiles, DamagedHeadersAreRefusedWithTheFormatMessage) {
  ProfileData model = TwoMacrosTwoTexts();
  auto good = Bytes(dir_.Read(Save(model).filename().string()));
  auto write = [&](const std::vector<uint8_t>& b) {
    return dir_.Write("bad.fwc", std::string(b.begin(), b.end()));
  };
  for (size_t byte : {0u, 4u, 12u, 14u, 20u, 30u}) {  // any header byte without its checksum
    auto bad = good;
    bad[byte] ^= 0x01;
    prompts_.shown.clear();
    EXPECT_EQ(Validate(write(bad)), kProfileFileRejected) << byte;
    EXPECT_EQ(prompts_.shown, std::vector<std::string>{"PROFILE_FORMAT_ERROR " + (dir_ / "bad.fwc").string()});
  }

  auto tooMany = good;  // 101 macros, with a total and checksum that agree
  PutU16(tooMany, 14, 101);
  PutU32(tooMany, 8, 101 * 32512 + 64 + 32832);
  tooMany[31] = 0;
  for (int i = 0; i < 31; ++i) tooMany[31] = static_cast<uint8_t>(tooMany[31] + tooMany[i]);
  EXPECT_EQ(Validate(write(tooMany)), kProfileFileRejected);

  // A file that holds less than its header declares is damaged too.
  EXPECT_EQ(Validate(write(std::vector<uint8_t>(good.begin(), good.end() - 1))), kProfileFileRejected);
  prompts_.shown.clear();
  ProfileData untouched = TwoMacrosTwoTexts();
  EXPECT_FALSE(LoadProfileFile(dir_ / "bad.fwc", untouched));
  EXPECT_EQ(untouched.macros.size(), 2u);
}

// Behind a good header, values no program writes: the file is refused as a
// damaged one, before anything could reach the keyboard, and says where.
struct BodyDamageCase {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* found;
};

class DamagedBodies : public ProfileFiles, public ::testing::WithParamInterface<BodyDamageCase> {};

constexpr size_t kSecondRecord = 64 + 5 * kAssignmentBytes;  // array 0, record 5
constexpr size_t kFirstMacro = kRecordBlockBytes;
constexpr size_t kSecondMacro = kRecordBlockBytes + kMacroRecordBytes;
constexpr size_t kPool = kRecordBlockBytes + 2 * kMacroRecordBytes;

void SetRecord(std::vector<uint8_t>& b, uint16_t type, uint32_t value) {
  PutU16(b, kSecondRecord, type);
  PutU32(b, kSecondRecord + 4, value);
}

TEST_P(DamagedBodies, AreRefusedAndSayWhere) {
  ProfileData model = TwoMacrosTwoTexts();
  auto bytes = Bytes(dir_.Read(Save(model).filename().string()));
  GetParam().damage(bytes);
  const auto path = dir_.Write("bad.fwc", std::string(bytes.begin(), bytes.end()));
  std::string damage;
  EXPECT_EQ(ValidateProfileFile(path, prompts_, &damage), kProfileFileRejected);
  EXPECT_NE(damage.find(GetParam().found), std::string::npos) << damage;
  EXPECT_EQ(prompts_.shown, std::vector<std::string>{"PROFILE_FORMAT_ERROR " + path.string()});
  ProfileData untouched = TwoMacrosTwoTexts();
  EXPECT_FALSE(LoadProfileFile(path, untouched));
  EXPECT_EQ(untouched.macros.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    ProfileFiles, DamagedBodies,
    ::testing::Values(
        BodyDamageCase{"UnknownRecordType", [](auto& b) { SetRecord(b, 9, 0); }, "key record 5 of set 1 holds type 9"},
        BodyDamageCase{"KeyNoKeyboardHas", [](auto& b) { SetRecord(b, kAssignKey, 0x1FFFF); }, "type 2 with value"},
        BodyDamageCase{"MediaPastTheList", [](auto& b) { SetRecord(b, kAssignMedia, kMediaCount); }, "type 7"},
        BodyDamageCase{"FunctionPastTheList", [](auto& b) { SetRecord(b, kAssignFunction, kFunctionCount); }, "type 8"},
        BodyDamageCase{"LaunchPathWithAControl", [](auto& b) { PutU16(b, kPool + 2, 0x0007); }, "key record 30 of set 1"},
        BodyDamageCase{"NameWithoutItsEnd",
                       [](auto& b) { for (size_t u = 0; u < kRecordNameUnits; ++u) PutU16(b, kFirstMacro + 2 * u, u'x'); },
                       "macro 1: its name has no end"},
        BodyDamageCase{"NameWithAControl", [](auto& b) { PutU16(b, kFirstMacro + 2, 0x0001); }, "macro 1: its name is not text"},
        BodyDamageCase{"NameWithALoneSurrogate", [](auto& b) { PutU16(b, kSecondMacro, 0xD800); }, "macro 2: its name is not text"},
        BodyDamageCase{"MoreStepsThanAMacroHolds", [](auto& b) { PutU16(b, kFirstMacro + kRecordFieldsOffset + 8, 4001); },
                       "macro 1: it claims 4001 steps"},
        BodyDamageCase{"NoCycles", [](auto& b) { b[kFirstMacro + kRecordFieldsOffset] = 0; }, "macro 1: it plays 0 times"},
        BodyDamageCase{"NumberOutOfRange", [](auto& b) { PutU16(b, kFirstMacro + kRecordFieldsOffset + 6, 101); },
                       "macro 1: its number 101"},
        BodyDamageCase{"TwoMacrosOneNumber", [](auto& b) { PutU16(b, kSecondMacro + kRecordFieldsOffset + 6, 1); },
                       "macro 2: another macro has its number 1"},
        BodyDamageCase{"StepNeitherPressNorRelease", [](auto& b) { PutU16(b, kSecondMacro + kRecordStepsOffset + 6, 2); },
                       "macro 2: step 1"},
        BodyDamageCase{"StepOfNoKey", [](auto& b) { PutU16(b, kFirstMacro + kRecordStepsOffset + 8 + 4, 0xFFFF); },
                       "macro 1: step 2"},
        BodyDamageCase{"BytesPastTheDeclaredEnd", [](auto& b) { b.push_back(0); }, "1 bytes follow"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the program itself writes passes, a text block's line breaks included.
TEST_F(ProfileFiles, EverythingTheProgramWritesPasses) {
  ProfileData model = TwoMacrosTwoTexts();
  model.texts.bySlot[512 + 7] = u"two\nlines\t";
  model.block.arrays[0][5] = {kAssignMedia, 0, static_cast<uint32_t>(kMediaCount - 1)};
  model.block.arrays[0][6] = {kAssignFunction, 0, static_cast<uint32_t>(kFunctionCount - 1)};
  model.block.arrays[0][7] = {kAssignMacro, 1, 9};  // a macro that is gone plays the first: not damage
  model.macros[0].name = u"Grüße \U0001F600";
  std::string damage;
  EXPECT_EQ(ValidateProfileFile(Save(model), prompts_, &damage), kProfileFileValid) << damage;
}

TEST_F(ProfileFiles, ShortOrMissingFilesAreRefusedSilently) {
  ASSERT_TRUE(CreateDefaultProfileFile(dir_ / "d.fwc"));
  auto bytes = dir_.Read("d.fwc");
  EXPECT_EQ(Validate(dir_.Write("short.fwc", bytes.substr(0, bytes.size() - 1))), kProfileFileRejected);
  EXPECT_EQ(Validate(dir_ / "missing.fwc"), kProfileFileRejected);
  EXPECT_EQ(Validate(dir_.Path()), kProfileFileRejected);
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(ProfileFiles, TextsComeOnlyFromInsideThePool) {
  ProfileData model = TwoMacrosTwoTexts();
  Save(model);
  auto bytes = Bytes(dir_.Read("p.fwc"));
  PutU32(bytes, 64 + 30 * 16 + 4, 5000);          // an offset past the pool
  PutU16(bytes, bytes.size() - 2, u'y');          // the last text loses its terminator
  auto damaged = dir_.Write("t.fwc", std::string(bytes.begin(), bytes.end()));
  ProfileData loaded;
  ASSERT_TRUE(LoadProfileFile(damaged, loaded));
  EXPECT_TRUE(loaded.texts.bySlot[30].empty());
  EXPECT_TRUE(loaded.texts.bySlot[512 + 7].empty());

  // Saved again, a record that lost its text never picks up another's.
  loaded.texts.bySlot[1024] = u"new";
  loaded.block.arrays[2][0] = {kAssignText};
  loaded.block.arrays[0][30].value = 0;  // where the new text will start
  Save(loaded, "again.fwc");
  ProfileData reloaded;
  ASSERT_TRUE(LoadProfileFile(dir_ / "again.fwc", reloaded));
  EXPECT_TRUE(reloaded.texts.bySlot[30].empty());
  EXPECT_EQ(reloaded.texts.bySlot[1024], u"new");
}

TEST_F(ProfileFiles, AWriteThatFailsMidwayKeepsTheOldFile) {
  ASSERT_TRUE(CreateDefaultProfileFile(dir_ / "keep.fwc"));
  const std::string before = dir_.Read("keep.fwc");
  pid_t child = ::fork();
  if (child == 0) {
    // The disk fills up 40000 bytes into any file this process writes.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{40000, 40000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ProfileData big = TwoMacrosTwoTexts();
    ::_exit(SaveProfileFile(dir_ / "keep.fwc", big) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);  // the save said it failed
  EXPECT_EQ(dir_.Read("keep.fwc"), before);
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir_.Path())) ++files;
  EXPECT_EQ(files, 1);  // and left nothing behind
}

class Restore : public ::testing::Test {
 protected:
  Restore() {
    EXPECT_TRUE(test::ConnectDirectly(device_));
    device_.macroCapacity = 64 * 128;
  }
  test::VirtualKeyboard keyboard_;
  test::TestDevice device_{keyboard_.Config(), keyboard_.LockFolder()};
  CommandChannel channel_{device_};
  ProfileWorkspace workspace_;
  RecordingPrompts prompts_;
  TempDir dir_;
};

TEST_F(Restore, ReplacesTheModelAndWritesAllThreeProfiles) {
  ProfileData model = TwoMacrosTwoTexts();
  model.block.arrays[2][KeyCodeToIndex(0x01E)] = {kAssignKey, 0, 0x030};
  ASSERT_TRUE(SaveProfileFile(dir_ / "backup.fwc", model));
  ASSERT_TRUE(CreateDefaultProfileFile(dir_ / "$Profile0"));
  keyboard_.ClearTrace();

  auto result = ImportProfile(dir_ / "backup.fwc", workspace_, dir_ / "$Profile0", device_, channel_, prompts_);
  EXPECT_TRUE(result.loaded);
  EXPECT_TRUE(result.Written());
  workspace_.Read([](const ProfileData& w) {
    EXPECT_EQ(w.texts.bySlot[512 + 7], std::u16string(21, u'x'));  // array 1, record 7
    EXPECT_EQ(w.macros.size(), 2u);
  });
  EXPECT_EQ(dir_.Read("$Profile0"), dir_.Read("backup.fwc"));
  int keyMapStarts = 0;
  for (const auto& c : keyboard_.Commands()) keyMapStarts += c[3] == CMD_WRITE_KEYMAP && (c[5] | c[6] << 8) % 378 == 0;
  EXPECT_EQ(keyMapStarts, 3);
}

TEST_F(Restore, ARefusedFileChangesNothing) {
  workspace_.Edit([](ProfileData& w) { w.block.arrays[0][5] = {kAssignDisabled}; });
  dir_.Write("junk.fwc", std::string(40000, 'j'));
  auto result = ImportProfile(dir_ / "junk.fwc", workspace_, dir_ / "$Profile0", device_, channel_, prompts_);
  EXPECT_FALSE(result.loaded);
  EXPECT_EQ(prompts_.shown.back(), "MAIN_PROMPT_INPORT");
  EXPECT_EQ(workspace_.Read([](const ProfileData& w) { return w.block.arrays[0][5].type; }), kAssignDisabled);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "$Profile0"));  // the working copy is only updated, never made
}

}  // namespace
}  // namespace keyloft
