// The subscriber's profile through a real host and operator.
#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const char* const kSinServidor = "Sin conexión con el servidor de aplicaciones";
const char* const kSinConfiguracion = "No se ha podido obtener la configuración del servicio";

class ProfileE2eTest : public E2eTest {};

TEST_F(ProfileE2eTest, SecondStartWithoutServerUsesTheCache) {
  StartHeadend();
  hostsim::Host& first = StartHost();
  ASSERT_TRUE(first.load().ok);
  ASSERT_TRUE(first.waitForChannels(30s));
  StopHost();
  // Carousels on, application server silent.
  StartHeadend(Scenario(R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(Notified(kSinServidor));
  EXPECT_FALSE(Notified(kSinConfiguracion));
  EXPECT_GT(host.channelsAmount(), 0);
}

struct Fault {
  const char* name;
  const char* patch;
};

class ProfileFaultTest : public E2eTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ProfileFaultTest, AddOnRunsOnItsSettings) {
  StartHeadend(Scenario(GetParam().patch));
  hostsim::Host& host = StartHost();
  const auto start = Clock::now();
  ASSERT_TRUE(host.load().ok);
  EXPECT_LT(Clock::now() - start, 25s);
  EXPECT_EQ(host.status(), 0);
  EXPECT_EQ(ReadUserFile("Base/Configuracion.xml"), "");
  EXPECT_TRUE(Notified(kSinConfiguracion));
  // Discovery still runs on the settings' entry point.
  EXPECT_TRUE(WaitForUserFile("Base/05_0000.xml", 20s));
}

// Neither the server nor a cache: one case per kind of failure; what each
// malformed answer does is a rule of the profile reader, tested on its own.
INSTANTIATE_TEST_SUITE_P(
    Switches, ProfileFaultTest,
    ::testing::Values(
        Fault{"Closed", R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}}})"},
        Fault{"MalformedJson",
              R"({"appServer":{"switches":{"getClientProfile":{"malformedJson":true}}}})"},
        Fault{"ServerError", R"({"appServer":{"switches":{"getClientProfile":{"status":500}}}})"},
        Fault{
            "HeldWithoutAnswer",
            R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"hold","holdMs":15000}}}})"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
