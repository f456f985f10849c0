// The host's guide requests on the generated week of the default scenario:
// one busy channel's eight days, and the pull of every channel of the
// line-up into the host, each beside a pugixml parse of the same files (the
// floor: reading and parsing, nothing else). Also the add-on's heap peak
// during one channel's request against the largest single guide file.
//
// The week comes from headend --write-guide; the files of channels outside
// the subscriber's line-up are removed, as the day receivers never write
// them. The host is hostsim in this process, bound as the add-on binds it.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "addon/HostAdapter.h"
#include "addon/PvrBinding.h"
#include "common/DatosConfiguracion.h"
#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/XMLNode.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"
#include "series/Series.h"
#include "support/InProcessHost.h"

#if __has_include(<pugixml.hpp>)
#include <pugixml.hpp>
#define HAVE_PUGIXML 1
#endif

namespace {

std::atomic<bool> g_counting{false};
std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void* Counted(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  if (g_counting.load(std::memory_order_relaxed)) {
    const size_t now = g_live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
  }
  return p;
}

void Uncounted(void* p) {
  if (p == nullptr) return;
  if (g_counting.load(std::memory_order_relaxed)) g_live.fetch_sub(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(size_t size) {
  return Counted(size);
}
void* operator new[](size_t size) {
  return Counted(size);
}
void operator delete(void* p) noexcept {
  Uncounted(p);
}
void operator delete[](void* p) noexcept {
  Uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
  Uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
  Uncounted(p);
}

namespace {

namespace fs = std::filesystem;

constexpr time_t kPast = 7 * 24 * 3600;
constexpr time_t kFuture = 14 * 24 * 3600;

// The add-on on the generated week, built once.
struct Week {
  InProcessHost host;
  std::unique_ptr<Canales> canales;
  std::unique_ptr<EPGQuorvina> guia;
  std::vector<unsigned int> channels;  // the line-up, less the on-demand channel
  std::map<unsigned int, std::vector<std::string>> files;  // each channel's guide files
  std::vector<std::string> allFiles;                       // each file once
  unsigned int busy = 0;                                   // the channel with most bytes
  size_t largestFile = 0;
  bool ok = false;

  Week() {
    host.UseStorage();
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.OcultarSustituidos = true;
    // Without programme details: the figure is the guide's own parse, beside
    // pugixml's, not the reading of the details caches.
    detalleepg = false;
    std::ifstream lineUp(QUORVINA_SOURCE_DIR "/tests/e2e/data/Canales-default.xml",
                         std::ios::binary);
    host.user().Write("Canales/Canales.xml",
                      std::string(std::istreambuf_iterator<char>(lineUp), {}));
    const std::string command = std::string(HEADEND_BIN) +
                                " --scenario " QUORVINA_SOURCE_DIR
                                "/tools/headend/scenarios/default.json --write-guide " +
                                PathEPG + " >/dev/null";
    if (std::system(command.c_str()) != 0) return;
    canales =
        std::make_unique<Canales>([](const std::string&, int) { return false; },
                                  [](const std::string&, const std::string&) { return false; });
    guia = std::make_unique<EPGQuorvina>(*canales);

    std::set<int> wanted;
    std::map<int, int> guideOf;  // channel -> the channel whose files it reads
    for (const auto& entry : canales->Snapshot()->channels) {
      if (static_cast<unsigned int>(entry.first) == CanalVOD) continue;
      channels.push_back(static_cast<unsigned int>(entry.first));
      wanted.insert(entry.first);
      wanted.insert(entry.second.idSustituto);
      guideOf[entry.first] = entry.second.idSustituto;
    }
    std::map<int, std::vector<std::string>> byGuide;
    for (const auto& f : fs::directory_iterator(PathEPG)) {
      const std::string name = f.path().filename();
      if (!f.is_regular_file()) continue;
      const int channel = std::atoi(name.c_str());
      if (wanted.count(channel) == 0) {
        fs::remove(f.path());
        continue;
      }
      byGuide[channel].push_back(f.path());
      allFiles.push_back(f.path());
      largestFile = std::max<size_t>(largestFile, fs::file_size(f.path()));
    }
    // Between two day arrivals the folder stays as it is for hours.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    size_t most = 0;
    for (unsigned int c : channels) {
      files[c] = byGuide[guideOf[static_cast<int>(c)]];
      size_t bytes = 0;
      for (const auto& path : files[c]) bytes += fs::file_size(path);
      if (bytes > most) most = bytes, busy = c;
    }
    ok = busy != 0 && !allFiles.empty();
  }
};

Week& TheWeek() {
  static Week week;
  return week;
}

size_t Bytes(const std::vector<std::string>& paths) {
  size_t bytes = 0;
  for (const auto& path : paths) bytes += fs::file_size(path);
  return bytes;
}

// The series rules fed by the guide: `reglas` stored rules (none of them on
// the guide) plus those the guide's series titles make, and the timer set and
// library a pass needs. Logo fetches are refused at once.
struct Reglas {
  std::unique_ptr<Series> series;
  std::unique_ptr<Recordings> grabaciones;
  std::unique_ptr<Temporizadores> timers;

  Reglas(Week& week, int reglas) {
    httpHostQuorvina = "127.0.0.1";
    PuertoHttpQuorvina = 1;
    for (int i = 0; i < reglas; ++i) {
      Serie s;
      s.IdStrSerie = "Regla " + std::to_string(i);
      s.Descripcion = s.IdStrSerie;
      std::ofstream(Series::FicheroSerie(s.IdStrSerie)) << Series::TextoSerie(s);
    }
    series = std::make_unique<Series>(*week.canales);
    grabaciones = std::make_unique<Recordings>(*week.canales);
    timers = std::make_unique<Temporizadores>(
        EntornoTemporizador{*week.canales, week.guia.get(), *grabaciones, series.get()});
    series->Enlazar(&week.guia->Programas(), timers.get(), grabaciones.get());
  }
  ~Reglas() {
    timers.reset();
    series.reset();
    for (const auto& f : fs::directory_iterator(PathSeriesGrabaciones)) fs::remove(f.path());
  }
};

// The floor of a benchmark's repetitions: on a shared machine the least
// disturbed run is the one to set beside another.
double Floor(const std::vector<double>& v) {
  return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

// One channel's request as the entry point runs it, the entries converted
// to the host's tag and handed to the host's transfer function.
size_t PullChannel(Week& week, unsigned int channel, ADDON_HANDLE handle) {
  const time_t now = time(nullptr);
  size_t entries = 0;
  week.guia->GetEPGForChannel(channel, now - kPast, now + kFuture, [&](const EPG_Quorvina& e) {
    const EPG_TAG tag = ToHostEpgTag(e);
    if (handle != nullptr) PVR->TransferEpgEntry(handle, &tag);
    benchmark::DoNotOptimize(tag);
    ++entries;
  });
  return entries;
}

void BM_ChannelWeek(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  size_t entries = 0;
  for (auto _ : state) entries = PullChannel(week, week.busy, nullptr);
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["files"] = static_cast<double>(week.files[week.busy].size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes(week.files[week.busy])));
}
BENCHMARK(BM_ChannelWeek)->ComputeStatistics("floor", Floor)->Unit(benchmark::kMillisecond);

// Every channel of the line-up pulled into the host's store, once a
// benchmark iteration; the entries of the last pass.
size_t PullLineUp(benchmark::State& state, Week& week) {
  hostsim::PvrStore& store = week.host.host().pvr();
  size_t entries = 0;
  for (auto _ : state) {
    entries = 0;
    for (unsigned int channel : week.channels) {
      ADDON_HANDLE handle = store.begin(hostsim::TransferKind::Epg);
      entries += PullChannel(week, channel, handle);
      benchmark::DoNotOptimize(store.finish(handle));
    }
  }
  return entries;
}

// Every channel of the line-up, into the host's store as the host collects it.
void BM_LineUpPull(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  const size_t entries = PullLineUp(state, week);
  state.counters["channels"] = static_cast<double>(week.channels.size());
  state.counters["entries"] = static_cast<double>(entries);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes(week.allFiles)));
}
BENCHMARK(BM_LineUpPull)->ComputeStatistics("floor", Floor)->Unit(benchmark::kMillisecond);

// The same pull with the series hooks live on 200 stored rules, to set
// beside BM_LineUpPull (hooks empty) of the same run.
void BM_LineUpPullSeriesHooks(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  Reglas reglas(week, 200);
  week.guia->Programas().EnlazarSeries(reglas.series.get());
  const size_t entries = PullLineUp(state, week);
  week.guia->Programas().EnlazarSeries(nullptr);
  state.counters["rules"] = static_cast<double>(reglas.series->Identificadores().size());
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_LineUpPullSeriesHooks)
    ->ComputeStatistics("floor", Floor)
    ->Unit(benchmark::kMillisecond);

// One scheduler pass over 100 active rules, each with a series' broadcasts
// of the week, as a pass runs once everything is booked: the past ones are
// skipped, every upcoming one is looked at and none is bookable (the rules
// ask for a season no broadcast has). To set beside BM_ChannelWeek. With
// argument 1 every channel's guide is loaded again before each pass (not
// timed), as the host's pulls do between two passes.
void BM_SchedulerPass100Rules(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  Reglas reglas(week, 0);
  std::vector<EPG_Quorvina> episodios;
  const time_t now = time(nullptr);
  for (unsigned int channel : week.channels)
    week.guia->GetEPGForChannel(channel, now - kPast, now + kFuture, [&](const EPG_Quorvina& e) {
      if (!e.tituloSerie.empty()) episodios.push_back(e);
    });
  std::map<std::string, std::vector<EPG_Quorvina>> porSerie;
  for (const auto& e : episodios) porSerie[e.tituloSerie].push_back(e);
  if (porSerie.empty()) return state.SkipWithError("no series in the week");
  std::vector<EPG_Quorvina> alimentados;
  OpcionesSerie opciones;
  opciones.Temporadas = {9999};
  int i = 0;
  for (auto it = porSerie.begin(); i < 100; ++i) {
    const std::string titulo = "R" + std::to_string(i) + " " + it->first;
    for (EPG_Quorvina e : it->second) {
      e.tituloSerie = titulo;
      reglas.series->ComprobarSerie(e);
      alimentados.push_back(std::move(e));
    }
    reglas.series->ProgramarSerie(Series::ClaveSerie(titulo), opciones);
    if (++it == porSerie.end()) it = porSerie.begin();
  }
  for (auto _ : state) {
    if (state.range(0) == 1) {
      state.PauseTiming();
      for (unsigned int channel : week.channels)
        reglas.series->LimpiarSeriesCanal(static_cast<int>(channel));
      for (const EPG_Quorvina& e : alimentados) reglas.series->ComprobarSerie(e);
      reglas.series->LimpiarSeries();
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(reglas.series->ProgramarSeries());
  }
  state.counters["rules"] = 100;
  state.counters["broadcasts"] = static_cast<double>(alimentados.size());
}
BENCHMARK(BM_SchedulerPass100Rules)
    ->Arg(0)
    ->Arg(1)
    ->ComputeStatistics("floor", Floor)
    ->Unit(benchmark::kMillisecond);

// The add-on's heap during one channel's request: what it holds at its
// peak above what it held before, against the largest single guide file and
// against the channel's whole week.
void BM_ChannelWeekMemory(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  for (auto _ : state) {
    g_live = 0;
    g_peak = 0;
    g_counting = true;
    PullChannel(week, week.busy, nullptr);
    g_counting = false;
  }
  const double peak = static_cast<double>(g_peak.load());
  state.counters["peak_KB"] = peak / 1024;
  state.counters["largest_file_KB"] = static_cast<double>(week.largestFile) / 1024;
  state.counters["week_KB"] = static_cast<double>(Bytes(week.files[week.busy])) / 1024;
  state.counters["peak_x_largest_file"] = peak / static_cast<double>(week.largestFile);
}
BENCHMARK(BM_ChannelWeekMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

// The add-on's own XML parser on the same files, read the same way: what
// the request costs beyond parsing.
void BM_XMLNodeChannelWeek(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  for (auto _ : state) {
    for (const auto& path : week.files[week.busy]) {
      FILE* file = std::fopen(path.c_str(), "rb");
      std::string text(fs::file_size(path), '\0');
      text.resize(std::fread(&text[0], 1, text.size(), file));
      std::fclose(file);
      benchmark::DoNotOptimize(XMLNode::parseString(text.c_str(), "TVAMain"));
    }
  }
}
BENCHMARK(BM_XMLNodeChannelWeek)->Unit(benchmark::kMillisecond);

#ifdef HAVE_PUGIXML
// The floor: each file read from disk and parsed into pugixml's DOM.
size_t ParseFiles(const std::vector<std::string>& paths) {
  size_t nodes = 0;
  for (const auto& path : paths) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) continue;
    nodes += doc.first_child().empty() ? 0 : 1;
  }
  return nodes;
}

void BM_PugixmlChannelWeek(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  for (auto _ : state) benchmark::DoNotOptimize(ParseFiles(week.files[week.busy]));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes(week.files[week.busy])));
}
BENCHMARK(BM_PugixmlChannelWeek)->Unit(benchmark::kMillisecond);

void BM_PugixmlAllFiles(benchmark::State& state) {
  Week& week = TheWeek();
  if (!week.ok) return state.SkipWithError("no generated week");
  for (auto _ : state) benchmark::DoNotOptimize(ParseFiles(week.allFiles));
  state.counters["files"] = static_cast<double>(week.allFiles.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes(week.allFiles)));
}
BENCHMARK(BM_PugixmlAllFiles)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
BENCHMARK_MAIN();
