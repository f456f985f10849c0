// headend_probe: checks a running headend from the outside, as a set-top box
// would see it, with code of its own (no headend or add-on sources).
//
//   headend_probe --headend PATH --scenario FILE [--mode default|faults|http|tv]
//                 [--suffix .quorvina.es] [--log FILE]
//
// Runs inside the private test network; exits 77 (skip) anywhere else.
#include <net/if.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Checks.h"
#include "DiscoveryChecks.h"
#include "FaultChecks.h"
#include "HeadendProcess.h"
#include "ServerChecks.h"
#include "TvChecks.h"

using namespace probe;

namespace {

const int kSkip = 77;

bool OnlyLoopback() {
  struct if_nameindex* names = if_nameindex();
  if (names == nullptr) return false;
  bool only = true;
  for (struct if_nameindex* n = names; n->if_index != 0; ++n)
    only = only && std::strcmp(n->if_name, "lo") == 0;
  if_freenameindex(names);
  return only;
}

void DefaultMode(Checks& c, ServerChecks& server, DiscoveryChecks& discovery,
                 const std::string& suffix) {
  Profile profile;
  if (!server.Profiles(&profile)) return;
  server.SessionKept(profile);
  server.UnknownPaths();
  std::string address;
  int port = 0;
  if (!discovery.EntryPoint(profile, suffix, &address, &port)) return;
  c.Note("demarcation " + std::to_string(profile.demarcation) + " on " + address + ":" +
         std::to_string(port));
  std::vector<std::string> logos;
  if (!discovery.Regional(address, port, profile, &logos)) return;
  server.Logos(logos);
  server.ManyClients(16, 5);
}

}  // namespace

int main(int argc, char** argv) {
  std::string headend, scenario, mode = "default", suffix = ".quorvina.es", log;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--headend")
      headend = argv[i + 1];
    else if (a == "--scenario")
      scenario = argv[i + 1];
    else if (a == "--mode")
      mode = argv[i + 1];
    else if (a == "--suffix")
      suffix = argv[i + 1];
    else if (a == "--log")
      log = argv[i + 1];
  }
  if (headend.empty() || scenario.empty() ||
      (mode != "default" && mode != "faults" && mode != "http" && mode != "tv")) {
    std::fprintf(stderr,
                 "usage: headend_probe --headend PATH --scenario FILE "
                 "[--mode default|faults|http|tv] [--suffix S] [--log FILE]\n");
    return 2;
  }
  if (!OnlyLoopback()) {
    std::printf("SKIP: not inside the private test network\n");
    return kSkip;
  }
  std::vector<std::string> args = {headend, "--scenario", scenario};
  if (!log.empty()) args.insert(args.end(), {"--log", log});
  HeadendProcess process;
  std::string error;
  Checks c;
  if (!c.Expect(process.Start(args, 10000, &error), "headend starts: " + error)) return 1;

  ServerChecks server(c, "172.26.22.23", 2001);
  DiscoveryChecks discovery(c);
  FaultChecks faults(c, server, discovery);
  bool stopped = false;
  if (mode == "default") {
    DefaultMode(c, server, discovery, suffix);
  } else if (mode == "faults") {
    faults.DamagedFirstCopy();
    faults.SequentialBrokenGroup();
    faults.ProfileFaults();
    faults.EntryPointWithCrc();
    faults.ShuffledRepeatedBumpedGroup();
    faults.PerSectionCrcGroup();
    faults.SilentGroups();
  } else if (mode == "tv") {
    TvChecks tv(c);
    tv.ChangingChannel();  // first: its change and gap come 1.5 and 3 s after the start
    tv.LoopingRtpChannel();
    tv.FastUdpChannel();
    tv.QuietChannels();
  } else {
    faults.HttpFaults();
    faults.StopWhileHeld(&process);
    stopped = true;
  }
  if (!stopped) {
    long took = 0;
    int code = -1;
    c.Expect(process.Terminate(1000, &took, &code) && code == 0,
             "stops within 1 s of SIGTERM: " + std::to_string(took) + " ms, exit " +
                 std::to_string(code));
  }
  std::printf("%s: %d checks, %d failed\n", mode.c_str(), c.Count(), c.Failures());
  return c.Failures() == 0 ? 0 : 1;
}
