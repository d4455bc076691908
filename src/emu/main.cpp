// keyloft-virtual-keyboard: serves a virtual keyboard (serve) or drives a
// running one (ctl). Exit codes: 0 done, 1 runtime error, 2 usage error.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emu/control.h"
#include "emu/firmware.h"
#include "emu/server.h"
#include "util/atomic_file.h"

namespace {

using namespace keyloft::emu;

constexpr std::string_view kProgram = "keyloft-virtual-keyboard";
constexpr int kExitOk = 0;
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

void PrintHelp() {
  std::cout << "Usage:\n"
               "  keyloft-virtual-keyboard serve --dir DIR [--model 1|2] [--state FILE] [--trace FILE]\n"
               "                                 [--latency-ms N] [--layout split|shared] [--macro-blocks N]\n"
               "  keyloft-virtual-keyboard ctl --dir DIR COMMAND\n"
               "  keyloft-virtual-keyboard --help | --version\n"
               "\n"
               "serve: serves one keyboard on the virtual HID transport in DIR (which must exist)\n"
               "  --model 1|2        1: 0c45:652f, key map 378 bytes; 2: 320f:5064, 384 bytes at a 512 stride (default 1)\n"
               "  --state FILE       load the keyboard's memory from FILE (a fresh keyboard when it is missing),\n"
               "                     save it there at each end of a write and at exit\n"
               "  --trace FILE       append one line per report: \"out \" or \"in \" and the bytes in hex\n"
               "  --latency-ms N     answer commands no sooner than N ms (0..60000, default 0)\n"
               "  --layout L         split: the command collection is interface 2 (default);\n"
               "                     shared: it is a third collection of interface 1\n"
               "  --macro-blocks N   macro memory in 128-byte blocks (1..255, default 64)\n"
               "  SIGINT or SIGTERM shut the keyboard down cleanly.\n"
               "\n"
               "ctl: sends COMMAND to the keyboard running in DIR:\n"
            << ControlCommandHelp();
}

int UsageError(const std::string& message) {
  std::cerr << kProgram << ": " << message << "\nTry '" << kProgram << " --help'.\n";
  return kExitUsage;
}

int RuntimeError(const std::string& message) {
  std::cerr << kProgram << ": " << message << "\n";
  return kExitRuntime;
}

std::optional<int> Number(std::string_view text, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

// Splits "--name=value" or takes the next argument as the value.
class Arguments {
 public:
  Arguments(int argc, char** argv, int first) : args_(argv + first, argv + argc) {}
  bool Done() const { return at_ >= args_.size(); }
  std::string_view Next() { return args_[at_++]; }
  std::string_view Peek() const { return args_[at_]; }
  // For an option: its value, inline or next; nothing when it has none.
  std::optional<std::string> Value(std::string_view& option) {
    if (auto eq = option.find('='); eq != std::string_view::npos) {
      std::string value(option.substr(eq + 1));
      option = option.substr(0, eq);
      return value;
    }
    if (Done()) return std::nullopt;
    return std::string(Next());
  }

 private:
  std::vector<std::string_view> args_;
  size_t at_ = 0;
};

int Serve(Arguments& args) {
  ServerOptions options;
  std::optional<int> model, macroBlocks;
  bool haveDir = false;
  while (!args.Done()) {
    std::string_view option = args.Next();
    if (option == "--help" || option == "-h") {
      PrintHelp();
      return kExitOk;
    }
    if (!option.starts_with("--")) return UsageError("unexpected argument '" + std::string(option) + "'");
    std::string_view name = option;
    auto value = args.Value(name);
    if (!value) return UsageError("option " + std::string(name) + " needs a value");
    if (name == "--dir") {
      options.folder = *value;
      haveDir = !value->empty();
    } else if (name == "--model") {
      model = Number(*value, 1, 2);
      if (!model) return UsageError("--model must be 1 or 2");
    } else if (name == "--state") {
      options.statePath = *value;
    } else if (name == "--trace") {
      options.tracePath = *value;
    } else if (name == "--latency-ms") {
      auto ms = Number(*value, 0, kMaxLatencyMs);
      if (!ms) return UsageError("--latency-ms must be 0.." + std::to_string(kMaxLatencyMs));
      options.latencyMs = *ms;
    } else if (name == "--layout") {
      if (*value == "split") options.layout = Layout::kSplit;
      else if (*value == "shared") options.layout = Layout::kShared;
      else return UsageError("--layout must be split or shared");
    } else if (name == "--macro-blocks") {
      macroBlocks = Number(*value, 1, kMaxMacroBlocks);
      if (!macroBlocks) return UsageError("--macro-blocks must be 1.." + std::to_string(kMaxMacroBlocks));
    } else {
      return UsageError("unknown option " + std::string(name));
    }
  }
  if (!haveDir) return UsageError("serve needs --dir DIR");

  std::optional<Firmware> firmware;
  std::error_code ec;
  if (options.statePath && std::filesystem::exists(*options.statePath, ec)) {
    auto text = keyloft::ReadWholeFile(*options.statePath);
    if (!text) return RuntimeError("cannot read the state file " + options.statePath->string());
    std::string error;
    firmware = Firmware::FromJson(*text, model, macroBlocks, error);
    if (!firmware) return RuntimeError("the state file " + options.statePath->string() + " cannot be used: " + error);
  } else if (ec) {
    return RuntimeError("cannot look at the state file " + options.statePath->string() + ": " + ec.message());
  } else {
    firmware.emplace(*FindModel(model.value_or(1)), macroBlocks.value_or(kDefaultMacroBlocks));
  }

  // The signals arrive through a descriptor the loop polls, never in a handler.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) return RuntimeError("cannot block SIGINT and SIGTERM");
  options.stopFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (options.stopFd < 0) return RuntimeError("cannot create a signalfd");
  signal(SIGPIPE, SIG_IGN);
  options.log = [](std::string_view line) { std::cerr << kProgram << ": " << line << std::endl; };

  Server server(std::move(*firmware), std::move(options));
  std::string error;
  if (!server.Start(error)) return RuntimeError(error);
  return server.Run();
}

int Control(Arguments& args) {
  std::optional<std::string> folder;
  std::vector<std::string_view> words;
  while (!args.Done()) {
    std::string_view arg = args.Next();
    if (words.empty() && (arg == "--help" || arg == "-h")) {
      PrintHelp();
      return kExitOk;
    }
    if (arg == "--dir" || arg.starts_with("--dir=")) {
      std::string_view name = arg;
      auto value = args.Value(name);
      if (!value || value->empty()) return UsageError("--dir needs a folder");
      folder = *value;
      continue;
    }
    words.push_back(arg);
  }
  if (!folder) return UsageError("ctl needs --dir DIR");
  std::string error;
  if (!ParseControlCommand(words, error)) return UsageError(error);

  auto socket = FindControlSocket(*folder, error);
  if (!socket) return RuntimeError(error);
  std::string line;
  for (std::string_view word : words) line += (line.empty() ? "" : " ") + std::string(word);
  ControlAnswer answer = SendControl(*socket, line);
  if (!answer.delivered) return RuntimeError(answer.text);
  if (answer.text.starts_with(kControlErrorPrefix)) return RuntimeError(answer.text.substr(kControlErrorPrefix.size()));
  std::cout << answer.text;
  if (!answer.text.ends_with('\n')) std::cout << '\n';
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("missing command: serve or ctl");
  std::string_view command = argv[1];
  Arguments args(argc, argv, 2);
  if (command == "--help" || command == "-h" || command == "help") {
    PrintHelp();
    return kExitOk;
  }
  if (command == "--version") {
    std::cout << kProgram << ' ' << KEYLOFT_VERSION << '\n';
    return kExitOk;
  }
  if (command == "serve") return Serve(args);
  if (command == "ctl") return Control(args);
  return UsageError("unknown command '" + std::string(command) + "': use serve or ctl");
}
