// Feeds the DVB-STP receiver a recorded discovery carousel from memory.
//
// The carousel is built here: a broadcast discovery record of 130 services
// (about 300 KB) and a package discovery record, cut into sections of 1400
// bytes of body with the 12-byte header and a CRC, both records interleaved
// section by section and repeated for several cycles, as a regional server
// sends them. A 20 Mbit/s carousel of such sections is about 1800 sections
// per second; the "x20Mbit" counter is the margin over that rate on one core.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "discovery/PayLoads.h"
#include "discovery/ServiceList.h"

namespace {

constexpr size_t kSectionBody = 1400;
constexpr int kServices = 130;
constexpr int kCycles = 5;
constexpr double kSectionsAt20Mbit = 1800;

std::string Description(int n) {
  std::string text;
  while (text.size() < 1500) {
    text += "Programacion generalista del canal " + std::to_string(n) +
            ": informativos, series, cine y deportes en directo. ";
  }
  return text;
}

std::string BroadcastRecord() {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<ServiceDiscovery xmlns=\"urn:dvb:ipisdns:2006\" "
      "xmlns:mpeg7=\"urn:tva:mpeg7:2005\" xmlns:tva=\"urn:tva:metadata:2005\">\n"
      "<BroadcastDiscovery DomainName=\"imagenio.es\" Version=\"412\">\n<ServiceList>\n";
  for (int n = 0; n < kServices; ++n) {
    const std::string id = std::to_string(1000 + n);
    xml += "<SingleService>\n<ServiceLocation><IPMulticastAddress Address=\"239.0.";
    xml += std::to_string(n / 200) + "." + std::to_string(n % 200 + 1);
    xml += "\" Port=\"8208\" Streaming=\"rtp\"/></ServiceLocation>\n";
    xml += "<TextualIdentifier DomainName=\"imagenio.es\" ServiceName=\"" + id +
           "\" logoURI=\"MAY_1/imSer/" + id + ".jpg\"/>\n";
    xml += "<DVBTriplet OrigNetId=\"1\" ServiceId=\"" + id + "\" TSId=\"1\"/>\n";
    xml += "<MaxBitrate>8000</MaxBitrate>\n";
    xml += "<SI ServiceType=\"1\" ServiceReliability=\"1\" PrimarySISource=\"XML\">\n";
    xml += "<Name Language=\"SPA\">Canal numero " + std::to_string(n) + "</Name>\n";
    xml += "<ShortName Language=\"SPA\">C" + std::to_string(n) + "</ShortName>\n";
    xml += "<Description Language=\"SPA\">" + Description(n) + "</Description>\n";
    xml += "<Genre href=\"urn:miviewtv:cs:GenreCS:2007:1.1\"><urn:Name>Cine</urn:Name></Genre>\n";
    xml +=
        "<ParentalGuidance><mpeg7:ParentalRating href=\"urn:dvb:iptv:rating:2007:2\">"
        "<mpeg7:Name>TP</mpeg7:Name></mpeg7:ParentalRating></ParentalGuidance>\n";
    if (n % 10 == 0) {
      xml += "<ReplacementService ReplacementType=\"5\"><TextualIdentifier ServiceName=\"" +
             std::to_string(2000 + n) + "\"/></ReplacementService>\n";
    }
    xml +=
        "</SI>\n<AudioAttributes><Coding href=\"urn:mpeg:mpeg7:cs:AudioCodingFormatCS:2001:3."
        "2\"/><AudioLanguage purpose=\"urn:tva:metadata:cs:AudioPurposeCS:2007:1\">"
        "spa</AudioLanguage></AudioAttributes>\n</SingleService>\n";
  }
  return xml + "</ServiceList>\n</BroadcastDiscovery>\n</ServiceDiscovery>\n";
}

std::string PackageRecord() {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<ServiceDiscovery xmlns=\"urn:dvb:ipisdns:2006\">\n"
      "<PackageDiscovery DomainName=\"imagenio.es\" Version=\"87\">\n";
  const int sizes[] = {kServices, 60, 40, 25, 12, 8};
  for (int p = 0; p < 6; ++p) {
    xml += "<Package Id=\"" + std::to_string(p) + "\"><PackageName Language=\"SPA\">UTX" +
           std::to_string(32 + p) + "</PackageName>\n";
    for (int n = 0; n < sizes[p]; ++n) {
      xml += "<Service><TextualID ServiceName=\"" + std::to_string(1000 + (n * 7 + p) % kServices) +
             "\"/><DVBTriplet OrigNetId=\"1\" ServiceId=\"1\" TSId=\"1\"/>"
             "<LogicalChannelNumber>" +
             std::to_string(n + 1) + "</LogicalChannelNumber></Service>\n";
    }
    xml += "</Package>\n";
  }
  return xml + "</PackageDiscovery>\n</ServiceDiscovery>\n";
}

// The record cut into sections, each a whole datagram with header and CRC.
std::vector<std::string> Sections(const std::string& record, unsigned payload) {
  const size_t count = (record.size() + kSectionBody - 1) / kSectionBody;
  std::vector<std::string> datagrams;
  for (size_t s = 0; s < count; ++s) {
    const std::string body = record.substr(s * kSectionBody, kSectionBody);
    const size_t last = count - 1;
    std::string d;
    d += '\x01';
    d += static_cast<char>(record.size() >> 16);
    d += static_cast<char>(record.size() >> 8);
    d += static_cast<char>(record.size());
    d += static_cast<char>(payload);
    d += '\0';
    d += '\0';
    d += '\x05';
    d += static_cast<char>(s >> 4);
    d += static_cast<char>(((s & 0x0f) << 4) | ((last >> 8) & 0x0f));
    d += static_cast<char>(last & 0xff);
    d += '\0';
    d += body;
    d += "\x12\x34\x56\x78";
    datagrams.push_back(d);
  }
  return datagrams;
}

struct Carousel {
  std::string broadcast = BroadcastRecord();
  std::string packages = PackageRecord();
  std::vector<std::string> cycle;
  std::vector<std::string> all;

  Carousel() {
    const std::vector<std::string> a = Sections(broadcast, 0x02);
    const std::vector<std::string> b = Sections(packages, 0x05);
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
      if (i < a.size()) cycle.push_back(a[i]);
      if (i < b.size()) cycle.push_back(b[i]);
    }
    for (int c = 0; c < kCycles; ++c) all.insert(all.end(), cycle.begin(), cycle.end());
  }
};

const Carousel& Recorded() {
  static const Carousel carousel;
  return carousel;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// `cpu` is the thread's processor time spent in the timed loop.
void Report(benchmark::State& state, size_t sections, const Carousel& carousel, double cpu) {
  const double total = static_cast<double>(sections) * static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<int64_t>(total));
  state.counters["sections"] = static_cast<double>(sections);
  state.counters["record_KB"] = static_cast<double>(carousel.broadcast.size()) / 1024;
  state.counters["cpu_us_per_section"] = cpu / total * 1e6;
  // How many 20 Mbit/s carousels one core keeps up with.
  state.counters["margin_20Mbit"] = total / cpu / kSectionsAt20Mbit;
}

// Every section of every cycle through the frame parser and the assembly;
// after the first cycle the repetitions are dropped as held sections.
void BM_CarouselFrames(benchmark::State& state) {
  const Carousel& carousel = Recorded();
  const double start = ThreadCpuSeconds();
  for (auto _ : state) {
    PayLoads receiver("239.0.2.155", 3937, "");
    for (const std::string& d : carousel.all) {
      receiver.ProcesarTrama(receiver.GenerarTrama(
          static_cast<int>(d.size()), reinterpret_cast<const unsigned char*>(d.data())));
    }
    if (!receiver.Finished()) state.SkipWithError("carousel not complete");
    benchmark::DoNotOptimize(receiver.ObtenerXMLPayLoad("02").size());
  }
  Report(state, carousel.all.size(), carousel, ThreadCpuSeconds() - start);
}
BENCHMARK(BM_CarouselFrames)->Unit(benchmark::kMillisecond);

// The header parse alone.
void BM_GenerarTrama(benchmark::State& state) {
  const Carousel& carousel = Recorded();
  PayLoads receiver("239.0.2.155", 3937, "");
  size_t i = 0;
  for (auto _ : state) {
    const std::string& d = carousel.cycle[i++ % carousel.cycle.size()];
    benchmark::DoNotOptimize(receiver.GenerarTrama(
        static_cast<int>(d.size()), reinterpret_cast<const unsigned char*>(d.data())));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GenerarTrama);

// The whole reception loop with the group replaced by the recording,
// starting a third into a cycle as a receiver that joins late does.
class RecordedPayLoads : public PayLoads {
 public:
  RecordedPayLoads(const std::vector<std::string>& datagrams, size_t start)
      : PayLoads("239.0.2.155", 3937, ""), datagrams_(datagrams), next_(start) {}
  size_t received = 0;

 protected:
  bool OpenGroup() override { return true; }
  void CloseGroup() override {}
  int Receive(unsigned char* buffer, int size) override {
    if (next_ >= datagrams_.size()) return -1;
    const std::string& d = datagrams_[next_++];
    const size_t n = std::min(d.size(), static_cast<size_t>(size));
    memcpy(buffer, d.data(), n);
    ++received;
    return static_cast<int>(n);
  }

 private:
  const std::vector<std::string>& datagrams_;
  size_t next_;
};

void BM_CargarPayLoads(benchmark::State& state) {
  const Carousel& carousel = Recorded();
  size_t received = 0;
  const double start = ThreadCpuSeconds();
  for (auto _ : state) {
    RecordedPayLoads receiver(carousel.all, carousel.cycle.size() / 3);
    if (!receiver.CargarPayLoads()) state.SkipWithError("reception failed");
    received = receiver.received;
  }
  Report(state, received, carousel, ThreadCpuSeconds() - start);
}
BENCHMARK(BM_CargarPayLoads)->Unit(benchmark::kMillisecond);

// Reading the assembled broadcast record back as the channel list does.
void BM_CargarServicios(benchmark::State& state) {
  const Carousel& carousel = Recorded();
  char folder[] = "/tmp/dvbstp_bench.XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = std::string(folder) + "/" + FicheroServiceList;
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(carousel.broadcast.data(), 1, carousel.broadcast.size(), file);
  fclose(file);
  size_t services = 0;
  for (auto _ : state) {
    ServiceList list;
    list.CargarServicios(folder);
    services = list.Services().size();
  }
  if (services != kServices) state.SkipWithError("services missing");
  state.counters["services"] = static_cast<double>(services);
  remove(path.c_str());
  rmdir(folder);
}
BENCHMARK(BM_CargarServicios)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
