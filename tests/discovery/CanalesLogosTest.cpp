// Logo resolution while loading: downloaded, cached, shipped and default
// images, and the cut-off of downloads after four fallbacks.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "discovery/CanalesFixture.h"
#include "support/TinyHttpServer.h"

namespace canales_test {
namespace {

const std::string kBase = "/appclient/incoming/epg/big/";

Line WithLogo(int id, const std::string& logo) {
  return {id, id, "C" + std::to_string(id), "Logo=\"" + logo + "\" "};
}

using CanalesLogos = CanalesFixture;

TEST_F(CanalesLogos, DownloadedCachedShippedOrDefault) {
  TinyHttpServer server;
  PuertoHttpQuorvina = server.port();
  server.AnswerOk(kBase + "MAY_1/imSer/1.png", "PNG1");
  server.AnswerOk(kBase + "e/51.png", "E51");
  server.AnswerOk(kBase + "e/52.png", "E52");
  user.Write("Logos/2.png", "cached");
  client.Write("Logos/3.png", "shipped");
  WriteCanales(CanalesFile({WithLogo(1, "MAY_1/imSer/1.png"),
                            WithLogo(2, "MAY_1/imSer/2.png"),
                            WithLogo(3, "x/3.png"),
                            WithLogo(4, "x/4.png"),
                            {5, 5, "Sin logo"}}));
  // Of the external channels only the operator's download theirs.
  WriteCanales(
      "<Canales>"
      "<Canal NumeroCanal=\"1\" ID=\"51\" Nombre=\"Op\" BrastokeTV=\"1\" "
      "servidor=\"s\" Logo=\"e/51.png\"/>"
      "<Canal NumeroCanal=\"2\" ID=\"52\" Nombre=\"Propio\" BrastokeTV=\"0\" "
      "servidor=\"s\" Logo=\"e/52.png\"/>"
      "</Canales>",
      "canalesexternos.xml");
  std::map<int, std::string> logos;
  for (const auto& [id, canal] : Create().GetCanales()) logos[id] = canal.logo;
  const std::string fallback = strClientPath + "/Logos/597.jpg";
  EXPECT_EQ(logos, (std::map<int, std::string>{
                       {1, PathLogos + "1.png"},
                       {2, PathLogos + "2.png"},
                       {3, strClientPath + "/Logos/3.png"},
                       {4, fallback},
                       {5, ""},
                       {51, PathLogos + "51.png"},
                       {52, fallback},
                       {10000, fallback},
                   }));
  EXPECT_EQ(user.Read("Logos/1.png"), "PNG1");
  // A failed download leaves no file that would pass for a logo later.
  EXPECT_EQ(user.Read("Logos/4.png"), "");
  std::vector<std::string> paths;  // of "GET <path> HTTP/1.x"
  for (const std::string& r : server.Requests()) paths.push_back(r.substr(4, r.find(' ', 4) - 4));
  EXPECT_EQ(paths, (std::vector<std::string>{kBase + "MAY_1/imSer/1.png", kBase + "x/3.png",
                                             kBase + "x/4.png", kBase + "e/51.png"}));
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
  std::vector<Line> lines;
  for (int id = 1; id <= 6; ++id) lines.push_back(WithLogo(id, "l/" + std::to_string(id) + ".png"));
  for (const auto& c : cases) {
    TinyHttpServer server;
    PuertoHttpQuorvina = server.port();
    if (c.serveFirst) server.AnswerOk(kBase + "l/1.png", "PNG");
    std::remove((PathLogos + "1.png").c_str());
    if (c.cacheFirst) user.Write("Logos/1.png", "cached");
    WriteCanales(CanalesFile(lines));
    Canales& list = Create();
    EXPECT_EQ(server.Requests().size(), c.requests) << c.name;
    EXPECT_EQ(list.GetCanales().at(6).logo, strClientPath + "/Logos/597.jpg") << c.name;
  }
}

}  // namespace
}  // namespace canales_test
