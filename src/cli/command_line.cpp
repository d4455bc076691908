#include "cli/commands.h"

#include "device/command_protocol.h"
#include "device/connection.h"
#include "model/key_assignments.h"

namespace keyloft::cli {

const std::string* CommandLine::Option(std::string_view name) const {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options) {
    if (key == name) found = &value;  // the last one given wins
  }
  return found;
}

bool ParseCommandLine(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out,
                      std::string& error) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!word.starts_with("--")) {
      out.positional.push_back(word);
      continue;
    }
    const OptionSpec* match = nullptr;
    for (const OptionSpec& s : known) {
      if (s.name == word) match = &s;
    }
    if (!match) {
      error = "unknown option " + word;
      return false;
    }
    std::string value;
    if (match->takesValue) {
      if (i + 1 >= words.size()) {
        error = "option " + word + " needs a value";
        return false;
      }
      value = words[++i];
    }
    out.options.emplace_back(word, value);
  }
  return true;
}

int ProfileOption(const CommandLine& line, Session& session) {
  if (const std::string* text = line.Option("--profile")) {
    const int p = ParseProfileNumber(*text);
    if (p < 0) Fail(kExitUsage, "--profile must be 1, 2 or 3");
    return p;
  }
  int active = -1;
  session.Run([&] {
    CommandChannel channel(session.Core().Device());
    active = GetActiveProfile(session.Core().Device(), channel);
  });
  return active >= 0 && active <= 2 ? active : 0;
}

bool VerifyKeyMaps(Session& session, std::span<const int> profiles) {
  bool same = true;
  session.Run([&] {
    KeyloftCore& core = session.Core();
    DeviceContext& device = core.Device();
    CommandChannel channel(device);
    const size_t bytes = device.keyMapBytes;
    std::array<uint8_t, kDefaultKeyMapBytes> defaults;
    {
      std::scoped_lock lock(device.stateLock);
      defaults = device.defaultKeyMap;
    }
    std::scoped_lock lock(core.Workspace().workingLock);
    const ProfileData& model = core.Workspace().workingProfile;
    for (int p : profiles) {
      const auto expected =
          EncodeKeyMapImage(model.block.arrays[static_cast<size_t>(p)], std::span(defaults).first(bytes), model.macros);
      std::array<uint8_t, kDefaultKeyMapBytes> read{};
      const int result = channel.DevReadKeyMap(std::span(read).first(bytes), p);
      if (result != DEV_OK) {
        Fail(kExitKeyboard, "verify: profile " + std::to_string(p + 1) + ": " + DevResultText(result));
        same = false;
        continue;
      }
      size_t differing = 0;
      for (size_t i = 0; i < bytes; ++i) differing += read[i] != expected[i];
      if (differing > 0) {
        Fail(kExitKeyboard, "verify: profile " + std::to_string(p + 1) + ": " + std::to_string(differing) +
                                " key-map bytes differ from what was written");
        same = false;
      }
    }
  });
  return same;
}

bool ParseArguments(std::span<const std::string> words, std::span<const OptionSpec> known, CommandLine& out) {
  std::string error;
  if (ParseCommandLine(words, known, out, error)) return true;
  Fail(kExitUsage, error);
  return false;
}

}  // namespace keyloft::cli
