// Logo resolution while loading: downloaded, cached, shipped and default
// images, and the cut-off of downloads after four fallbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/CanalesFixture.h"
#include "support/TinyHttpServer.h"

namespace canales_test {
namespace {

const std::string kBase = "/appclient/incoming/epg/big/";

class CanalesLogos : public CanalesFixture {
 protected:
  void SetUp() override {
    CanalesFixture::SetUp();
    PuertoHttpQuorvina = server.port();
  }
  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const std::string& request : server.Requests()) {
      const size_t start = request.find(' ') + 1;
      paths.push_back(request.substr(start, request.find(' ', start) - start));
    }
    return paths;
  }
  static Line WithLogo(int id, const std::string& logo) {
    return {id, id, "C" + std::to_string(id), "Logo=\"" + logo + "\" "};
  }

  TinyHttpServer server;
};

TEST_F(CanalesLogos, DownloadedCachedShippedOrDefault) {
  server.AnswerOk(kBase + "MAY_1/imSer/1.png", "PNG1");
  user.Write("Logos/2.png", "cached");
  client.Write("Logos/3.png", "shipped");
  WriteCanales(CanalesFile({WithLogo(1, "MAY_1/imSer/1.png"),
                            WithLogo(2, "MAY_1/imSer/2.png"),
                            WithLogo(3, "x/3.png"),
                            WithLogo(4, "x/4.png"),
                            {5, 5, "Sin logo"}}));
  Canales& list = Create();
  const ChannelMap channels = list.GetCanales();

  EXPECT_EQ(channels.at(1).logo, PathLogos + "1.png");
  EXPECT_EQ(user.Read("Logos/1.png"), "PNG1");
  EXPECT_EQ(channels.at(2).logo, PathLogos + "2.png");
  EXPECT_EQ(channels.at(3).logo, strClientPath + "/Logos/3.png");
  EXPECT_EQ(channels.at(4).logo, strClientPath + "/Logos/597.jpg");
  EXPECT_EQ(channels.at(5).logo, "");
  // A failed download leaves no file that would pass for a logo later.
  EXPECT_EQ(user.Read("Logos/4.png"), "");

  EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{kBase + "MAY_1/imSer/1.png",
                                                        kBase + "x/3.png", kBase + "x/4.png"}));
  EXPECT_TRUE(host.Logged("Obteniendo Logotipo:x/3.png"));
  EXPECT_TRUE(host.Logged("!LogoCargado:" + strClientPath + "/Logos/3.png"));
}

TEST_F(CanalesLogos, DownloadsStopAfterFourFallbacksWithoutSuccess) {
  const struct {
    const char* name;
    bool serveFirst;
    bool cacheFirst;
    size_t requests;
  } cases[] = {
      {"nothing downloads", false, false, 4},
      {"one download succeeds", true, false, 6},
      {"a cached logo counts as success", false, true, 5},
  };
  for (const auto& c : cases) {
    TinyHttpServer fresh;
    PuertoHttpQuorvina = fresh.port();
    if (c.serveFirst) fresh.AnswerOk(kBase + "l/1.png", "PNG");
    std::remove((PathLogos + "1.png").c_str());
    if (c.cacheFirst) user.Write("Logos/1.png", "cached");

    std::vector<Line> lines;
    for (int id = 1; id <= 6; ++id)
      lines.push_back(WithLogo(id, "l/" + std::to_string(id) + ".png"));
    WriteCanales(CanalesFile(lines));
    Canales& list = Create();
    EXPECT_EQ(fresh.Requests().size(), c.requests) << c.name;
    EXPECT_EQ(list.GetCanales().at(6).logo, strClientPath + "/Logos/597.jpg") << c.name;
  }
}

TEST_F(CanalesLogos, ExternalChannelsDownloadOnlyForOperatorChannels) {
  server.AnswerOk(kBase + "e/1.png", "E1");
  server.AnswerOk(kBase + "e/2.png", "E2");
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  WriteChannelFolder("canalesexternos.xml",
                     "<Canales>"
                     "<Canal NumeroCanal=\"1\" ID=\"51\" Nombre=\"Op\" BrastokeTV=\"1\" "
                     "servidor=\"s\" Logo=\"e/1.png\"/>"
                     "<Canal NumeroCanal=\"2\" ID=\"52\" Nombre=\"Propio\" BrastokeTV=\"0\" "
                     "servidor=\"s\" Logo=\"e/2.png\"/>"
                     "</Canales>");
  Canales& list = Create();
  EXPECT_EQ(list.GetCanales().at(51).logo, PathLogos + "1.png");
  EXPECT_EQ(list.GetCanales().at(52).logo, strClientPath + "/Logos/597.jpg");
  EXPECT_EQ(RequestedPaths(), std::vector<std::string>{kBase + "e/1.png"});
}

}  // namespace
}  // namespace canales_test
