// The recordings library against headend's recording API, 999 cloud and 200
// local recordings, each beside curl doing the same network work:
//  - first listing: the list, 999 details, 999 pictures and every file, on
//    a library that has none of the cloud's yet, against one curl run that
//    fetches the same 1998 resources into files;
//  - steady listing: the list merged into a library that holds it all,
//    against one curl fetch of the list and a rapidjson parse of it.
// Runs inside the private test network (scripts/netns-run.sh); headend is
// started here on a scenario of its own.

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "support/HeadendProcess.h"
#include "support/InProcessHost.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCloud = 999;
constexpr int kLocal = 200;
constexpr int kFirstId = 7000000;
const char kList[] =
    "http://172.26.22.23:2001/appserver/"
    "bktv.do?action=getRecordingList&mode=0&stateList=2&startDate=0000000000000&endDate="
    "9000000000000&first=0&max=999&sort=2&intervalFromLastUpdate=0";

// The operator for the whole run.
class Operator {
 public:
  Operator() {
    scenario_ = fs::temp_directory_path() / "recordings-bench.json";
    std::ofstream(scenario_) << R"({"packages":[{"name":"P"}],"lineUp":{"services":[
      {"id":"1001","name":"Uno","address":"239.0.0.1","packages":["P"]}]},
      "subscriber":{"tvPackages":"P"},
      "demarcations":[{"code":19,"carousel":{"address":"239.0.2.130:3937"}}],
      "cloud":{"families":[{"count":999,"firstId":7000000,"service":"1001",
        "name":"Grabación {n}","seriesName":"Serie","season":"2","episode":1,
        "begin":-2000000,"duration":1800}]}})";
    pid_ = StartHeadend(HEADEND_BIN, scenario_.string(), "/dev/null", 0, ready_);
  }
  ~Operator() {
    StopHeadend(pid_);
    fs::remove(scenario_);
  }
  bool ready() const { return ready_; }

 private:
  fs::path scenario_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// The add-on's side: hostsim in this process, a user folder with the local
// recordings, the library over it.
struct Library {
  Library() {
    host.UseStorage();
    ConexionEnNubeActivada = true;
    for (int id = 1; id <= kLocal; ++id) {
      DatosGrabacion g;
      g.strRecordingId = std::to_string(id);
      g.strTitle = "Local " + g.strRecordingId;
      g.strStreamURL = host.user().file("video.ts");
      g.iClientChannelUid = 1001;
      host.user().Write("Recordings/Recordings/" + g.strRecordingId + ".xml",
                        Recordings::GenerarXML(g));
    }
    canales = std::make_unique<Canales>();
  }
  // Forgets the cloud's files, so that the next listing is a first one.
  void ForgetCloud() {
    for (int id = kFirstId; id < kFirstId + kCloud; ++id) {
      const std::string n = std::to_string(id);
      fs::remove(Recordings::FicheroMetadatos(n));
      fs::remove(Recordings::FicheroLastPlay(n));
      fs::remove(Recordings::FicheroLogo(n));
    }
  }
  InProcessHost host;
  std::unique_ptr<Canales> canales;
};

Operator* g_operator = nullptr;
Library* g_library = nullptr;

bool Ready(benchmark::State& state) {
  if (g_operator == nullptr) g_operator = new Operator();
  if (!g_operator->ready()) {
    state.SkipWithError("headend did not start (run inside scripts/netns-run.sh)");
    return false;
  }
  if (g_library == nullptr) g_library = new Library();
  return true;
}

void BM_FirstListing(benchmark::State& state) {
  if (!Ready(state)) return;
  size_t listed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    g_library->ForgetCloud();
    state.ResumeTiming();
    Recordings recordings(*g_library->canales);
    listed = recordings.GetRecordings().size();
  }
  state.counters["listed"] = static_cast<double>(listed);
  if (!fs::exists(Recordings::FicheroLogo(std::to_string(kFirstId))))
    state.SkipWithError("pictures were not fetched");
}
BENCHMARK(BM_FirstListing)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// curl: the same 999 details and 999 pictures, into files, in one run.
void BM_CurlFirstFloor(benchmark::State& state) {
  if (!Ready(state)) return;
  const fs::path folder = fs::temp_directory_path() / "recordings-bench-curl";
  fs::create_directories(folder);
  const fs::path config = folder / "urls";
  {
    std::ofstream urls(config);
    for (int id = kFirstId; id < kFirstId + kCloud; ++id) {
      urls << "url = \"http://172.26.22.23:2001/appserver/bktv.do?action=getEpgInfo&extInfoID="
           << id << "&tvWholesaler=1\"\noutput = \""
           << (folder / (std::to_string(id) + ".json")).string() << "\"\n";
      urls << "url = \"http://172.26.22.23:2001/appclient/incoming/covers/programmeImages/"
           << "landscape/big/" << id / 10000 << "/" << id << ".jpg\"\noutput = \""
           << (folder / (std::to_string(id) + ".jpg")).string() << "\"\n";
    }
  }
  const std::string command = "curl -s -K " + config.string();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_CurlFirstFloor)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SteadyListing(benchmark::State& state) {
  if (!Ready(state)) return;
  Recordings recordings(*g_library->canales);
  recordings.GetRecordings();
  size_t listed = 0;
  for (auto _ : state) listed = recordings.GetRecordings().size();
  state.counters["listed"] = static_cast<double>(listed);
}
BENCHMARK(BM_SteadyListing)->Unit(benchmark::kMillisecond)->UseRealTime();

// curl: the list alone, and a rapidjson parse of it.
void BM_CurlSteadyFloor(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string command = std::string("curl -s '") + kList + "'";
  size_t entries = 0;
  for (auto _ : state) {
    FILE* curl = popen(command.c_str(), "r");
    std::string body;
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, curl)) > 0) body.append(block, n);
    pclose(curl);
    rapidjson::Document doc;
    doc.Parse(body.c_str(), body.size());
    entries = doc.HasParseError() ? 0 : doc["resultData"]["result"].Size();
  }
  state.counters["listed"] = static_cast<double>(entries);
}
BENCHMARK(BM_CurlSteadyFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The headend goes with the run, so the test network can close.
  delete g_library;
  delete g_operator;
  return 0;
}
