// The text of "Canales.xml" from the discovery records: which services become
// channels, and the exact bytes written for them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "discovery/CanalesXml.h"

namespace {

SingleService Svc(const std::string& name, const std::string& si, const std::string& address = "") {
  SingleService service;
  service.ServiceName = name;
  service.ServiceNameOriginal = name;
  service.Name = si;
  service.ServiceType = "1";
  service.Address = address.empty() ? "239.0.0." + name : address;
  service.Port = 8208;
  return service;
}

std::map<std::string, SingleService> ByName(const std::vector<SingleService>& services) {
  std::map<std::string, SingleService> map;
  for (const SingleService& s : services) map.emplace(s.ServiceName, s);
  return map;
}

// The ids of the channel lines, in order.
std::vector<std::string> Ids(const std::string& lines) {
  std::vector<std::string> ids;
  for (size_t at = lines.find(" ID=\""); at != std::string::npos;
       at = lines.find(" ID=\"", at + 1)) {
    ids.push_back(lines.substr(at + 5, lines.find('"', at + 5) - at - 5));
  }
  return ids;
}

const ChannelProbe kNoProbe = [](const std::string& ip, int) {
  ADD_FAILURE() << "unexpected probe of " << ip;
  return false;
};
const StopCheck kNoStop = [] { return false; };

TEST(CanalesXmlTest, WritesTheChannelFileByteForByte) {
  SingleService la1 = Svc("1", "La 1");
  la1.LogoURI = "logos/1.png";
  la1.Genre = "Generalista";
  SingleService cine = Svc("2", "Cine & \"Series\" <HD>\n'2'");
  cine.ServiceType = "2";
  cine.Genre = "Cine\nDrama";
  cine.ServiceNameOriginal = "3";
  SingleService diez = Svc("10", "Diez");
  diez.LogoURI = "a\nb.png";
  const ServicesOrder::Orden order = {{"1", 1}, {"2", 7}, {"10", 3}};
  const std::string lines = GenerarLineasCanales(order, order, ByName({la1, cine, diez}), false,
                                                 "P1|P2", kNoProbe, kNoStop);
  const CanalesRecorded header{.orderVersion = 4,
                               .listVersion = 7,
                               .searchType = 0,
                               .packages = "P1|P2",
                               .demarcation = "19"};
  EXPECT_EQ(
      TextoCanalesXml(header, lines),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Canales>\n"
      "<Version VersionOrden=\"4\" VersionCanales=\"7\" paquetes=\"P1|P2\" demarcacion=\"19\" "
      "TipodeBusqueda=\"0\" />\n"
      "<Canal NumeroCanal=\"1\" ID=\"1\" Nombre=\"La 1\" Genero=\"Generalista\" "
      "Logo=\"logos/1.png\" ServiceNameOriginal=\"1\" ServiceType=\"1\" ip=\"239.0.0.1\" "
      "puerto=\"8208\" />\n"
      "<Canal NumeroCanal=\"3\" ID=\"10\" Nombre=\"Diez\" Genero=\"\" Logo=\"a b.png\" "
      "ServiceNameOriginal=\"10\" ServiceType=\"1\" ip=\"239.0.0.10\" puerto=\"8208\" />\n"
      "<Canal NumeroCanal=\"7\" ID=\"2\" "
      "Nombre=\"Cine &amp; &quot;Series&quot; &lt;HD&gt; &apos;2&apos;\" Genero=\"Cine Drama\" "
      "Logo=\"MAY_1/imSer/2.jpg\" ServiceNameOriginal=\"3\" ServiceType=\"2\" "
      "ip=\"239.0.0.2\" puerto=\"8208\" />\n"
      "</Canales>\n");
}

TEST(CanalesXmlTest, ANameKeepsItsFirstServiceInServiceNameOrder) {
  const ServicesOrder::Orden order = {{"4", 1}, {"30", 2}, {"5", 3}, {"6", 4}, {"7", 5}, {"99", 6}};
  const std::string lines = GenerarLineasCanales(
      order, order,
      ByName({Svc("30", "Uno"), Svc("4", "Uno"), Svc("5", ""), Svc("6", ""), Svc("7", "Siete")}),
      false, "P1", kNoProbe, kNoStop);
  EXPECT_EQ(Ids(lines), (std::vector<std::string>{"30", "5", "7"}));
}

TEST(CanalesXmlTest, AllPackagesProbesOnlyWhatIsNotSubscribed) {
  const auto services =
      ByName({Svc("1", "A"), Svc("2", "B"), Svc("3", "C", "239.0.0.2"), Svc("4", "D")});
  const ServicesOrder::Orden full = {{"1", 50}, {"2", 2}, {"3", 3}, {"4", 4}};
  const struct {
    const char* packages;
    ServicesOrder::Orden subscribed;
    std::vector<std::string> probed;  // a silent group is probed once
    std::vector<std::string> written;
  } cases[] = {{"", full, {"239.0.0.1", "239.0.0.2", "239.0.0.4"}, {"1", "4"}},
               {"P1", {{"1", 1}}, {"239.0.0.2", "239.0.0.4"}, {"1", "4"}}};
  for (const auto& c : cases) {
    std::vector<std::string> probed;
    const ChannelProbe probe = [&probed](const std::string& ip, int port) {
      EXPECT_EQ(port, 8208);
      probed.push_back(ip);
      return ip == "239.0.0.1" || ip == "239.0.0.4";
    };
    const std::string lines =
        GenerarLineasCanales(full, c.subscribed, services, true, c.packages, probe, kNoStop);
    EXPECT_EQ(probed, c.probed) << c.packages;
    EXPECT_EQ(Ids(lines), c.written) << c.packages;
    // The subscribed number wins over the one of all packages.
    EXPECT_NE(lines.find("NumeroCanal=\"" + std::to_string(c.subscribed.at("1")) + "\" ID=\"1\""),
              std::string::npos);
  }
}

TEST(CanalesXmlTest, AStopHalfWayGivesNoLines) {
  const ServicesOrder::Orden order = {{"1", 1}, {"2", 2}, {"3", 3}};
  int checks = 0;
  const std::string lines =
      GenerarLineasCanales(order, order, ByName({Svc("1", "A"), Svc("2", "B"), Svc("3", "C")}),
                           false, "P1", kNoProbe, [&checks] { return ++checks > 2; });
  EXPECT_EQ(lines, "");
  EXPECT_EQ(checks, 3);
}

}  // namespace
