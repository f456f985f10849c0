// hostsim: runs the add-on the way the XBMC host would and prints what it
// does. See tools/hostsim/README.md.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/Host.h"
#include "gui/GuiScript.h"

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitLoad = 2;
constexpr int kExitCommand = 3;
constexpr int kExitNetwork = 3;

const char kUsage[] =
    "usage: hostsim --addon <add-on folder> --user <user folder> [--host-lib <folder>]\n"
    "               [--gui-script <file>] [--quiet-log] [--defaults] [--keep-loaded]\n"
    "               [--follow-up-ms <ms>] [--real-network] [--json-rpc-port <port>]\n"
    "               [--no-json-rpc] [--disk-full-after <bytes>]\n"
    "               <command>...\n"
    "commands: info | channels [--wait <s>] | groups | timers | recordings |\n"
    "          epg [<channel id>] [--from <time>] [--to <time>] |\n"
    "          grid [<channel id>...] [--hours <n>] |\n"
    "          menu <hook> [<item>] | setting <name> <value> | sleep <s> |\n"
    "          announce <message> | stop | status |\n"
    "          play <channel number or id> [<s>] [--seconds <s>] [--out <file.ts>]\n"
    "               [--pause-at <s>] [--resume-at <s>] [--switch-at <s>:<channel>]\n"
    "               [--speed-at <s>:<factor>] [--gap-ms <ms>] |\n"
    "          probe-recording <id>\n";

std::string hostFolderBesideExecutable() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  path[n] = '\0';
  std::string exe(path);
  return exe.substr(0, exe.rfind('/')) + "/host";
}

int usage(const std::string& error) {
  if (!error.empty()) std::fprintf(stderr, "hostsim: %s\n", error.c_str());
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  hostsim::HostOptions options;
  std::string scriptPath;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    // From the first command on, everything is commands.
    if (!words.empty() || a.compare(0, 1, "-") != 0) {
      words.push_back(a);
    } else if (a == "--addon") {
      if (!value(options.addonDir)) return usage("--addon needs a folder");
    } else if (a == "--user") {
      if (!value(options.userDir)) return usage("--user needs a folder");
    } else if (a == "--host-lib") {
      if (!value(options.hostLibDir)) return usage("--host-lib needs a folder");
    } else if (a == "--gui-script") {
      if (!value(scriptPath)) return usage("--gui-script needs a file");
    } else if (a == "--quiet-log") {
      options.quietLog = true;
    } else if (a == "--defaults") {
      options.fillDefaults = true;
    } else if (a == "--keep-loaded") {
      options.keepLoaded = true;
    } else if (a == "--real-network") {
      options.realNetwork = true;
    } else if (a == "--no-json-rpc") {
      options.jsonRpc = false;
    } else if (a == "--json-rpc-port") {
      std::string port;
      if (!value(port)) return usage("--json-rpc-port needs a port");
      char* end = nullptr;
      long v = std::strtol(port.c_str(), &end, 10);
      if (port.empty() || *end != '\0' || v < 0 || v > 65535)
        return usage("--json-rpc-port needs a port");
      options.jsonRpcPort = static_cast<uint16_t>(v);
    } else if (a == "--follow-up-ms") {
      std::string ms;
      if (!value(ms)) return usage("--follow-up-ms needs a number of milliseconds");
      char* end = nullptr;
      long v = std::strtol(ms.c_str(), &end, 10);
      if (ms.empty() || *end != '\0' || v < 0 || v > 60000)
        return usage("--follow-up-ms needs a number of milliseconds");
      options.followUpDelay = std::chrono::milliseconds(v);
    } else if (a == "--disk-full-after") {
      std::string bytes;
      if (!value(bytes)) return usage("--disk-full-after needs a number of bytes");
      char* end = nullptr;
      const long long v = std::strtoll(bytes.c_str(), &end, 10);
      if (bytes.empty() || *end != '\0' || v < 0)
        return usage("--disk-full-after needs a number of bytes");
      options.diskFullAfter = v;
    } else if (a == "-h" || a == "--help") {
      return usage("");
    } else {
      return usage("unknown option " + a);
    }
  }
  if (options.addonDir.empty() || options.userDir.empty())
    return usage("--addon and --user are required");
  hostsim::CommandParse parsed = hostsim::parseCommands(words);
  if (!parsed.ok) return usage(parsed.error);
  if (options.hostLibDir.empty()) options.hostLibDir = hostFolderBesideExecutable();

  hostsim::GuiScript script;
  if (!scriptPath.empty()) {
    hostsim::GuiScriptResult r = script.loadFile(scriptPath);
    if (!r) {
      std::fprintf(stderr, "hostsim: gui script %s: %s\n", scriptPath.c_str(),
                   r.describe().c_str());
      return kExitUsage;
    }
  }

  hostsim::Host host(options);
  host.gui().loadScript(script);
  hostsim::LoadResult loaded = host.load();
  if (!loaded) {
    std::fprintf(stderr, "hostsim: %s\n", loaded.message.c_str());
    if (loaded.outsideTestNetwork) {
      std::fprintf(stderr, "hostsim: --real-network loads it on this machine's network anyway\n");
      return kExitNetwork;
    }
    return kExitLoad;
  }
  hostsim::CommandRunner runner(host);
  int failed = 0;
  for (const auto& command : parsed.commands) {
    if (!runner.run(command)) {
      ++failed;
      host.journal().print("command failed: " + command.text());
    }
  }
  host.unload();

  auto& j = host.journal();
  size_t errors = 0;
  for (const auto& e : j.entries())
    errors += e.kind == hostsim::EntryKind::Host && e.level == "error";
  j.print("hostsim: " + std::to_string(j.count(hostsim::EntryKind::Log)) + " log lines, " +
          std::to_string(j.count(hostsim::EntryKind::Notification)) + " notifications, " +
          std::to_string(errors) + " host errors, " + std::to_string(failed) + " failed commands");
  return failed ? kExitCommand : 0;
}
