// The subscriber's regional server, picked from the service-provider record of
// the entry point.
#include <gtest/gtest.h>

#include "backend/Quorvina.h"
#include "common/DatosConfiguracion.h"
#include "support/InProcessHost.h"

namespace {

std::string Record(const std::string& providers) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<ServiceDiscovery xmlns=\"urn:dvb:ipisdns:2006\">\n"
         " <ServiceProviderDiscovery Version=\"3\">\n" +
         providers +
         " </ServiceProviderDiscovery>\n"
         "</ServiceDiscovery>\n";
}

std::string Provider(const std::string& domain, const std::string& offering) {
  return "  <ServiceProvider DomainName=\"" + domain + "\" Version=\"1\">\n   <Offering><Push " +
         offering + "/></Offering>\n  </ServiceProvider>\n";
}

const std::string kMadrid = "Address=\"239.0.2.130\" Port=\"3938\"";

TEST(RegionalServerTest, TheProviderOfTheSubscribersDemarcationGivesTheServer) {
  const struct {
    const char* name;
    std::string record;
    const char* address;  // empty: none found
    int port;
  } cases[] = {
      {"among others",
       Record(Provider("DEM_1.quorvina.es", "Address=\"239.0.2.1\" Port=\"3937\"") +
              Provider("DEM_19.quorvina.es", kMadrid)),
       "239.0.2.130", 3938},
      {"first of two",
       Record(Provider("DEM_19.quorvina.es", kMadrid) +
              Provider("DEM_19.quorvina.es", "Address=\"239.0.2.131\" Port=\"1\"")),
       "239.0.2.130", 3938},
      {"no port", Record(Provider("DEM_19.quorvina.es", "Address=\"239.0.2.130\"")), "239.0.2.130",
       0},
      {"lower case", Record(Provider("dem_19.quorvina.es", kMadrid)), nullptr, 0},
      {"trailing dot", Record(Provider("DEM_19.quorvina.es.", kMadrid)), nullptr, 0},
      {"no declaration", Record(Provider("DEM_19.quorvina.es", kMadrid)).substr(5), nullptr, 0},
      {"cut", "<?xml version=\"1.0\"?><ServiceDiscovery><Ser", nullptr, 0},
  };
  InProcessHost host;
  configuracionquorvina = DatosConfiguracion();  // demarcation 19
  for (const auto& c : cases) {
    DireccionProvincia.clear();
    PuertoProvincia = 77;
    Quorvina::ObtenerDireccionyPuertoProvincia(c.record);
    EXPECT_EQ(DireccionProvincia, c.address ? c.address : "") << c.name;
    if (c.address) {
      EXPECT_EQ(PuertoProvincia, c.port) << c.name;
    }
  }
}

}  // namespace
