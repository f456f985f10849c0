// Rebuilding "Canales.xml" from the discovery records in the rebuild thread:
// the exact bytes, which services are selected, when a rebuild happens, and
// how fast it gives up when the add-on stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "discovery/CanalesFixture.h"

namespace canales_test {
namespace {

using namespace std::chrono_literals;

struct Service {
  std::string name = {};     // service name (the channel id)
  std::string si = {};       // SI name; none when empty
  std::string address = {};  // multicast group; 239.0.0.<name> when empty
  std::string logo = {};     // LogoURI; none when empty
  std::string type = "1";
  std::string more = {};  // more children of "SI"
};
using Package = std::pair<std::string, std::vector<std::pair<std::string, int>>>;

// Records the multicast probes and answers them from a list of live groups.
struct FakeProbe {
  std::vector<std::string> live;
  std::chrono::milliseconds wait = 0ms;
  std::mutex mutex{};
  std::vector<std::string> calls{};

  Canales::Probe Function() {
    return [this](const std::string& ip, int) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(ip);
      }
      std::this_thread::sleep_for(wait);
      return std::find(live.begin(), live.end(), ip) != live.end();
    };
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
};

class CanalesRebuild : public CanalesFixture {
 protected:
  // The service list ("02_0000.xml") and package ("05_0000.xml") records.
  void WriteRecords(int listVersion, const std::vector<Service>& services, int orderVersion,
                    const std::vector<Package>& packages) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceDiscovery xmlns=\"urn:dvb:ipisdns\">";
    std::string list =
        head + "<BroadcastDiscovery Version=\"" + std::to_string(listVersion) + "\"><ServiceList>";
    for (const Service& s : services) {
      list += "<SingleService><ServiceLocation><IPMulticastAddress Address=\"" +
              (s.address.empty() ? "239.0.0." + s.name : s.address) +
              "\" Port=\"8208\"/></ServiceLocation><TextualIdentifier ServiceName=\"" + s.name +
              "\"" + (s.logo.empty() ? "" : " LogoURI=\"" + s.logo + "\"") +
              "/><SI ServiceType=\"" + s.type + "\">" +
              (s.si.empty() ? "" : "<Name>" + s.si + "</Name>") + s.more + "</SI></SingleService>";
    }
    user.Write("Base/02_0000.xml", list + "</ServiceList></BroadcastDiscovery></ServiceDiscovery>");
    std::string order =
        head + "<PackageDiscovery Version=\"" + std::to_string(orderVersion) + "\">";
    for (const auto& [name, numbers] : packages) {
      order += "<Package><PackageName>" + name + "</PackageName>";
      for (const auto& [service, number] : numbers) {
        order += "<Service><TextualID ServiceName=\"" + service + "\"/><LogicalChannelNumber>" +
                 std::to_string(number) + "</LogicalChannelNumber></Service>";
      }
      order += "</Package>";
    }
    user.Write("Base/05_0000.xml", order + "</PackageDiscovery></ServiceDiscovery>");
  }
  // The ids in "Canales.xml", in file order.
  std::vector<std::string> WrittenIds() const {
    std::vector<std::string> ids;
    const std::string text = ReadCanales();
    for (size_t at = text.find(" ID=\""); at != std::string::npos; at = text.find(" ID=\"", at + 1))
      ids.push_back(text.substr(at + 5, text.find('"', at + 5) - at - 5));
    return ids;
  }
  void AllPackages(const std::string& packages) {
    configuracionquorvina.paquetes = packages;
    configuracionquorvina.ListaPaquetes.clear();
    if (!packages.empty()) configuracionquorvina.ListaPaquetes = {packages};
    configuracionquorvina.TodosPaquetes = true;
  }
};

TEST_F(CanalesRebuild, WritesTheChannelFileByteForByte) {
  WriteRecords(7,
               {{"1", "La 1", "", "logos/1.png", "1", "<Genre><Name>Generalista</Name></Genre>"},
                {"2", "Cine &amp; \"Series\" &lt;HD&gt;", "", "", "2",
                 "<Genre><Name>Cine\nDrama</Name></Genre><ReplacementService>"
                 "<TextualIdentifier ServiceName=\"3\"/></ReplacementService>"},
                {"3", "La 1", "", "x/3.png"},
                {"4", "Fuera"},
                {"10", "Diez", "", "a\nb.png"}},
               4, {{"P1", {{"1", 1}, {"2", 7}, {"10", 3}, {"3", 5}, {"99", 9}}}});
  Canales& list = Create();

  EXPECT_EQ(ReadCanales(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Canales>\n"
            "<Version VersionOrden=\"4\" VersionCanales=\"7\" paquetes=\"P1\" demarcacion=\"19\" "
            "TipodeBusqueda=\"0\" />\n"
            "<Canal NumeroCanal=\"1\" ID=\"1\" Nombre=\"La 1\" Genero=\"Generalista\" "
            "Logo=\"logos/1.png\" ServiceNameOriginal=\"1\" ServiceType=\"1\" ip=\"239.0.0.1\" "
            "puerto=\"8208\" />\n"
            "<Canal NumeroCanal=\"3\" ID=\"10\" Nombre=\"Diez\" Genero=\"\" Logo=\"a b.png\" "
            "ServiceNameOriginal=\"10\" ServiceType=\"1\" ip=\"239.0.0.10\" puerto=\"8208\" />\n"
            "<Canal NumeroCanal=\"7\" ID=\"2\" Nombre=\"Cine &amp; &quot;Series&quot; &lt;HD&gt;\" "
            "Genero=\"Cine Drama\" Logo=\"MAY_1/imSer/2.jpg\" ServiceNameOriginal=\"3\" "
            "ServiceType=\"2\" ip=\"239.0.0.2\" puerto=\"8208\" />\n"
            "</Canales>\n");

  // The reload that follows reads every field and the escapes back.
  const ChannelMap channels = list.GetCanales();
  ASSERT_EQ(Ids(channels), (std::vector<int>{1, 2, 10, 10000}));
  EXPECT_EQ(Fields(channels.at(2)), std::make_tuple(7, "Cine & \"Series\" <HD>", "239.0.0.2", 8208,
                                                    "Cine Drama", 3, true, true));
  EXPECT_FALSE(channels.at(1).HD);
  const Canales::Recorded r = list.GetRecorded();
  EXPECT_EQ(std::tie(r.listVersion, r.orderVersion), std::make_tuple(7, 4));
  for (const char* line :
       {"VersionCanales:7", "IDpaquetes:P1", "Llamada GenerarXML", "Salida GenerarXML"})
    EXPECT_TRUE(host.Logged(line)) << line;
  EXPECT_FALSE(host.Logged("no valido"));  // a missing file is not a bad one

  EXPECT_EQ(CountNotifications("#30501"), 1);
  EXPECT_EQ(CountNotifications("#30502"), 1);
  EXPECT_EQ(host.Triggers(), (std::vector<std::string>{"channels", "groups"}));
}

TEST_F(CanalesRebuild, SameNameKeepsTheFirstServiceInServiceNameOrder) {
  WriteRecords(1, {{"30", "Uno"}, {"4", "Uno"}, {"5"}, {"6"}, {"7", "Siete"}}, 1,
               {{"P1", {{"4", 1}, {"30", 2}, {"5", 3}, {"6", 4}, {"7", 5}}}});
  Create();
  EXPECT_EQ(WrittenIds(), (std::vector<std::string>{"30", "5", "7"}));
}

TEST_F(CanalesRebuild, AllPackagesProbesOnlyWhatIsNotSubscribed) {
  const struct {
    const char* name;
    std::string packages;
    std::vector<std::string> live, probed, written;
  } cases[] = {
      // Every service is probed; a dead address is probed once.
      {"no packages",
       "",
       {"239.0.0.1", "239.0.0.4"},
       {"239.0.0.1", "239.0.0.2", "239.0.0.4"},
       {"1", "4"}},
      // Subscribed services are taken without probing.
      {"subscribed", "P1", {"239.0.0.4"}, {"239.0.0.2", "239.0.0.4"}, {"1", "4"}},
  };
  for (const auto& c : cases) {
    AllPackages(c.packages);
    WriteRecords(1, {{"1", "A"}, {"2", "B"}, {"3", "C", "239.0.0.2"}, {"4", "D"}}, 1,
                 {{"P2", {{"1", 50}, {"2", 2}, {"3", 3}, {"4", 4}}}, {"P1", {{"1", 1}}}});
    WriteCanales("");  // forces a rebuild
    FakeProbe probe{c.live};
    Create(probe.Function());
    EXPECT_EQ(probe.Calls(), c.probed) << c.name;
    EXPECT_EQ(WrittenIds(), c.written) << c.name;
  }
  // The subscribed number wins over the one of all packages.
  EXPECT_NE(ReadCanales().find("NumeroCanal=\"1\" ID=\"1\""), std::string::npos);
}

TEST_F(CanalesRebuild, NothingSelectedKeepsTheOldFile) {
  const std::string old = CanalesFile({{1, 1, "Viejo"}});
  WriteCanales(old);
  AllPackages("");
  WriteRecords(2, {{"1", "A"}}, 2, {{"P1", {{"1", 1}}}});
  FakeProbe probe;
  Canales& list = Create(probe.Function());
  EXPECT_EQ(probe.Calls().size(), 1u);
  EXPECT_EQ(ReadCanales(), old);
  EXPECT_EQ(list.GetCanales().at(1).nombre, "Viejo");
}

TEST_F(CanalesRebuild, RebuildsOnlyWhenAnInputChanged) {
  const struct {
    const char* name;
    int listVersion, orderVersion;  // the records' versions after the change
    void (*change)();
    bool rebuild;
  } cases[] = {
      {"nothing", 7, 4, [] {}, false},
      {"list version", 8, 4, [] {}, true},
      {"order version", 7, 5, [] {}, true},
      {"packages", 7, 4, [] { configuracionquorvina.paquetes = "P1|P2"; }, true},
      {"demarcation", 7, 4, [] { configuracionquorvina.Provincia = "28"; }, true},
      {"search type", 7, 4, [] { configuracionquorvina.TiposdeBusqueda = 3; }, true},
  };
  for (const auto& c : cases) {
    host.ClearLogs();
    configuracionquorvina.paquetes = "P1";
    configuracionquorvina.Provincia = "19";
    configuracionquorvina.TiposdeBusqueda = 0;
    WriteCanales("");
    WriteRecords(7, {{"1", "A"}}, 4, {{"P1", {{"1", 1}}}});
    Canales& list = Create();
    ASSERT_EQ(CountNotifications("#30502"), 1) << c.name;
    host.ClearLogs();

    c.change();
    WriteRecords(c.listVersion, {{"1", "A"}}, c.orderVersion, {{"P1", {{"1", 1}}}});
    list.CargarCanales();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(CountNotifications("#30501"), c.rebuild ? 1 : 0) << c.name;
    EXPECT_EQ(list.GetRecorded().listVersion, c.listVersion) << c.name;
    EXPECT_EQ(list.GetRecorded().orderVersion, c.orderVersion) << c.name;
  }
}

TEST_F(CanalesRebuild, MissingDiscoveryRecordsChangeNothing) {
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  WriteRecords(9, {{"2", "B"}}, 9, {});
  std::remove(user.file("Base/05_0000.xml").c_str());
  Canales& list = Create();
  EXPECT_EQ(CountNotifications("#30501"), 0);
  EXPECT_EQ(Ids(list.GetCanales()), (std::vector<int>{1, 10000}));
  EXPECT_EQ(list.GetRecorded().listVersion, 7);
}

TEST_F(CanalesRebuild, StopEndsAProbingRebuildWithinOneProbe) {
  for (const bool destroy : {false, true}) {  // else the stop flag
    PararProceso = false;
    AllPackages("");
    std::vector<Service> services;
    std::vector<std::pair<std::string, int>> numbers;
    for (int i = 1; i <= 20; ++i) {
      const std::string id = std::to_string(i);
      services.push_back({id, "S" + id, "239.0.1." + id});
      numbers.emplace_back(id, i);
    }
    WriteRecords(1, services, 1, {{"P1", numbers}});
    WriteCanales("");
    FakeProbe probe{{"239.0.1.1"}, 2000ms};
    list = std::make_unique<Canales>(probe.Function());
    // Nothing stored yet: it counts as loaded while the rebuild probes.
    EXPECT_TRUE(list->Cargado()) << destroy;
    EXPECT_EQ(list->NumeroCanales(), 0) << destroy;
    while (probe.Calls().size() < 2) std::this_thread::sleep_for(10ms);

    const auto start = std::chrono::steady_clock::now();
    if (destroy) {
      list.reset();
    } else {
      PararProceso = true;
      ASSERT_TRUE(WaitIdle(5000));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << destroy;
    EXPECT_LE(probe.Calls().size(), 3u) << destroy;
    EXPECT_EQ(ReadCanales(), "") << destroy;
    EXPECT_EQ(CountNotifications("#30502"), 0) << destroy;
    list.reset();
  }
}

}  // namespace
}  // namespace canales_test
