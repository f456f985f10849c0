// Loading the line-up from "Canales.xml", "canalesexternos.xml" and
// "orden.xml": numbers, order keys, hidden replaced channels, HD filter,
// groups, the on-demand channel, and bad files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/CanalesFixture.h"

namespace canales_test {
namespace {

using CanalesLoad = CanalesFixture;

TEST(NombreLogotipo, KeepsThePartAfterTheLastSlashUnlessItIsTheOnlyLeadingOne) {
  const struct {
    const char* value;
    const char* name;
  } cases[] = {
      {"a/b/c.png", "c.png"}, {"/c.png", "/c.png"}, {"c.png", "c.png"},
      {"/a/c.png", "c.png"},  {"a/", ""},           {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Canales::NombreLogotipo(c.value), c.name) << c.value;
}

TEST_F(CanalesLoad, ReadsEveryFieldAndTheRecordedInputs) {
  WriteCanales(CanalesFile({{3, 101, "Uno &amp; &quot;Dos&quot;", "Genero=\"Cine\" ", 2, 55}}));
  Canales& list = Create();
  EXPECT_TRUE(list.Cargado());

  Canal canal;
  ASSERT_TRUE(list.ObtenerCanal(101, canal));
  EXPECT_EQ(canal.numero, 3);
  EXPECT_EQ(canal.nombre, "Uno & \"Dos\"");
  EXPECT_EQ(canal.genero, "Cine");
  EXPECT_EQ(canal.ip, "239.0.0.101");
  EXPECT_EQ(canal.puerto, 8208);
  EXPECT_EQ(canal.idSustituto, 55);
  EXPECT_TRUE(canal.HD);
  EXPECT_TRUE(canal.operador);
  EXPECT_EQ(canal.logo, "");  // no "Logo" attribute
  EXPECT_EQ(canal.reservado, "");

  const Canales::Recorded recorded = list.GetRecorded();
  EXPECT_EQ(recorded.orderVersion, 4);
  EXPECT_EQ(recorded.listVersion, 7);
  EXPECT_EQ(recorded.packages, "P1");
  EXPECT_EQ(recorded.demarcation, "19");
  EXPECT_EQ(recorded.searchType, 0);
  EXPECT_TRUE(host.Logged("VersionCanales:7"));
  EXPECT_TRUE(host.Logged("IDpaquetes:P1"));
  EXPECT_FALSE(host.Logged("no valido"));  // no subscriber files: nothing to say
}

TEST_F(CanalesLoad, NumberZeroBecomes9999InEachFile) {
  WriteCanales(CanalesFile({{0, 1, "A"}, {2, 2, "B"}}));
  WriteChannelFolder("canalesexternos.xml",
                     "<Canales><Canal NumeroCanal=\"0\" ID=\"3\" Nombre=\"C\" BrastokeTV=\"0\" "
                     "servidor=\"http://x/c\"/></Canales>");
  WriteChannelFolder("orden.xml", "<ordenacion><orden ID=\"2\" NumeroCanal=\"0\"/></ordenacion>");
  Canales& list = Create();
  EXPECT_EQ(FicheroCanalesExternos, PathCanales + "canalesexternos.xml");
  const ChannelMap channels = list.GetCanales();
  for (int id : {1, 2, 3}) {
    ASSERT_EQ(channels.count(id), 1u) << id;
    EXPECT_EQ(channels.at(id).numero, 9999) << id;
  }
}

TEST_F(CanalesLoad, EqualNumbersTakeConsecutiveKeysInIdOrder) {
  std::vector<Line> eleven;
  std::vector<std::pair<int, int>> elevenKeys;
  for (int id = 1; id <= 11; ++id) {
    eleven.push_back({5, id, "C"});
    elevenKeys.emplace_back(49 + id, id);
  }
  eleven.push_back({6, 12, "Seis"});
  elevenKeys.emplace_back(61, 12);
  elevenKeys.emplace_back(10000, 10000);
  const struct {
    const char* name;
    std::vector<Line> lines;
    std::vector<std::pair<int, int>> keys;
  } cases[] = {
      {"two", {{5, 7, "B"}, {5, 3, "A"}}, {{50, 3}, {51, 7}, {10000, 10000}}},
      {"eleven and the next number", eleven, elevenKeys},
  };
  for (const auto& c : cases) {
    WriteCanales(CanalesFile(c.lines));
    Canales& list = Create();
    const OrderMap order = list.ObtenerOrden();
    const std::vector<std::pair<int, int>> keys(order.begin(), order.end());
    EXPECT_EQ(keys, c.keys) << c.name;
  }
}

TEST_F(CanalesLoad, HidingReplacedChannels) {
  const struct {
    const char* name;
    bool hide;
    std::vector<Line> lines;
    std::vector<int> channels;  // without the on-demand channel
    std::vector<int> full;
  } cases[] = {
      {"A names B", true, {{1, 1, "A", "", 1, 2}, {2, 2, "B"}}, {1}, {1, 2}},
      {"own id removes nothing", true, {{1, 1, "A", "", 1, 1}, {2, 2, "B"}}, {1, 2}, {1, 2}},
      {"unknown replacement", true, {{1, 1, "A", "", 1, 9}}, {1}, {1}},
      {"hiding off", false, {{1, 1, "A", "", 1, 2}, {2, 2, "B"}}, {1, 2}, {1, 2}},
      // A hidden channel hides nothing itself.
      {"mutual", true, {{1, 1, "A", "", 1, 2}, {2, 2, "B", "", 1, 1}}, {1}, {1, 2}},
  };
  for (const auto& c : cases) {
    configuracionquorvina.OcultarSustituidos = c.hide;
    WriteCanales(CanalesFile(c.lines));
    Canales& list = Create();
    std::vector<int> channels;
    for (const auto& [id, canal] : list.GetCanales()) {
      if (id != 10000) channels.push_back(id);
    }
    std::vector<int> full;
    for (const auto& [id, canal] : list.ObtenerCanalesCompletos()) full.push_back(id);
    EXPECT_EQ(channels, c.channels) << c.name;
    EXPECT_EQ(full, c.full) << c.name;
    // The order still places the hidden channel.
    EXPECT_EQ(list.ObtenerOrden().size(), c.full.size() + 1) << c.name;
  }
}

TEST_F(CanalesLoad, WithoutHdOnlyServiceType1Remains) {
  configuracionquorvina.CargarCanalesHD = false;
  WriteCanales(CanalesFile({{1, 1, "SD"}, {2, 2, "HD", "", 2}, {3, 3, "UHD", "", 31}}));
  Canales& list = Create();
  EXPECT_EQ(list.GetCanales().count(1), 1u);
  EXPECT_FALSE(list.GetCanales().at(1).HD);
  for (int id : {2, 3}) {
    EXPECT_EQ(list.GetCanales().count(id), 0u) << id;
    EXPECT_EQ(list.ObtenerCanalesCompletos().count(id), 0u) << id;
  }
}

TEST_F(CanalesLoad, OrdenRemovesOrRenumbers) {
  WriteCanales(CanalesFile({{1, 1, "A"}, {2, 2, "B"}, {3, 3, "C"}, {4, 4, "D"}}));
  WriteChannelFolder("orden.xml",
                     "<ordenacion>"
                     "<orden ID=\"1\" Suprimir=\"1\" NumeroCanal=\"40\"/>"
                     "<orden ID=\"2\" Suprimir=\"0\" NumeroCanal=\"20\"/>"
                     "<orden ID=\"3\" Suprimir=\"0\"/>"
                     "<orden ID=\"4\"/>"
                     "<orden ID=\"99\" Suprimir=\"1\"/>"
                     "<orden NumeroCanal=\"5\"/>"
                     "<orden ID=\"4\" NumeroCanal=\"44\"/>"
                     "</ordenacion>");
  Canales& list = Create();
  const ChannelMap channels = list.GetCanales();
  const ChannelMap full = list.ObtenerCanalesCompletos();
  EXPECT_EQ(channels.count(1), 0u);
  EXPECT_EQ(full.count(1), 0u);
  EXPECT_EQ(channels.at(2).numero, 20);
  EXPECT_EQ(full.at(2).numero, 20);
  EXPECT_EQ(channels.at(3).numero, 3);
  EXPECT_EQ(channels.at(4).numero, 44);
  EXPECT_EQ(list.ObtenerOrden().at(200), 2);
}

TEST_F(CanalesLoad, ExternalChannels) {
  WriteCanales(CanalesFile({{1, 1, "Operador"}}));
  user.Write("mis canales.xml",
             "<Canales>"
             // every attribute
             "<Canal NumeroCanal=\"30\" ID=\"500\" Nombre=\"Local\" BrastokeTV=\"0\" "
             "servidor=\"http://10.0.0.1/tv\" puerto=\"81\" HD=\"1\" Genero=\"Propios\" "
             "ServiceNameOriginal=\"501\"/>"
             // defaults
             "<Canal NumeroCanal=\"31\" ID=\"600\" Nombre=\"Otro\" BrastokeTV=\"1\" "
             "servidor=\"239.1.1.1\"/>"
             // no "servidor"
             "<Canal NumeroCanal=\"32\" ID=\"700\" Nombre=\"Sin\" BrastokeTV=\"1\"/>"
             // id taken
             "<Canal NumeroCanal=\"33\" ID=\"1\" Nombre=\"Intruso\" BrastokeTV=\"0\" "
             "servidor=\"x\"/>"
             "</Canales>");
  FicheroCanalesExternos = user.file("mis canales.xml");
  Canales& list = Create();
  const ChannelMap channels = list.GetCanales();
  const ChannelMap full = list.ObtenerCanalesCompletos();

  const Canal& local = channels.at(500);
  EXPECT_EQ(local.numero, 30);
  EXPECT_EQ(local.nombre, "Local");
  EXPECT_EQ(local.ip, "http://10.0.0.1/tv");
  EXPECT_EQ(local.puerto, 81);
  EXPECT_TRUE(local.HD);
  EXPECT_FALSE(local.operador);
  EXPECT_EQ(local.genero, "Propios");
  EXPECT_EQ(local.idSustituto, 501);
  EXPECT_EQ(full.count(500), 1u);

  const Canal& otro = channels.at(600);
  EXPECT_EQ(otro.puerto, 0);
  EXPECT_FALSE(otro.HD);
  EXPECT_TRUE(otro.operador);
  EXPECT_EQ(otro.idSustituto, 600);

  EXPECT_EQ(channels.count(700), 0u);
  EXPECT_EQ(channels.at(1).nombre, "Operador");
  EXPECT_EQ(full.at(1).nombre, "Operador");
}

TEST_F(CanalesLoad, OnDemandChannelAndItsGroup) {
  WriteCanales(CanalesFile({{1, 1, "A", "Genero=\"Cine\" "}}));
  Canales& list = Create();
  const Canal vod = list.GetCanales().at(10000);
  EXPECT_EQ(vod.numero, 10000);
  EXPECT_EQ(vod.nombre, "V.O.D");
  EXPECT_EQ(vod.logo, strClientPath + "/Logos/597.jpg");
  EXPECT_EQ(vod.ip, "127.0.0.1");
  EXPECT_EQ(vod.puerto, 0);
  EXPECT_EQ(vod.idSustituto, 10000);
  EXPECT_TRUE(vod.operador);
  EXPECT_FALSE(vod.HD);
  EXPECT_EQ(list.ObtenerCanalesCompletos().count(10000), 0u);
  EXPECT_EQ(list.ObtenerOrden().at(10000), 10000);

  const auto members = list.GetChannelGroupMembers("V.O.D");
  ASSERT_EQ(members.size(), 1u);
  EXPECT_STREQ(members[0].strGroupName, "V.O.D");
  EXPECT_EQ(members[0].iChannelUniqueId, 10000u);
  EXPECT_EQ(members[0].iChannelNumber, 10000u);
  EXPECT_TRUE(list.GetChannelGroupMembers("Deportes").empty());
  EXPECT_EQ(list.NumeroGrupos(), 2);
  EXPECT_EQ(list.NumeroCanales(), 2);
}

TEST_F(CanalesLoad, GroupsByGenre) {
  const std::string longGenre = std::string(1022, 'g') + "\xC3\xB1" + "tail";  // "ñ" across 1023
  WriteCanales(CanalesFile({{2, 1, "A", "Genero=\"Cine\" "},
                            {1, 2, "B", "Genero=\"Cine\" "},
                            {3, 3, "C", "Genero=\"\" "},
                            {4, 4, "D"},
                            {5, 5, "E", "Genero=\"" + longGenre + "\" "}}));
  Canales& list = Create();
  const GroupMap groups = list.GetChannelGroups();
  EXPECT_EQ(groups.size(), 3u);  // Cine, the long one, V.O.D
  ASSERT_EQ(groups.count("Cine"), 1u);
  EXPECT_STREQ(groups.at("Cine").strGroupName, "Cine");
  EXPECT_FALSE(groups.at("Cine").bIsRadio);

  const auto cine = list.GetChannelGroupMembers("Cine");
  ASSERT_EQ(cine.size(), 2u);
  EXPECT_EQ(cine[0].iChannelUniqueId, 1u);
  EXPECT_EQ(cine[0].iChannelNumber, 2u);
  EXPECT_EQ(cine[1].iChannelUniqueId, 2u);

  // The cut name is the one the host hands back, so it finds the members.
  const std::string cut(1022, 'g');
  ASSERT_EQ(groups.count(cut), 1u);
  EXPECT_EQ(std::string(groups.at(cut).strGroupName), cut);
  EXPECT_EQ(list.GetChannelGroupMembers(cut).size(), 1u);
}

TEST_F(CanalesLoad, BadFilesKeepWhatWasLoaded) {
  const struct {
    const char* name;
    const char* file;  // relative to the channel folder
    const char* text;
    const char* logged;
  } cases[] = {
      {"truncated", "Canales.xml", "<Canales>\n<Canal NumeroCanal=\"1\" ID=\"9\"",
       "Canales.xml no valido"},
      {"wrong root", "Canales.xml", "<Otros><Canal/></Otros>", "Canales.xml no valido"},
      {"empty", "Canales.xml", "", "Canales.xml no valido"},
  };
  for (const auto& c : cases) {
    WriteCanales(CanalesFile({{1, 1, "A"}, {2, 2, "B"}}));
    Canales& list = Create();
    ASSERT_EQ(list.NumeroCanales(), 3) << c.name;
    host.ClearLogs();

    WriteChannelFolder(c.file, c.text);
    list.CargarFichero();
    EXPECT_TRUE(host.Logged(c.logged)) << c.name;
    EXPECT_EQ(list.NumeroCanales(), 3) << c.name;
    EXPECT_EQ(list.GetCanales().at(2).nombre, "B") << c.name;
    EXPECT_EQ(list.GetRecorded().listVersion, -1) << c.name;
    EXPECT_EQ(list.GetRecorded().orderVersion, -1) << c.name;
  }
}

TEST_F(CanalesLoad, BadSubscriberFilesAreLoggedAndSkipped) {
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  WriteChannelFolder("canalesexternos.xml", "<Canales><Canal ID=\"5\"</Canales>");
  WriteChannelFolder("orden.xml", "<ordenacion><orden ID=\"1\" Suprimir=\"1\">");
  Canales& list = Create();
  EXPECT_TRUE(host.Logged("canalesexternos.xml no valido"));
  EXPECT_TRUE(host.Logged("orden.xml no valido"));
  EXPECT_EQ(list.GetCanales().count(1), 1u);
}

TEST_F(CanalesLoad, IncompleteLineIsSkipped) {
  WriteCanales(
      "<Canales>\n<Version VersionOrden=\"1\" VersionCanales=\"1\" />\n"
      "<Canal NumeroCanal=\"1\" ID=\"1\" Nombre=\"Sin ip\" ServiceNameOriginal=\"1\" "
      "ServiceType=\"1\" puerto=\"1\" />\n" +
      CanalLine({2, 2, "B"}) + "</Canales>\n");
  Canales& list = Create();
  EXPECT_EQ(list.GetCanales().count(1), 0u);
  EXPECT_EQ(list.GetCanales().count(2), 1u);
  EXPECT_TRUE(host.Logged("Canal incompleto"));
}

TEST_F(CanalesLoad, EliminarCanalesDeletesTheFilesAndForgetsTheVersions) {
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  WriteChannelFolder("CanalesCompleto.xml", "<Canales/>");
  Canales& list = Create();
  ASSERT_TRUE(list.Cargado());
  list.EliminarCanales();
  struct stat st {};
  EXPECT_NE(stat(PathCompletoCanales.c_str(), &st), 0);
  EXPECT_NE(stat(PathCompletoCanalesCompleto.c_str(), &st), 0);
  EXPECT_FALSE(list.Cargado());
  EXPECT_EQ(list.GetRecorded().listVersion, -1);
  EXPECT_EQ(list.GetRecorded().orderVersion, -1);
  EXPECT_EQ(list.GetRecorded().searchType, -1);
}

}  // namespace
}  // namespace canales_test
