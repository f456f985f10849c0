#include <gtest/gtest.h>

#include "backend/DatosConfiguracion.h"
#include "backend/Quorvina.h"
#include "support/FakeHost.h"

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
  return "  <ServiceProvider DomainName=\"" + domain +
         "\" Version=\"1\">\n"
         "   <Offering><Push " +
         offering +
         "/></Offering>\n"
         "  </ServiceProvider>\n";
}

class RegionalServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.Provincia = "19";
    DireccionProvincia.clear();
    PuertoProvincia = 0;
  }
  FakeHost host;
};

TEST_F(RegionalServerTest, PicksTheProviderOfTheSubscribersDemarcation) {
  Quorvina::ObtenerDireccionyPuertoProvincia(
      Record(Provider("DEM_1.quorvina.es", "Address=\"239.0.2.1\" Port=\"3937\"") +
             Provider("DEM_19.quorvina.es", "Address=\"239.0.2.130\" Port=\"3938\"")));
  EXPECT_EQ(DireccionProvincia, "239.0.2.130");
  EXPECT_EQ(PuertoProvincia, 3938);
}

TEST_F(RegionalServerTest, FirstOfTwoMatchingProvidersWins) {
  Quorvina::ObtenerDireccionyPuertoProvincia(
      Record(Provider("DEM_19.quorvina.es", "Address=\"239.0.2.130\" Port=\"3937\"") +
             Provider("DEM_19.quorvina.es", "Address=\"239.0.2.131\" Port=\"3937\"")));
  EXPECT_EQ(DireccionProvincia, "239.0.2.130");
}

TEST_F(RegionalServerTest, OfferingWithoutPortGivesPortZero) {
  PuertoProvincia = 77;
  Quorvina::ObtenerDireccionyPuertoProvincia(
      Record(Provider("DEM_19.quorvina.es", "Address=\"239.0.2.130\"")));
  EXPECT_EQ(DireccionProvincia, "239.0.2.130");
  EXPECT_EQ(PuertoProvincia, 0);
}

TEST_F(RegionalServerTest, NamesMustMatchCharacterForCharacter) {
  for (const char* domain :
       {"dem_19.quorvina.es", "DEM_190.quorvina.es", "DEM_19.quorvina.es.", "DEM_19"}) {
    Quorvina::ObtenerDireccionyPuertoProvincia(
        Record(Provider(domain, "Address=\"239.0.2.130\" Port=\"3937\"")));
    EXPECT_TRUE(DireccionProvincia.empty()) << domain;
  }
}

TEST_F(RegionalServerTest, TextThatIsNotXmlChangesNothing) {
  for (const std::string& text :
       {std::string(""), std::string("garbage"),
        Record(Provider("DEM_19.quorvina.es", "Address=\"239.0.2.130\"")).substr(5),
        std::string("<?xml version=\"1.0\"?><ServiceDiscovery><Ser")}) {
    Quorvina::ObtenerDireccionyPuertoProvincia(text);
    EXPECT_TRUE(DireccionProvincia.empty());
  }
}

TEST(SearchTypeTest, DerivesTheChannelFilter) {
  struct Case {
    int tipo;
    std::string paquetes;
    bool hdBefore, todos, ocultar, hd;
  };
  const Case cases[] = {
      {0, "A|B", false, false, true, false}, {0, "", true, true, true, true},
      {1, "A", false, true, true, true},     {2, "A", true, true, false, false},
      {3, "A", false, true, false, true},    {7, "A", true, false, true, true},
  };
  for (const Case& c : cases) {
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.TiposdeBusqueda = c.tipo;
    configuracionquorvina.paquetes = c.paquetes;
    configuracionquorvina.CargarCanalesHD = c.hdBefore;
    Quorvina::CalcularConfiguracionCanales();
    EXPECT_EQ(configuracionquorvina.TodosPaquetes, c.todos) << c.tipo;
    EXPECT_EQ(configuracionquorvina.OcultarSustituidos, c.ocultar) << c.tipo;
    EXPECT_EQ(configuracionquorvina.CargarCanalesHD, c.hd) << c.tipo;
  }
}

}  // namespace
