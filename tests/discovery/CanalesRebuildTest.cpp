// Rebuilding "Canales.xml" from the discovery records in the rebuild thread:
// the exact bytes, which services are selected, when a rebuild happens, and
// how fast it gives up when the add-on stops.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "discovery/CanalesFixture.h"

namespace canales_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Service {
  std::string name = {};     // service name (the channel id)
  std::string address = {};  // multicast group
  std::string si = {};       // children of "SI"
  std::string logo = {};     // LogoURI; none when empty
  std::string type = "1";
};

std::string BroadcastRecord(int version, const std::vector<Service>& services) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceDiscovery xmlns=\"urn:dvb:ipisdns\">"
      "<BroadcastDiscovery Version=\"" +
      std::to_string(version) + "\"><ServiceList>";
  for (const Service& s : services) {
    text += "<SingleService><ServiceLocation><IPMulticastAddress Address=\"" + s.address +
            "\" Port=\"8208\"/></ServiceLocation><TextualIdentifier ServiceName=\"" + s.name +
            "\"" + (s.logo.empty() ? "" : " LogoURI=\"" + s.logo + "\"") + "/><SI ServiceType=\"" +
            s.type + "\">" + s.si + "</SI></SingleService>";
  }
  return text + "</ServiceList></BroadcastDiscovery></ServiceDiscovery>";
}

using Package = std::pair<std::string, std::vector<std::pair<std::string, int>>>;

std::string PackageRecord(int version, const std::vector<Package>& packages) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceDiscovery xmlns=\"urn:dvb:ipisdns\">"
      "<PackageDiscovery Version=\"" +
      std::to_string(version) + "\">";
  for (const auto& [name, services] : packages) {
    text += "<Package><PackageName>" + name + "</PackageName>";
    for (const auto& [service, number] : services) {
      text += "<Service><TextualID ServiceName=\"" + service + "\"/><LogicalChannelNumber>" +
              std::to_string(number) + "</LogicalChannelNumber></Service>";
    }
    text += "</Package>";
  }
  return text + "</PackageDiscovery></ServiceDiscovery>";
}

std::string Named(const std::string& name) {
  return "<Name>" + name + "</Name>";
}

// Records multicast probes and answers them from a table of live groups.
class FakeProbe {
 public:
  explicit FakeProbe(std::vector<std::string> live, std::chrono::milliseconds wait = 0ms)
      : live_(std::move(live)), wait_(wait) {}
  Canales::Probe Function() {
    return [this](const std::string& ip, int) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(ip);
      }
      ++count_;
      if (wait_ > 0ms) std::this_thread::sleep_for(wait_);
      for (const std::string& l : live_) {
        if (l == ip) return true;
      }
      return false;
    };
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::atomic<int> count_{0};

 private:
  std::vector<std::string> live_;
  std::chrono::milliseconds wait_;
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

class CanalesRebuild : public CanalesFixture {
 protected:
  void WritePayloads(int listVersion, const std::vector<Service>& services, int orderVersion,
                     const std::vector<Package>& packages) {
    user.Write("Base/02_0000.xml", BroadcastRecord(listVersion, services));
    user.Write("Base/05_0000.xml", PackageRecord(orderVersion, packages));
  }
  // The ids in "Canales.xml", in file order.
  std::vector<std::string> WrittenIds() const {
    std::vector<std::string> ids;
    const std::string text = ReadCanales();
    for (size_t at = text.find(" ID=\""); at != std::string::npos;
         at = text.find(" ID=\"", at + 1)) {
      const size_t start = at + 5;
      ids.push_back(text.substr(start, text.find('"', start) - start));
    }
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
  WritePayloads(
      7,
      {{"1", "239.0.0.1", Named("La 1") + "<Genre><Name>Generalista</Name></Genre>", "logos/1.png"},
       {"2", "239.0.0.2",
        Named("Cine &amp; \"Series\" &lt;HD&gt;") +
            "<Genre><Name>Cine\nDrama</Name></Genre>"
            "<ReplacementService><TextualIdentifier ServiceName=\"3\"/>"
            "</ReplacementService>",
        "", "2"},
       {"3", "239.0.0.3", Named("La 1"), "x/3.png"},
       {"4", "239.0.0.4", Named("Fuera"), ""},
       {"10", "239.0.0.10", Named("Diez"), "a\nb.png"}},
      4, {{"P1", {{"1", 1}, {"2", 7}, {"10", 3}, {"3", 5}, {"99", 9}}}});
  Canales& list = Create();

  const std::string expected =
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
      "</Canales>\n";
  EXPECT_EQ(ReadCanales(), expected);

  // The reload that follows reads the escapes back.
  const ChannelMap channels = list.GetCanales();
  ASSERT_EQ(channels.size(), 4u);
  EXPECT_EQ(channels.at(2).nombre, "Cine & \"Series\" <HD>");
  EXPECT_EQ(channels.at(2).genero, "Cine Drama");
  EXPECT_EQ(channels.at(2).idSustituto, 3);
  EXPECT_TRUE(channels.at(2).HD);
  EXPECT_EQ(list.GetRecorded().listVersion, 7);
  EXPECT_EQ(list.GetRecorded().orderVersion, 4);

  EXPECT_EQ(CountNotifications("#30501"), 1);
  EXPECT_EQ(CountNotifications("#30502"), 1);
  EXPECT_EQ(host.Triggers(), (std::vector<std::string>{"channels", "groups"}));
  EXPECT_TRUE(host.Logged("Llamada GenerarXML"));
  EXPECT_TRUE(host.Logged("Salida GenerarXML"));
}

TEST_F(CanalesRebuild, SameNameKeepsTheFirstServiceInServiceNameOrder) {
  WritePayloads(1,
                {{"30", "239.0.0.30", Named("Uno")},
                 {"4", "239.0.0.4", Named("Uno")},
                 {"5", "239.0.0.5", ""},
                 {"6", "239.0.0.6", ""},
                 {"7", "239.0.0.7", Named("Siete")}},
                1, {{"P1", {{"4", 1}, {"30", 2}, {"5", 3}, {"6", 4}, {"7", 5}}}});
  Create();
  EXPECT_EQ(WrittenIds(), (std::vector<std::string>{"30", "5", "7"}));
}

TEST_F(CanalesRebuild, AllPackagesProbesOnlyWhatIsNotSubscribed) {
  const struct {
    const char* name;
    std::string packages;
    std::vector<std::string> live;
    std::vector<std::string> probed;
    std::vector<std::string> written;
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
    WritePayloads(1,
                  {{"1", "239.0.0.1", Named("A")},
                   {"2", "239.0.0.2", Named("B")},
                   {"3", "239.0.0.2", Named("C")},
                   {"4", "239.0.0.4", Named("D")}},
                  1, {{"P2", {{"1", 50}, {"2", 2}, {"3", 3}, {"4", 4}}}, {"P1", {{"1", 1}}}});
    WriteCanales("");  // forces a rebuild
    FakeProbe probe(c.live);
    Create(probe.Function());
    EXPECT_EQ(probe.Calls(), c.probed) << c.name;
    EXPECT_EQ(WrittenIds(), c.written) << c.name;
  }
  // The subscribed number wins over the one of all packages.
  EXPECT_NE(ReadCanales().find("NumeroCanal=\"1\" ID=\"1\""), std::string::npos);
}

TEST_F(CanalesRebuild, NothingSelectedKeepsTheOldFile) {
  const std::string old = CanalesFile({{1, 1, "Viejo"}},
                                      "<Version VersionOrden=\"1\" "
                                      "VersionCanales=\"1\" />\n");
  WriteCanales(old);
  AllPackages("");
  WritePayloads(2, {{"1", "239.0.0.1", Named("A")}}, 2, {{"P1", {{"1", 1}}}});
  FakeProbe probe({});
  Canales& list = Create(probe.Function());
  EXPECT_EQ(probe.count_, 1);
  EXPECT_EQ(ReadCanales(), old);
  EXPECT_EQ(list.GetCanales().at(1).nombre, "Viejo");
}

TEST_F(CanalesRebuild, RebuildsOnlyWhenAnInputChanged) {
  const struct {
    const char* name;
    void (*change)(int& listVersion, int& orderVersion);
    bool rebuild;
  } cases[] = {
      {"nothing", [](int&, int&) {}, false},
      {"list version", [](int& l, int&) { l = 8; }, true},
      {"order version", [](int&, int& o) { o = 5; }, true},
      {"packages", [](int&, int&) { configuracionquorvina.paquetes = "P1|P2"; }, true},
      {"demarcation", [](int&, int&) { configuracionquorvina.Provincia = "28"; }, true},
      {"search type", [](int&, int&) { configuracionquorvina.TiposdeBusqueda = 3; }, true},
  };
  for (const auto& c : cases) {
    host.ClearLogs();
    configuracionquorvina.paquetes = "P1";
    configuracionquorvina.Provincia = "19";
    configuracionquorvina.TiposdeBusqueda = 0;
    WriteCanales("");
    WritePayloads(7, {{"1", "239.0.0.1", Named("A")}}, 4, {{"P1", {{"1", 1}}}});
    Canales& list = Create();
    ASSERT_EQ(CountNotifications("#30502"), 1) << c.name;
    host.ClearLogs();

    int listVersion = 7;
    int orderVersion = 4;
    c.change(listVersion, orderVersion);
    WritePayloads(listVersion, {{"1", "239.0.0.1", Named("A")}}, orderVersion,
                  {{"P1", {{"1", 1}}}});
    list.CargarCanales();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(CountNotifications("#30501"), c.rebuild ? 1 : 0) << c.name;
    EXPECT_EQ(list.GetRecorded().listVersion, listVersion) << c.name;
    EXPECT_EQ(list.GetRecorded().orderVersion, orderVersion) << c.name;
  }
}

TEST_F(CanalesRebuild, MissingDiscoveryRecordsChangeNothing) {
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  user.Write("Base/02_0000.xml", BroadcastRecord(9, {{"2", "239.0.0.2", Named("B")}}));
  Canales& list = Create();
  EXPECT_EQ(CountNotifications("#30501"), 0);
  EXPECT_EQ(list.GetCanales().count(1), 1u);
  EXPECT_EQ(list.GetRecorded().listVersion, 7);
}

TEST_F(CanalesRebuild, FirstRunCountsAsLoadedWhileItRebuilds) {
  AllPackages("");
  WritePayloads(1, {{"1", "239.0.0.1", Named("A")}}, 1, {{"P1", {{"1", 1}}}});
  FakeProbe probe({"239.0.0.1"}, 300ms);
  list = std::make_unique<Canales>(probe.Function());
  EXPECT_TRUE(list->Cargado());
  EXPECT_EQ(list->NumeroCanales(), 0);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(list->NumeroCanales(), 2);
}

TEST_F(CanalesRebuild, StopEndsAProbingRebuildWithinOneProbe) {
  const struct {
    const char* name;
    bool destroy;  // else raise PararProceso
  } cases[] = {{"stop flag", false}, {"destructor", true}};
  for (const auto& c : cases) {
    PararProceso = false;
    AllPackages("");
    std::vector<Service> services;
    std::vector<std::pair<std::string, int>> numbers;
    for (int i = 1; i <= 20; ++i) {
      const std::string id = std::to_string(i);
      services.push_back({id, "239.0.1." + id, Named("S" + id)});
      numbers.emplace_back(id, i);
    }
    WritePayloads(1, services, 1, {{"P1", numbers}});
    WriteCanales("");
    FakeProbe probe({"239.0.1.1"}, 2000ms);
    list = std::make_unique<Canales>(probe.Function());
    while (probe.count_ < 2) std::this_thread::sleep_for(10ms);

    const auto start = Clock::now();
    if (c.destroy) {
      list.reset();
    } else {
      PararProceso = true;
      ASSERT_TRUE(WaitIdle(5s));
    }
    const auto took = Clock::now() - start;
    EXPECT_LT(took, 2500ms) << c.name;
    EXPECT_LE(probe.count_, 3) << c.name;
    EXPECT_EQ(ReadCanales(), "") << c.name;
    EXPECT_EQ(CountNotifications("#30502"), 0) << c.name;
    list.reset();
  }
}

}  // namespace
}  // namespace canales_test
