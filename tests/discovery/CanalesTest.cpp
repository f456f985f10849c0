// The owner of the line-up: when "Canales.xml" is rebuilt from the discovery
// records, what the host is told, how a stop ends a rebuild, and readers on
// other threads while a load replaces the line-up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "discovery/Canales.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Numbers = std::vector<std::pair<int, int>>;  // service (channel id), number

std::string Channels(int count, const std::string& prefix, int firstId = 1) {
  std::string text =
      "<Canales>\n<Version VersionOrden=\"4\" VersionCanales=\"7\" paquetes=\"P1\" "
      "demarcacion=\"19\" TipodeBusqueda=\"0\" />\n";
  for (int id = firstId; id < firstId + count; ++id) {
    const std::string n = std::to_string(id);
    text += "<Canal NumeroCanal=\"" + n + "\" ID=\"" + n + "\" Nombre=\"" + prefix + n +
            "\" Genero=\"" + prefix + "genre\" ServiceNameOriginal=\"" + n +
            "\" ServiceType=\"1\" ip=\"239.0.0.1\" puerto=\"8208\" />\n";
  }
  return text + "</Canales>\n";
}

class CanalesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    // Otherwise the defaults: demarcation 19, search type 0, hide replaced, HD.
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.paquetes = "P1";
    configuracionquorvina.ListaPaquetes = {"P1"};
  }
  void TearDown() override {
    list.reset();
    configuracionquorvina = DatosConfiguracion();
    PararProceso = false;
  }

  // The service list ("02_0000.xml") and the package record ("05_0000.xml")
  // of service n on 239.0.0.n.
  void WriteRecords(int listVersion, int orderVersion, const Numbers& numbers) {
    std::string services, order;
    for (const auto& [id, number] : numbers) {
      const std::string n = std::to_string(id);
      services += "<SingleService><ServiceLocation><IPMulticastAddress Address=\"239.0.0." + n +
                  "\" Port=\"8208\"/></ServiceLocation><TextualIdentifier ServiceName=\"" + n +
                  "\"/><SI ServiceType=\"1\"><Name>S" + n + "</Name></SI></SingleService>";
      order += "<Service><TextualID ServiceName=\"" + n + "\"/><LogicalChannelNumber>" +
               std::to_string(number) + "</LogicalChannelNumber></Service>";
    }
    host.user().Write("Base/02_0000.xml",
                      "<ServiceDiscovery><BroadcastDiscovery Version=\"" +
                          std::to_string(listVersion) + "\"><ServiceList>" + services +
                          "</ServiceList></BroadcastDiscovery></ServiceDiscovery>");
    host.user().Write("Base/05_0000.xml", "<ServiceDiscovery><PackageDiscovery Version=\"" +
                                              std::to_string(orderVersion) +
                                              "\"><Package><PackageName>P1</PackageName>" + order +
                                              "</Package></PackageDiscovery></ServiceDiscovery>");
  }
  void WriteCanales(const std::string& text) { host.user().Write("Canales/Canales.xml", text); }
  std::string ReadCanales() const { return host.user().Read("Canales/Canales.xml"); }

  // Builds the list (which loads at once) and waits for a rebuild it starts;
  // without a probe, probing is a failure.
  Canales& Create(ChannelProbe probe = nullptr) {
    list = std::make_unique<Canales>(
        probe ? probe : [](const std::string& ip, int) {
          ADD_FAILURE() << "unexpected probe of " << ip;
          return false;
        },
        [](const std::string&, const std::string&) { return false; });  // no logo server
    EXPECT_TRUE(WaitIdle());
    return *list;
  }
  bool WaitIdle(int ms = 20000) {
    for (; list->Running() && ms > 0; ms -= 10) std::this_thread::sleep_for(10ms);
    return !list->Running();
  }
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const auto& entry : list->Snapshot()->channels) ids.push_back(entry.first);
    return ids;
  }

  InProcessHost host;
  std::unique_ptr<Canales> list;
};

TEST_F(CanalesTest, MissingLogosAreFetchedOnTheControllersPassNotWhileTheHostWaits) {
  WriteCanales(Channels(1, "C"));
  std::string text = ReadCanales();
  WriteCanales(text.replace(text.find("ServiceNameOriginal"), 0, "Logo=\"l1.png\" "));
  std::vector<std::string> asked;
  list = std::make_unique<Canales>(nullptr, [&asked](const std::string& path, const std::string&) {
    asked.push_back(path);
    return false;
  });
  EXPECT_TRUE(asked.empty());
  list->CargarCanales();
  EXPECT_EQ(asked, std::vector<std::string>{"/appclient/incoming/epg/big/l1.png"});
  EXPECT_EQ(host.host().followUps().triggers(hostsim::FollowUpKind::Channels), 1u);
}

TEST_F(CanalesTest, RebuildsOnlyWhenAnInputChanged) {
  const struct {
    const char* name;
    int listVersion, orderVersion;  // of the records after the change
    void (*change)(DatosConfiguracion&);
    bool rebuild;
  } cases[] = {
      {"nothing", 7, 4, [](DatosConfiguracion&) {}, false},
      {"list version", 8, 4, [](DatosConfiguracion&) {}, true},
      {"order version", 7, 5, [](DatosConfiguracion&) {}, true},
      {"packages", 7, 4, [](DatosConfiguracion& c) { c.paquetes = "P1|P2"; }, true},
      {"demarcation", 7, 4, [](DatosConfiguracion& c) { c.Provincia = "28"; }, true},
      {"search type", 7, 4, [](DatosConfiguracion& c) { c.TiposdeBusqueda = 3; }, true},
  };
  for (const auto& c : cases) {
    configuracionquorvina.paquetes = "P1";
    configuracionquorvina.Provincia = "19";
    configuracionquorvina.TiposdeBusqueda = 0;
    WriteCanales("");
    WriteRecords(7, 4, {{1, 1}});
    Canales& canales = Create();
    const auto counts = [this] {
      const auto& followUps = host.host().followUps();
      return std::vector<size_t>{host.CountNotified("Cargando canales..."),
                                 host.CountNotified("Canales cargados"),
                                 followUps.triggers(hostsim::FollowUpKind::Channels),
                                 followUps.triggers(hostsim::FollowUpKind::Groups)};
    };
    const std::vector<size_t> before = counts();
    c.change(configuracionquorvina);
    WriteRecords(c.listVersion, c.orderVersion, {{1, 1}});
    canales.CargarCanales();
    ASSERT_TRUE(WaitIdle());
    // A rebuild is told once, and the host is asked once for channels and groups.
    const size_t once = c.rebuild ? 1 : 0;
    std::vector<size_t> after = counts();
    for (size_t i = 0; i < after.size(); ++i) after[i] -= before[i];
    EXPECT_EQ(after, std::vector<size_t>(4, once)) << c.name;
    const CanalesRecorded r = canales.GetRecorded();
    EXPECT_EQ(std::make_tuple(r.listVersion, r.orderVersion, r.packages),
              std::make_tuple(c.listVersion, c.orderVersion, configuracionquorvina.paquetes))
        << c.name;
    EXPECT_NE(ReadCanales().find("ID=\"1\" Nombre=\"S1\""), std::string::npos) << c.name;
    EXPECT_EQ(Ids(), (std::vector<int>{1, 10000})) << c.name;
  }
  EXPECT_EQ(host.HostErrors(), std::vector<std::string>());
}

TEST_F(CanalesTest, WithoutRecordsOrWithoutAnyChannelTheStoredLineUpStays) {
  const struct {
    const char* name;
    bool packageRecord;
    bool allPackages;  // and the only service silent
    int probes;
  } cases[] = {{"no package record", false, false, 0}, {"nothing selected", true, true, 1}};
  for (const auto& c : cases) {
    WriteCanales(Channels(1, "Viejo"));
    WriteRecords(9, 9, {{2, 1}});
    if (!c.packageRecord) std::remove(host.user().file("Base/05_0000.xml").c_str());
    configuracionquorvina.TodosPaquetes = c.allPackages;
    configuracionquorvina.paquetes = c.allPackages ? "" : "P1";
    std::atomic<int> probes{0};
    Create([&probes](const std::string&, int) {
      ++probes;
      return false;
    });
    EXPECT_EQ(probes, c.probes) << c.name;
    EXPECT_EQ(ReadCanales(), Channels(1, "Viejo")) << c.name;
    EXPECT_EQ(Ids(), (std::vector<int>{1, 10000})) << c.name;
  }
}

TEST_F(CanalesTest, ABadChannelFileKeepsTheLineUpButForgetsTheVersions) {
  WriteCanales(Channels(2, "A"));
  Canales& canales = Create();
  ASSERT_EQ(canales.GetRecorded().listVersion, 7);
  WriteCanales("<Canales>\n<Canal NumeroCanal=\"1\" ID=\"9\"");
  canales.CargarFichero();
  EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 10000}));
  const CanalesRecorded r = canales.GetRecorded();
  EXPECT_EQ(std::make_tuple(r.listVersion, r.orderVersion), std::make_tuple(-1, -1));
}

TEST_F(CanalesTest, AStopEndsAProbingRebuildWithinOneProbe) {
  Numbers numbers;
  for (int i = 1; i <= 20; ++i) numbers.emplace_back(i, i);
  std::atomic<int> probes{0};
  for (const bool destroy : {false, true}) {  // else the stop flag
    PararProceso = false;
    probes = 0;
    configuracionquorvina.TodosPaquetes = true;
    configuracionquorvina.paquetes = "";
    WriteRecords(1, 1, numbers);
    WriteCanales("");
    list = std::make_unique<Canales>([&probes](const std::string&, int) {
      ++probes;
      std::this_thread::sleep_for(2000ms);
      return true;
    });
    // Nothing stored yet: it counts as loaded while the rebuild probes.
    EXPECT_TRUE(list->Cargado()) << destroy;
    EXPECT_EQ(list->NumeroCanales(), 0) << destroy;
    while (probes < 2) std::this_thread::sleep_for(10ms);
    const auto start = std::chrono::steady_clock::now();
    if (destroy) {
      list.reset();
    } else {
      PararProceso = true;
      EXPECT_TRUE(WaitIdle(5000));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << destroy;
    EXPECT_LE(probes, 3) << destroy;
    EXPECT_EQ(ReadCanales(), "") << destroy;
    EXPECT_EQ(host.CountNotified("Canales cargados"), 0u) << destroy;
    list.reset();
  }
}

// Every read sees one whole line-up, never a mix of two loads.
TEST_F(CanalesTest, ReadersSeeWholeLineUpsWhileOneThreadReloads) {
  const std::string files[] = {Channels(30, "A-"), Channels(10, "B-", 100)};
  WriteCanales(files[0]);
  Canales& canales = Create();
  // 0 or 1 for a whole line-up of A or of B; -1 for anything else.
  const auto generationOf = [](const LineUp& lineUp) {
    const size_t a = lineUp.members.count("A-genre"), b = lineUp.members.count("B-genre");
    if (!((a == 30 && b == 0) || (a == 0 && b == 10))) return -1;
    const bool whole = lineUp.channels.size() == a + b + 1 && lineUp.order.size() == a + b + 1 &&
                       lineUp.groups.size() == 2 &&
                       lineUp.channels.begin()->second.nombre == (a ? "A-1" : "B-100");
    return whole ? (a ? 0 : 1) : -1;
  };
  ASSERT_EQ(generationOf(*canales.Snapshot()), 0);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, reads{0};
  std::thread reloader([&] {
    for (int i = 1; i <= 150; ++i) {
      WriteCanales(files[i % 2]);
      canales.CargarFichero();
    }
    done = true;
  });
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&, r] {
      for (; !done; ++reads) {
        if (r == 0 && generationOf(*canales.Snapshot()) < 0) ++torn;
        const size_t a = canales.GetChannelGroupMembers("A-genre").size();
        if (r == 1 && a != 0 && a != 30) ++torn;
      }
    });
  }
  reloader.join();
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 100);
  EXPECT_EQ(generationOf(*canales.Snapshot()), 0);  // 150 is even: the last load was A
}

}  // namespace
