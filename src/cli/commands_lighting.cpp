// lighting and lighting set.
#include <charconv>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "model/lighting.h"
#include "util/text.h"

namespace keyloft::cli {
namespace {

constexpr std::string_view kFourColourNames[] = {"red", "yellow", "green", "blue"};

// What the options ask for, checked before anything is written.
struct LightingChange {
  std::optional<int> effect, brightness, speed, fourColour, reportRate;  // speed: slider position
  std::optional<uint8_t> direction;
  std::optional<Colour> colour;
  std::optional<bool> multicolour;
};

bool ParseChange(const CommandLine& line, LightingChange& change, std::string& error) {
  for (const auto& [name, value] : line.options) {
    if (name == "--effect") {
      if (!(change.effect = ParseInt(value, 1, kUserDefinedMode))) return error = "--effect must be 1..20", false;
    } else if (name == "--brightness") {
      if (!(change.brightness = ParseInt(value, 0, kMaxBrightness))) return error = "--brightness must be 0..4", false;
    } else if (name == "--speed") {
      if (!(change.speed = ParseInt(value, 0, kMaxSpeed))) return error = "--speed must be 0..3", false;
    } else if (name == "--direction") {
      if (value == "first") change.direction = kDirectionFirst;
      else if (value == "second") change.direction = kDirectionSecond;
      else return error = "--direction must be first or second", false;
    } else if (name == "--colour") {
      if (!(change.colour = ParseColourText(value))) return error = "--colour must be RRGGBB in hexadecimal", false;
    } else if (name == "--multicolour") {
      if (value == "on") change.multicolour = true;
      else if (value == "off") change.multicolour = false;
      else return error = "--multicolour must be on or off", false;
    } else if (name == "--four-colour") {
      for (size_t i = 0; i < std::size(kFourColourNames); ++i) {
        if (value == kFourColourNames[i]) change.fourColour = static_cast<int>(i);
      }
      if (!change.fourColour) return error = "--four-colour must be red, yellow, green or blue", false;
    } else if (name == "--report-rate") {
      if (!(change.reportRate = ParseInt(value, 1, kMaxReportRate + 1))) return error = "--report-rate must be 1..4", false;
    }
  }
  return true;
}

void PrintState(const GlobalOptions& options, const Localisation& lang, int profile, const LightingState& s) {
  const std::string direction = s.direction == kDirectionFirst ? "first" : "second";
  const std::string_view four = kFourColourNames[static_cast<size_t>(std::clamp(s.fourColour, 0, 3))];
  if (options.json) {
    PrintJson(JsonWriter()
                  .BeginObject()
                  .Key("profile").Int(profile + 1)
                  .Key("effect").Int(s.mode)
                  .Key("effect_name").String(lang.GetModeText(s.mode))
                  .Key("brightness").Int(s.brightness)
                  .Key("speed").Int(SpeedSliderPosition(s.speed))
                  .Key("direction").String(direction)
                  .Key("colour").String(ColourText(s.colour))
                  .Key("multicolour").Bool(s.multicolour)
                  .Key("four_colour").String(four)
                  .Key("report_rate").Int(s.reportRate + 1)
                  .EndObject());
    return;
  }
  Out() << "profile: " << profile + 1 << '\n'
            << "effect: " << s.mode << ' ' << lang.GetModeText(s.mode) << '\n'
            << "brightness: " << s.brightness << '\n'
            << "speed: " << SpeedSliderPosition(s.speed) << '\n'
            << "direction: " << direction << '\n'
            << "colour: " << ColourText(s.colour) << '\n'
            << "multicolour: " << (s.multicolour ? "on" : "off") << '\n'
            << "four-colour: " << four << '\n'
            << "report rate: " << s.reportRate + 1 << '\n';
}

// The fields the change set, compared with the state read back.
std::vector<std::string> Mismatches(const LightingChange& c, const LightingState& s) {
  std::vector<std::string> wrong;
  if (c.effect && s.mode != *c.effect) wrong.push_back("effect");
  if (c.brightness && s.brightness != *c.brightness) wrong.push_back("brightness");
  if (c.speed && SpeedSliderPosition(s.speed) != *c.speed) wrong.push_back("speed");
  if (c.direction && (s.direction == kDirectionFirst) != (*c.direction == kDirectionFirst)) wrong.push_back("direction");
  if (c.colour && s.colour != *c.colour) wrong.push_back("colour");
  // A colour turns multicolour off, so without --multicolour that is what is expected.
  const std::optional<bool> multicolour = c.multicolour ? c.multicolour : c.colour ? std::optional(false) : std::nullopt;
  if (multicolour && s.multicolour != *multicolour) wrong.push_back("multicolour");
  if (c.fourColour && s.fourColour != *c.fourColour) wrong.push_back("four-colour");
  if (c.reportRate && s.reportRate + 1 != *c.reportRate) wrong.push_back("report rate");
  return wrong;
}

}  // namespace

std::string ColourText(Colour c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x%02x", ColourRed(c), ColourGreen(c), ColourBlue(c));
  return text;
}

std::optional<Colour> ParseColourText(std::string_view text) {
  if (text.starts_with('#')) text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  unsigned rgb = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
  if (ec != std::errc() || end != text.data() + 6) return std::nullopt;
  return MakeColour(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}

int RunLighting(const GlobalOptions& options, std::span<const std::string> words) {
  static constexpr OptionSpec kShowSpec[] = {{"--profile", true}};
  static constexpr OptionSpec kSetSpec[] = {
      {"--profile", true},    {"--effect", true},      {"--brightness", true},  {"--speed", true},
      {"--direction", true},  {"--colour", true},      {"--multicolour", true}, {"--four-colour", true},
      {"--report-rate", true},
  };
  const bool set = !words.empty() && words[0] == "set";
  if (set) words = words.subspan(1);
  CommandLine line;
  if (!ParseArguments(words, set ? std::span<const OptionSpec>(kSetSpec) : std::span<const OptionSpec>(kShowSpec), line))
    return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");
  if (const std::string* p = line.Option("--profile"); p && ParseProfileNumber(*p) < 0) {
    return Fail(kExitUsage, "--profile must be 1, 2 or 3");
  }
  LightingChange change;
  std::string error;
  if (!ParseChange(line, change, error)) return Fail(kExitUsage, error);

  Session session(options);
  if (int code = session.Connect()) return code;
  const int profile = ProfileOption(line, session);
  KeyloftCore& core = session.Core();
  LightingController& lighting = core.Lighting();
  DevResult read = DevResult::NoReply;
  DevResults written;
  bool listed = true;
  LightingState state;
  session.Run([&] {
    lighting.SetProfile(profile);
    read = lighting.ReadAllParams();
    if (read != DevResult::Ok || !set) {
      state = lighting.State();
      return;
    }
    if (change.effect && !lighting.Modes().Contains(*change.effect)) {
      listed = false;
      return;
    }
    // One operation per option, in the order of the panel.
    if (change.effect) written.Add(lighting.SelectEffect(*change.effect));
    if (change.brightness) written.Add(lighting.SetBrightness(*change.brightness));
    if (change.speed) written.Add(lighting.SetSpeed(*change.speed));
    if (change.direction) written.Add(lighting.SetDirection(*change.direction));
    if (change.colour) written.Add(lighting.SetColour(*change.colour));
    if (change.multicolour && lighting.State().multicolour != *change.multicolour) {
      written.Add(lighting.ToggleMulticolour());
    }
    if (change.fourColour) written.Add(lighting.SetFourColour(*change.fourColour));
    if (change.reportRate) written.Add(lighting.SetReportRate(*change.reportRate - 1));
    // What the keyboard keeps now, read back from its blocks.
    read = lighting.ReadAllParams();
    state = lighting.State();
  });
  if (!written.Ok()) return Fail(kExitKeyboard, "the lighting could not be written: " + DevResultText(written.First()));
  if (read != DevResult::Ok) return Fail(kExitKeyboard, "the keyboard's lighting could not be read: " + DevResultText(read));
  if (!listed) return Fail(kExitUsage, "the keyboard does not offer effect " + std::to_string(*change.effect));
  if (set) {
    const auto wrong = Mismatches(change, state);
    if (!wrong.empty()) {
      std::string list;
      for (const auto& w : wrong) list += (list.empty() ? "" : ", ") + w;
      return Fail(kExitKeyboard, "the keyboard did not take: " + list);
    }
  }
  PrintState(options, core.Lang(), profile, state);
  return kExitOk;
}

}  // namespace keyloft::cli
