#include <gtest/gtest.h>

#include "DiscoveryRecords.h"
#include "ScenarioLoader.h"
#include "XmlWriter.h"

using namespace headend;

namespace {

const char kScenario[] = R"({
  "operator": {"xmlLayout": "compact"},
  "entryPoint": {"extraProviders": [{"domainName": "DEM_19.otro.es", "address": "239.9.9.9:1"}]},
  "demarcations": [{"code": 19, "carousel": {"address": "239.0.2.130:3937"}},
                   {"code": 1, "carousel": {"address": "239.0.2.131:3937"}}],
  "packages": [{"name": "P1"}, {"name": "P2"}],
  "lineUp": {"services": [
    {"id": "7", "name": "Cine & Más", "genre": "Cine", "lcn": 5, "address": "239.0.0.7",
     "packages": ["P1", "P2"], "lcnByPackage": {"P2": 1}, "parental": "12",
     "hd": {"id": "8", "address": "239.0.5.7", "packages": ["P2"]}},
    {"id": "9", "name": "Sólo Sur", "lcn": 2, "address": "239.0.0.9:1234", "packages": ["P1"],
     "logo": "", "demarcations": [1]}
  ]}
})";

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string errors;
    ASSERT_TRUE(ScenarioLoader::LoadText(kScenario, &scenario, &errors)) << errors;
  }
  Scenario scenario;
};

}  // namespace

TEST(XmlWriter, EscapesAndClosesEmptyElements) {
  XmlWriter compact(false);
  compact.Open("a", {{"v", "x&\"<'>"}});
  compact.Open("b");
  compact.Close();
  compact.Leaf("c", {}, "1 < 2 & 3");
  compact.Leaf("d", {}, "");
  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a v=\"x&amp;&quot;&lt;&apos;&gt;\"><b/>"
      "<c>1 &lt; 2 &amp; 3</c><d/></a>",
      compact.Finish());
  XmlWriter indented(true);
  indented.Open("a");
  indented.Leaf("c", {{"k", "v"}}, "t");
  EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>\n  <c k=\"v\">t</c>\n</a>\n",
            indented.Finish());
}

TEST_F(RecordsTest, ProvidersListDecoysFirstAndTheOfferingAsFirstChild) {
  std::string xml = DiscoveryRecords(scenario).ServiceProviders(3);
  size_t decoy = xml.find(
      "<ServiceProvider DomainName=\"DEM_19.otro.es\" Version=\"3\"><Offering>"
      "<Push Address=\"239.9.9.9\" Port=\"1\">");
  size_t mine = xml.find(
      "<ServiceProvider DomainName=\"DEM_19.quorvina.es\" Version=\"3\"><Offering>"
      "<Push Address=\"239.0.2.130\" Port=\"3937\"><PayloadId Id=\"0x02\">");
  size_t other = xml.find("DomainName=\"DEM_1.quorvina.es\"");
  EXPECT_LT(decoy, mine);
  EXPECT_LT(mine, other);
  EXPECT_NE(std::string::npos, other);
  EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ServiceDiscovery "));
}

TEST_F(RecordsTest, BroadcastCarriesWhatReadersTake) {
  DiscoveryRecords records(scenario);
  std::string xml = records.Broadcast(scenario.demarcations[0], 38);
  EXPECT_NE(std::string::npos,
            xml.find("<BroadcastDiscovery DomainName=\"DEM_19.quorvina.es\" Version=\"38\">"
                     "<ServiceList><SingleService><ServiceLocation><IPMulticastAddress "
                     "Address=\"239.0.0.7\" Port=\"8208\" Streaming=\"rtp\"/></ServiceLocation>"
                     "<TextualIdentifier ServiceName=\"7\" LogoURI=\"MAY_1/imSer/7.jpg\"/>"));
  EXPECT_NE(std::string::npos,
            xml.find("<SI ServiceType=\"1\"><Name Language=\"SPA\">Cine &amp; Más</Name>"));
  EXPECT_NE(std::string::npos, xml.find("<Genre href=\"urn:quorvina:metadata:cs:GenreCS:2010:1\">"
                                        "<urn:Name>Cine</urn:Name></Genre>"));
  EXPECT_NE(std::string::npos, xml.find("<ParentalGuidance><mpeg7:ParentalRating href=\"urn:dvb:"
                                        "iptv:rating:2014:12\"><mpeg7:Name>12</mpeg7:Name>"));
  EXPECT_NE(std::string::npos,
            xml.find("<SI ServiceType=\"25\"><Name Language=\"SPA\">Cine &amp; Más HD</Name>"));
  EXPECT_NE(std::string::npos, xml.find("<ReplacementService ReplacementType=\"5\">"
                                        "<TextualIdentifier ServiceName=\"7\"/>"));
  EXPECT_EQ(std::string::npos, xml.find("Sólo Sur")) << "service of demarcation 1 only";
  std::string south = records.Broadcast(scenario.demarcations[1], -1);
  EXPECT_NE(std::string::npos, south.find("<BroadcastDiscovery DomainName=\"DEM_1.quorvina.es\">"));
  EXPECT_NE(std::string::npos, south.find("Port=\"1234\""));
  EXPECT_NE(std::string::npos, south.find("<TextualIdentifier ServiceName=\"9\"/>"));
}

TEST_F(RecordsTest, PackagesListServicesInChannelOrder) {
  std::string xml = DiscoveryRecords(scenario).Packages(scenario.demarcations[0], 4);
  EXPECT_NE(std::string::npos,
            xml.find("<PackageDiscovery DomainName=\"DEM_19.quorvina.es\" Version=\"4\">"
                     "<Package Id=\"1\"><PackageName Language=\"SPA\">P1</PackageName><Service>"
                     "<TextualID ServiceName=\"7\"/><LogicalChannelNumber>5</LogicalChannelNumber>"
                     "</Service></Package><Package Id=\"2\"><PackageName Language=\"SPA\">P2"
                     "</PackageName><Service><TextualID ServiceName=\"7\"/><LogicalChannelNumber>1"
                     "</LogicalChannelNumber></Service><Service><TextualID ServiceName=\"8\"/>"
                     "<LogicalChannelNumber>105</LogicalChannelNumber></Service></Package>"));
}

TEST_F(RecordsTest, ContentGuideIsAnEpgRecordWithoutDays) {
  std::string xml = DiscoveryRecords(scenario).ContentGuide(scenario.demarcations[0], 2);
  EXPECT_NE(
      std::string::npos,
      xml.find("<BCGDiscovery DomainName=\"DEM_19.quorvina.es\" Version=\"2\"><BCG Id=\"EPG\" "
               "Version=\"1\"><Name Language=\"SPA\">Guía de programación</Name>"
               "<TransportMode/>"));
}
