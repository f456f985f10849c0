// The service list and the logical channel numbers read from the stored
// discovery records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "discovery/ServiceList.h"
#include "discovery/ServicesOrder.h"
#include "support/InProcessHost.h"

namespace {

std::string Record(const std::string& kind, const std::string& version, const std::string& list) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceDiscovery xmlns=\"urn:dvb:ipisdns\">"
         "<" +
         kind + version + ">" + list + "</" + kind + "></ServiceDiscovery>";
}

std::string Broadcast(const std::string& services, const std::string& version = " Version=\"7\"") {
  return Record("BroadcastDiscovery", version, "<ServiceList>" + services + "</ServiceList>");
}

std::string Service(const std::string& name, const std::string& address, const std::string& si) {
  return "<SingleService><ServiceLocation><IPMulticastAddress Address=\"" + address +
         "\" Port=\"8208\"/></ServiceLocation><TextualIdentifier ServiceName=\"" + name +
         "\" LogoURI=\"logo" + name + ".jpg\"/>" + si + "</SingleService>";
}

std::string Package(const std::string& name, const std::vector<std::pair<std::string, int>>& lcn) {
  std::string text = "<Package><PackageName>" + name + "</PackageName>";
  for (const auto& [service, number] : lcn) {
    text += "<Service><TextualID ServiceName=\"" + service + "\"/><LogicalChannelNumber>" +
            std::to_string(number) + "</LogicalChannelNumber></Service>";
  }
  return text + "</Package>";
}

std::string Fields(const SingleService& s) {
  std::string text = s.Address + "|" + std::to_string(s.Port);
  for (const std::string* f :
       {&s.ServiceName, &s.ServiceNameOriginal, &s.ServiceType, &s.LogoURI, &s.Name, &s.ShortName,
        &s.Description, &s.Genre, &s.ParentalGuidance}) {
    text += "|" + *f;
  }
  return text;
}

class ServiceListTest : public ::testing::Test {
 protected:
  ServiceList Load(const std::string& content) {
    dir.Write("02_0000.xml", content);
    ServiceList list;
    list.CargarServicios(dir.path());
    return list;
  }
  ServicesOrder LoadOrder(const std::string& packages, const std::string& content) {
    dir.Write("05_0000.xml", content);
    ServicesOrder order;
    order.CargarOrden(dir.path(), packages, split(packages, '|'));
    return order;
  }

  InProcessHost host;
  const TempDir& dir = host.user();
};

TEST_F(ServiceListTest, ReadsEveryFieldAndTheLastRecordOfANameWins) {
  const std::string si =
      "<SI ServiceType=\"1\"><Name>La 1</Name><ShortName>1</ShortName>"
      "<Description>Generalista</Description><Genre href=\"urn:x\"><Name>Cine</Name></Genre>"
      "<ParentalGuidance><Rating><Label>TP</Label></Rating></ParentalGuidance></SI>";
  const std::string replaced =
      "<SI><Name>Old</Name><ReplacementService><TextualIdentifier ServiceName=\"9\"/>"
      "</ReplacementService></SI>";
  const std::string guidance =  // only the first of two is read, and it has no label
      "<SI><ParentalGuidance><R><L>18</L></R></ParentalGuidance>"
      "<ParentalGuidance><R/></ParentalGuidance></SI>";
  const ServiceList list = Load(Broadcast(
      Service("1", "239.0.0.1", si) + Service("5", "239.0.0.5", "<SI><Name>First</Name></SI>") +
      Service("7", "239.0.0.7", replaced) + Service("8", "239.0.0.8", guidance) +
      Service("5", "239.0.0.55", "<SI><Name>Last</Name></SI>") +
      "<SingleService><SI><Name>Nameless</Name></SI></SingleService>"));
  EXPECT_EQ(list.Version(), 7);
  ASSERT_EQ(list.Services().size(), 5u);
  EXPECT_EQ(Fields(list.Services().at("1")),
            "239.0.0.1|8208|1|1|1|logo1.jpg|La 1|1|Generalista|Cine|TP");
  EXPECT_STREQ(list.Services().at("1").Element.getName(), "SingleService");
  EXPECT_EQ(list.Services().at("5").Name + list.Services().at("5").Address, "Last239.0.0.55");
  EXPECT_EQ(list.Services().at("5").ServiceNameOriginal, "5");
  EXPECT_EQ(list.Services().at("7").ServiceNameOriginal, "9");
  EXPECT_EQ(list.Services().at("8").ParentalGuidance, "");
  EXPECT_EQ(list.Services().at("").Name, "Nameless");
  EXPECT_EQ(list.Services().at("").Port, 0);
}

TEST_F(ServiceListTest, UnusableRecordGivesNoServices) {
  const std::string one = Service("1", "239.0.0.1", "");
  const std::pair<const char*, std::string> cases[] = {
      {"no Version", Broadcast(one, "")},
      {"not xml", "<ServiceDiscovery><Broad"},
      {"no first child", "<ServiceDiscovery/>"},
      {"other root", "<Other><BroadcastDiscovery Version=\"3\"/></Other>"}};
  for (const auto& [name, content] : cases) {
    EXPECT_TRUE(Load(content).Services().empty()) << name;
    EXPECT_EQ(Load(content).Version(), -1) << name;
  }
  // The version of an earlier load stays when the new file has none.
  ServiceList list;
  dir.Write("02_0000.xml", Broadcast(one));
  list.CargarServicios(dir.path());
  dir.Write("02_0000.xml", Broadcast(one, ""));
  list.CargarServicios(dir.path());
  EXPECT_TRUE(list.Services().empty());
  EXPECT_EQ(list.Version(), 7);
}

const std::string kPackages =
    Record("PackageDiscovery", " Version=\"4\"",
           Package("BASE", {{"1", 1}, {"2", 2}}) + Package("CINE", {{"2", 20}, {"3", 30}}) +
               Package("FUTBOL", {{"4", 40}, {"1", 99}}));

TEST_F(ServiceListTest, OrderByPackages) {
  using Orden = ServicesOrder::Orden;
  const Orden full{{"1", 1}, {"2", 2}, {"3", 30}, {"4", 40}};
  const struct {
    const char* packages;
    Orden subscribed;
  } cases[] = {{"", full},
               {"CINE", {{"2", 20}, {"3", 30}}},
               {"FUTBOL|BASE", {{"1", 1}, {"2", 2}, {"4", 40}}},
               {"OTRO", {}}};
  for (const auto& c : cases) {
    const ServicesOrder order = LoadOrder(c.packages, kPackages);
    EXPECT_EQ(order.Version(), 4) << c.packages;
    EXPECT_EQ(order.SubscribedOrder(), c.subscribed) << c.packages;
    EXPECT_EQ(order.FullOrder(), full) << c.packages;
  }
}

TEST_F(ServiceListTest, OrderSkipsServicesWithoutNameOrNumber) {
  const std::string package =
      "<Package><PackageName>P</PackageName>"
      "<Service><TextualID/><LogicalChannelNumber>5</LogicalChannelNumber></Service>"
      "<Service><TextualID ServiceName=\"6\"/></Service>"
      "<Service><TextualID ServiceName=\"7\"/><LogicalChannelNumber>x</LogicalChannelNumber>"
      "</Service></Package>";
  const ServicesOrder order = LoadOrder("", Record("PackageDiscovery", " Version=\"1\"", package));
  EXPECT_EQ(order.FullOrder(), (ServicesOrder::Orden{{"7", 0}}));
}

}  // namespace
