// Parse speed and tree size of XMLNode on a TV-Anytime guide of about 10 MB,
// with pugixml's DOM on the same bytes as the yardstick.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "common/XMLNode.h"

#if __has_include(<pugixml.hpp>)
#include <pugixml.hpp>
#define HAVE_PUGIXML 1
#endif

// Every heap byte of the process is counted, so a parse's growth and peak can be read off.
namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void* countedMalloc(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) return nullptr;
  size_t now = g_live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void countedFree(void* p) {
  if (!p) return;
  g_live.fetch_sub(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(size_t size) {
  void* p = countedMalloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  countedFree(p);
}
void operator delete[](void* p) noexcept {
  countedFree(p);
}
void operator delete(void* p, size_t) noexcept {
  countedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
  countedFree(p);
}

namespace {

const char* const kTitles[] = {"Telediario 1 &amp; el tiempo",
                               "Película: &quot;El niño y la montaña&quot;",
                               "Documental: España salvaje",
                               "Fútbol: Liga &#8211; jornada 12",
                               "Informe semanal",
                               "Concierto de Año Nuevo &amp; ballet"};
const char* const kSynopses[] = {
    "Las noticias más importantes del día, con la información "
    "nacional e internacional, los deportes y la previsión del tiempo para "
    "mañana en toda España.",
    "Un niño de un pueblo de montaña descubre que su abuelo guardaba un "
    "secreto &quot;inconfesable&quot; desde la posguerra. Drama &amp; aventura.",
    "Recorrido por los parques nacionales: la fauna ibérica, el lince, el "
    "águila imperial y los bosques atlánticos &lt;en HD&gt;."};
const char* const kGenres[] = {"3.1.1", "3.4.6.1", "3.6.1", "3.2.1"};

// A guide like the ones the discovery multicast carries: programme
// descriptions followed by the schedule that refers to them.
std::string makeGuide(size_t targetBytes) {
  std::string doc;
  doc.reserve(targetBytes + (1 << 16));
  doc +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<tva:TVAMain xmlns:tva=\"urn:tva:metadata:2005\" xmlns:mpeg7=\"urn:tva:mpeg7:2005\" "
      "xml:lang=\"spa\">\n <tva:ProgramDescription>\n  <tva:ProgramInformationTable>\n";
  char buf[2048];
  const size_t half = targetBytes / 2;
  int n = 0;
  for (; doc.size() < half; ++n) {
    std::snprintf(
        buf, sizeof buf,
        "   <tva:ProgramInformation programId=\"crid://imagenio.es/%d\">\n"
        "    <tva:BasicDescription>\n"
        "     <tva:Title type=\"main\">%s</tva:Title>\n"
        "     <tva:Synopsis length=\"short\">%s</tva:Synopsis>\n"
        "     <tva:Genre href=\"urn:tva:metadata:cs:ContentCS:2005:%s\" type=\"main\"/>\n"
        "     <tva:ParentalGuidance><mpeg7:ParentalRating "
        "href=\"urn:dvb:iptv:rating:2007:%d\"/></tva:ParentalGuidance>\n"
        "     <tva:CreditsList><tva:CreditsItem role=\"urn:tva:metadata:cs:TVARoleCS:2005:AV\">"
        "<mpeg7:PersonName><mpeg7:GivenName>José María</mpeg7:GivenName>"
        "<mpeg7:FamilyName>Núñez</mpeg7:FamilyName></mpeg7:PersonName>"
        "</tva:CreditsItem></tva:CreditsList>\n"
        "    </tva:BasicDescription>\n"
        "   </tva:ProgramInformation>\n",
        n, kTitles[n % 6], kSynopses[n % 3], kGenres[n % 4], n % 5);
    doc += buf;
  }
  doc += "  </tva:ProgramInformationTable>\n  <tva:ProgramLocationTable>\n";
  for (int s = 0; doc.size() < targetBytes; ++s) {
    std::snprintf(buf, sizeof buf, "   <tva:Schedule serviceIDRef=\"%d.imagenio.es\">\n", s);
    doc += buf;
    for (int e = 0; e < 48; ++e) {
      int id = (s * 48 + e) % n;
      std::snprintf(
          buf, sizeof buf,
          "    <tva:ScheduleEvent>\n"
          "     <tva:Program crid=\"crid://imagenio.es/%d\"/>\n"
          "     <tva:InstanceDescription><tva:Title>%s</tva:Title></tva:InstanceDescription>\n"
          "     <tva:PublishedStartTime>2024-05-%02dT%02d:%02d:00Z</tva:PublishedStartTime>\n"
          "     <tva:PublishedDuration>PT%dM</tva:PublishedDuration>\n"
          "    </tva:ScheduleEvent>\n",
          id, kTitles[id % 6], 1 + s % 28, e / 2, (e % 2) * 30, 30 + (e % 4) * 15);
      doc += buf;
    }
    doc += "   </tva:Schedule>\n";
  }
  doc += "  </tva:ProgramLocationTable>\n </tva:ProgramDescription>\n</tva:TVAMain>\n";
  return doc;
}

const std::string& guide() {
  static const std::string doc = makeGuide(10u << 20);
  return doc;
}

int countEvents(const XMLNode& main) {
  XMLNode table =
      main.getChildNode("tva:ProgramDescription").getChildNode("tva:ProgramLocationTable");
  int events = 0;
  for (int i = 0; i < table.nChildNode(); ++i) events += table.getChildNode(i).nChildNode();
  return events;
}

void BM_XMLNodeParse(benchmark::State& state) {
  const std::string& doc = guide();
  for (auto _ : state) {
    XMLResults r{};
    XMLNode main = XMLNode::parseString(doc.c_str(), "tva:TVAMain", &r);
    if (r.error != eXMLErrorNone || main.isEmpty()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(main);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_XMLNodeParse)->Unit(benchmark::kMillisecond);

// Heap growth while the tree lives, and the peak during the parse, against the document size.
void BM_XMLNodeMemory(benchmark::State& state) {
  const std::string& doc = guide();
  for (auto _ : state) {
    size_t before = g_live.load();
    g_peak.store(before);
    XMLNode main = XMLNode::parseString(doc.c_str(), "tva:TVAMain");
    size_t retained = g_live.load() - before;
    size_t peak = g_peak.load() - before;
    state.counters["doc_MB"] = doc.size() / 1048576.0;
    state.counters["tree_x_doc"] = static_cast<double>(retained) / doc.size();
    state.counters["peak_x_doc"] = static_cast<double>(peak) / doc.size();
    state.counters["events"] = countEvents(main);
  }
}
BENCHMARK(BM_XMLNodeMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

#ifdef HAVE_PUGIXML
void BM_PugixmlParse(benchmark::State& state) {
  const std::string& doc = guide();
  for (auto _ : state) {
    pugi::xml_document xml;
    pugi::xml_parse_result r = xml.load_buffer(doc.data(), doc.size());
    if (!r) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(xml);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);

void BM_PugixmlMemory(benchmark::State& state) {
  const std::string& doc = guide();
  pugi::set_memory_management_functions(countedMalloc, countedFree);
  for (auto _ : state) {
    size_t before = g_live.load();
    g_peak.store(before);
    pugi::xml_document xml;
    xml.load_buffer(doc.data(), doc.size());
    state.counters["doc_MB"] = doc.size() / 1048576.0;
    state.counters["tree_x_doc"] = static_cast<double>(g_live.load() - before) / doc.size();
    state.counters["peak_x_doc"] = static_cast<double>(g_peak.load() - before) / doc.size();
  }
}
BENCHMARK(BM_PugixmlMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
