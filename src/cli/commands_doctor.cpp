// doctor: why no keyboard is found, and the command that fixes it.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "cli/control_client.h"
#include "device/connection.h"
#include "device/hid_backend.h"
#include "model/keyboard_model.h"

namespace keyloft::cli {
namespace {

constexpr const char* kRuleFile = "70-keyloft.rules";
constexpr const char* kRuleFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d", "/usr/local/lib/udev/rules.d"};

std::string Ids(uint16_t vendorId, uint16_t productId) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
  return text;
}

std::string AllIds() {
  std::string ids;
  for (const KeyboardModel& m : KeyboardModels()) ids += (ids.empty() ? "" : ", ") + Ids(m.vendorId, m.productId);
  return ids;
}

// The rule, written by one shell command, and udev told to apply it.
std::string InstallRuleCommand() {
  std::string lines;
  for (const KeyboardModel& m : KeyboardModels()) {
    char line[160];
    std::snprintf(line, sizeof line,
                  " 'KERNEL==\"hidraw*\", SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", "
                  "TAG+=\"uaccess\"'",
                  m.vendorId, m.productId);
    lines += line;
  }
  return "printf '%s\\n'" + lines + " | sudo tee /etc/udev/rules.d/" + kRuleFile +
         " >/dev/null && sudo udevadm control --reload-rules && sudo udevadm trigger";
}

constexpr const char* kApplyRuleCommand = "sudo udevadm control --reload-rules && sudo udevadm trigger";

struct Node {
  std::string path;
  std::string model;
  bool access;
};

}  // namespace

int RunDoctor(const GlobalOptions& options, std::span<const std::string> words) {
  CommandLine line;
  if (!ParseArguments(words, {}, line)) return kExitUsage;
  if (!line.positional.empty()) return Fail(kExitUsage, "unexpected argument '" + line.positional[0] + "'");

  const HidTransportConfig config = TransportFor(options);
  std::error_code ec;
  const bool virtualHid = !config.vhidDir.empty() && std::filesystem::is_directory(config.vhidDir, ec);
  std::vector<HidNodeInfo> all;
  const bool listed = MakeHidBackend(config)->Enumerate(all);
  std::vector<Node> nodes;
  for (const HidNodeInfo& n : all) {
    if (!FindKeyboardModel(n.vendorId, n.productId)) continue;
    nodes.push_back({n.node, Ids(n.vendorId, n.productId), access(n.node.c_str(), R_OK | W_OK) == 0});
  }
  std::string rule;
  for (const char* folder : kRuleFolders) {
    const auto path = std::filesystem::path(folder) / kRuleFile;
    if (rule.empty() && std::filesystem::exists(path, ec)) rule = path.string();
  }
  bool anyAccess = false;
  for (const Node& n : nodes) anyAccess |= n.access;

  std::vector<std::string> findings;
  std::string fix;
  if (!listed) {
    findings.push_back(virtualHid ? "the virtual HID folder " + config.vhidDir.string() + " cannot be listed"
                                  : "the HID devices cannot be listed (is /sys mounted?)");
  } else if (virtualHid && nodes.empty()) {
    findings.push_back("no virtual keyboard serves in " + config.vhidDir.string());
    fix = "keyloft-virtual-keyboard serve --dir " + config.vhidDir.string();
  } else if (nodes.empty()) {
    findings.push_back("no HID device with the keyboard's identifiers (" + AllIds() + ") is present");
    findings.push_back("check the cable and that 'lsusb' lists one of them");
  } else if (!anyAccess && !virtualHid) {
    findings.push_back("this user may not open the keyboard's HID nodes");
    if (rule.empty()) {
      findings.push_back("the udev rule " + std::string(kRuleFile) + " is not installed");
      fix = InstallRuleCommand();
    } else {
      findings.push_back("the udev rule " + rule + " is installed but not applied to the keyboard");
      fix = std::string(kApplyRuleCommand) + "   (or plug the keyboard in again)";
    }
  } else if (!anyAccess) {
    findings.push_back("this user may not open the virtual keyboard's sockets");
  } else {
    findings.push_back("the keyboard is present and this user may open it");
  }
  const bool ok = listed && anyAccess;

  // Which way the keyboard commands go now.
  const ProgramProbe program = ProbeRunningProgram(options);
  std::string route;
  if (!program.running) {
    route = "keyloftctl opens the keyboard itself (no keyloft runs for this user)";
  } else if (program.servesThisKeyboard) {
    route = "through the running keyloft, which owns the keyboard";
  } else {
    route = "keyloftctl opens the keyboard itself (the running keyloft serves another keyboard: " + program.serves + ")";
  }

  if (options.json) {
    JsonWriter json;
    json.BeginObject().Key("transport").String(virtualHid ? "vhid" : "hidraw").Key("nodes").BeginArray();
    for (const Node& n : nodes) {
      json.BeginObject().Key("node").String(n.path).Key("model").String(n.model).Key("access").Bool(n.access).EndObject();
    }
    json.EndArray().Key("udev_rule");
    if (rule.empty()) json.Null(); else json.String(rule);
    json.Key("findings").BeginArray();
    for (const auto& f : findings) json.String(f);
    json.EndArray().Key("fix");
    if (fix.empty()) json.Null(); else json.String(fix);
    json.Key("commands").String(program.running && program.servesThisKeyboard ? "program" : "direct");
    json.Key("ok").Bool(ok).EndObject();
    PrintJson(json);
  } else {
    Out() << "transport: " << (virtualHid ? "virtual HID in " + config.vhidDir.string() : std::string("hidraw")) << '\n';
    for (const Node& n : nodes) {
      Out() << "node: " << n.path << "  " << n.model << "  " << (n.access ? "can be opened" : "no access") << '\n';
    }
    if (!virtualHid) Out() << "udev rule: " << (rule.empty() ? "not installed" : rule) << '\n';
    for (const auto& f : findings) Out() << f << '\n';
    if (!fix.empty()) Out() << "fix: " << fix << '\n';
    Out() << "keyboard commands: " << route << '\n';
  }
  return ok ? kExitOk : kExitNoKeyboard;
}

}  // namespace keyloft::cli
