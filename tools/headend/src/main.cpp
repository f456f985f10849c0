// headend: the operator's network for tests. One scenario file describes the
// application server's answers and the DVB-STP discovery carousels.
#include <net/if.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AppAnswers.h"
#include "AppServer.h"
#include "Carousel.h"
#include "CarouselContent.h"
#include "CloudAnswers.h"
#include "CloudRecordings.h"
#include "DiscoveryRecords.h"
#include "DnsServer.h"
#include "GuideContent.h"
#include "Log.h"
#include "LogoStore.h"
#include "RtspServer.h"
#include "ScenarioLoader.h"
#include "TvHeadend.h"

using namespace headend;

namespace {

struct Options {
  std::string scenario;
  std::string log;
  std::string writeGuide;  // write the guide's documents there and stop
  double duration = 0;     // seconds; 0 = until a signal
  std::string clips;       // the TV clips; default: clips/ beside the program
};

void Usage() {
  std::fprintf(stderr,
               "usage: headend --scenario FILE [--log FILE] [--duration SECONDS] [--clips DIR]\n"
               "       headend --scenario FILE --write-guide FOLDER\n"
               "Runs inside the private test network: scripts/netns-run.sh headend ...\n");
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--scenario" && hasValue) {
      o->scenario = argv[++i];
    } else if (a == "--write-guide" && hasValue) {
      o->writeGuide = argv[++i];
    } else if (a == "--clips" && hasValue) {
      o->clips = argv[++i];
    } else if (a == "--log" && hasValue) {
      o->log = argv[++i];
    } else if (a == "--duration" && hasValue) {
      char* end = nullptr;
      o->duration = std::strtod(argv[++i], &end);
      if (*end != '\0' || o->duration <= 0) return false;
    } else {
      return false;
    }
  }
  return !o->scenario.empty();
}

// Multicast and the operator's addresses must never reach a real network:
// only run where loopback is the sole interface (the private namespace).
bool OnlyLoopback(std::string* other) {
  struct if_nameindex* names = if_nameindex();
  if (names == nullptr) return false;
  bool only = true;
  for (struct if_nameindex* n = names; n->if_index != 0; ++n)
    if (std::strcmp(n->if_name, "lo") != 0) {
      only = false;
      *other = n->if_name;
    }
  if_freenameindex(names);
  return only;
}

std::string ClipsBesideProgram() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "clips";
  path[n] = '\0';
  std::string exe(path);
  return exe.substr(0, exe.rfind('/')) + "/clips";
}

// Waits for SIGINT or SIGTERM, or until the duration has passed.
void WaitForEnd(const sigset_t& signals, double duration, Log& log) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(duration);
  while (true) {
    timespec slice{0, 200L * 1000 * 1000};
    int signal = sigtimedwait(&signals, nullptr, &slice);
    if (signal > 0) {
      log.Write("signal %d: stopping", signal);
      return;
    }
    if (duration > 0 && std::chrono::steady_clock::now() >= end) {
      log.Write("duration over: stopping");
      return;
    }
  }
}

// One file per channel and day, named as a set-top box names the guide
// files it receives: channel + "_" + the day's first segment id + ".xml".
int WriteGuide(const GuideContent& guide, const std::string& folder) {
  for (int day = 0; day < guide.Days(); ++day) {
    for (size_t k = 0; k < guide.Services().size(); ++k) {
      const std::string path =
          folder + "/" + guide.Services()[k]->id + "_" + GuideContent::SegmentText(day, 0) + ".xml";
      FILE* file = std::fopen(path.c_str(), "wb");
      const std::string& text = guide.Document(day, k);
      if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        std::fprintf(stderr, "headend: cannot write %s\n", path.c_str());
        if (file != nullptr) std::fclose(file);
        return 1;
      }
      std::fclose(file);
    }
  }
  std::printf("%d days, %zu channels, %zu programmes\n", guide.Days(), guide.Services().size(),
              guide.Programmes());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Usage();
    return 2;
  }
  Log log;
  std::string error;
  if (!options.log.empty() && !log.OpenFile(options.log, &error)) {
    std::fprintf(stderr, "headend: %s\n", error.c_str());
    return 2;
  }
  Scenario scenario;
  if (!ScenarioLoader::LoadFile(options.scenario, &scenario, &error)) {
    std::fprintf(stderr, "headend: scenario %s:\n%s", options.scenario.c_str(), error.c_str());
    return 2;
  }
  // Each cloud recording's video, where no asset names it.
  for (const CloudRecording& c : scenario.cloud.recordings) {
    RtspAsset asset;
    asset.path = "/cloud/" + std::to_string(c.id);
    asset.duration = c.mediaSeconds;
    asset.pace = c.pace;
    const auto& assets = scenario.rtsp.assets;
    if (std::none_of(assets.begin(), assets.end(),
                     [&](const RtspAsset& a) { return a.path == asset.path; }))
      scenario.rtsp.assets.push_back(asset);
  }
  GuideContent guide(scenario, GuideContent::Yesterday());
  // Writing files sends nothing: it may run anywhere.
  if (!options.writeGuide.empty()) return WriteGuide(guide, options.writeGuide);

  std::string other;
  if (!OnlyLoopback(&other)) {
    std::fprintf(stderr,
                 "headend: interface %s is present: run inside the private test network "
                 "(scripts/netns-run.sh)\n",
                 other.c_str());
    return 3;
  }

  // Every thread inherits this mask; only the main thread takes the signals.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  GuideSchedule schedule(scenario.guide, guide.Services().size(), GuideSchedule::Clock::now());
  DiscoveryRecords records(scenario);
  records.SetGuide(&schedule);
  LogoStore logos(scenario);
  AppAnswers answers(scenario, logos);
  answers.SetGuide(&guide);
  CloudRecordings cloud(scenario.cloud, &guide, time(nullptr));
  CloudAnswers cloudAnswers(cloud, &guide);
  answers.SetCloud(&cloudAnswers);
  log.Write("cloud: %zu recordings", scenario.cloud.recordings.size());
  const auto guideChanges = [&schedule] { return schedule.Changes(GuideSchedule::Clock::now()); };
  AppServer server(scenario.appServer, answers, log);
  std::vector<std::unique_ptr<Carousel>> carousels;
  carousels.push_back(std::make_unique<Carousel>(
      "entry", scenario.entryPoint, CarouselContent::EntryPoint(records, scenario), log));
  for (const auto& d : scenario.demarcations) {
    carousels.push_back(std::make_unique<Carousel>("dem" + std::to_string(d.code), d.carousel,
                                                   CarouselContent::Regional(records, d), log));
    carousels.back()->SetChangeClock(guideChanges);
    log.Write("demarcation %d (%s): %zu services on %s", d.code, d.name.c_str(),
              scenario.ServicesOf(d.code).size(), d.carousel.group.Text().c_str());
  }
  for (int day = 0; day < guide.Days(); ++day) {
    CarouselSettings settings = scenario.guide.carousel;
    settings.group = schedule.Group(day);
    carousels.push_back(std::make_unique<Carousel>(
        "epg" + std::to_string(day), settings,
        [&guide, &schedule, day](int) {
          const auto now = GuideSchedule::Clock::now();
          if (schedule.Dropped(day, now)) return std::vector<StpSegment>();
          return guide.Segments(day, schedule.Version(day, now));
        },
        log));
    carousels.back()->SetChangeClock(guideChanges);
  }
  if (guide.Days() > 0)
    log.Write("guide: %d days from day %ld, %zu channels, %zu programmes", guide.Days(),
              guide.FirstDay(), guide.Services().size(), guide.Programmes());
  TvHeadend tv(scenario, options.clips.empty() ? ClipsBesideProgram() : options.clips, log);
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "headend: %s\n", error.c_str());
    return 1;
  }
  for (auto& c : carousels)
    if (!c->Open(&error)) {
      std::fprintf(stderr, "headend: %s\n", error.c_str());
      return 1;
    }
  if (!tv.Open(&error)) {
    std::fprintf(stderr, "headend: %s\n", error.c_str());
    return 1;
  }
  // The video server and the DNS server, when the scenario has them.
  std::unique_ptr<RtspServer> rtsp;
  std::unique_ptr<DnsServer> dns;
  if (scenario.rtsp.enabled)
    rtsp = std::make_unique<RtspServer>(
        scenario.rtsp, options.clips.empty() ? ClipsBesideProgram() : options.clips, log);
  if (scenario.dns.enabled) dns = std::make_unique<DnsServer>(scenario.dns, log);
  if ((rtsp && !rtsp->Open(&error)) || (dns && !dns->Open(&error))) {
    std::fprintf(stderr, "headend: %s\n", error.c_str());
    return 1;
  }
  log.Write("scenario %s: %zu services, %zu packages, %zu logos", options.scenario.c_str(),
            scenario.services.size(), scenario.packages.size(), logos.Count());
  server.Start();
  for (auto& c : carousels) c->Start();
  tv.Start();
  if (rtsp) rtsp->Start();
  if (dns) dns->Start();
  std::printf("headend ready\n");
  std::fflush(stdout);

  WaitForEnd(signals, options.duration, log);
  auto stopping = std::chrono::steady_clock::now();
  server.RequestStop();
  for (auto& c : carousels) c->RequestStop();
  tv.RequestStop();
  if (rtsp) rtsp->Stop();
  if (dns) dns->Stop();
  server.Stop();
  for (auto& c : carousels) c->Stop();
  tv.Stop();
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - stopping);
  log.Write("stopped in %lld ms", static_cast<long long>(took.count()));
  return 0;
}
