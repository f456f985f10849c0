// Loading the line-up from "Canales.xml", "canalesexternos.xml" and
// "orden.xml": numbers, order keys, hidden replaced channels, HD filter,
// groups, the on-demand channel, and bad files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <tuple>
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

TEST_F(CanalesLoad, EqualNumbersTakeConsecutiveKeysInIdOrder) {
  std::vector<Line> lines;
  OrderMap keys = {{61, 12}, {10000, 10000}};
  for (int id = 11; id >= 1; --id) {  // the file order is not the id order
    lines.push_back({5, id, "C"});
    keys[49 + id] = id;
  }
  lines.push_back({6, 12, "Seis"});
  WriteCanales(CanalesFile(lines));
  EXPECT_EQ(Create().ObtenerOrden(), keys);
}

TEST_F(CanalesLoad, HiddenReplacedAndHdChannels) {
  const struct {
    const char* name;
    bool hide, hd;
    std::vector<Line> lines;
    std::vector<int> channels;  // with the on-demand channel
    std::vector<int> full;
  } cases[] = {
      {"A names B", true, true, {{1, 1, "A", "", 1, 2}, {2, 2, "B"}}, {1, 10000}, {1, 2}},
      {"own id", true, true, {{1, 1, "A", "", 1, 1}, {2, 2, "B"}}, {1, 2, 10000}, {1, 2}},
      {"unknown replacement", true, true, {{1, 1, "A", "", 1, 9}}, {1, 10000}, {1}},
      {"hiding off", false, true, {{1, 1, "A", "", 1, 2}, {2, 2, "B"}}, {1, 2, 10000}, {1, 2}},
      // A hidden channel hides nothing itself.
      {"mutual", true, true, {{1, 1, "A", "", 1, 2}, {2, 2, "B", "", 1, 1}}, {1, 10000}, {1, 2}},
      // Without HD only service type 1 remains.
      {"HD off",
       true,
       false,
       {{1, 1, "S"}, {2, 2, "H", "", 2}, {3, 3, "U", "", 31}},
       {1, 10000},
       {1}},
  };
  for (const auto& c : cases) {
    configuracionquorvina.OcultarSustituidos = c.hide;
    configuracionquorvina.CargarCanalesHD = c.hd;
    WriteCanales(CanalesFile(c.lines));
    Canales& list = Create();
    EXPECT_EQ(Ids(list.GetCanales()), c.channels) << c.name;
    EXPECT_EQ(Ids(list.ObtenerCanalesCompletos()), c.full) << c.name;
    // The order still places the hidden channel.
    EXPECT_EQ(list.ObtenerOrden().size(), c.full.size() + 1) << c.name;
  }
}

TEST_F(CanalesLoad, OrdenRemovesOrRenumbers) {
  WriteCanales(CanalesFile({{1, 1, "A"}, {2, 2, "B"}, {3, 3, "C"}, {4, 4, "D"}, {5, 5, "E"}}));
  WriteCanales(
      "<ordenacion>"
      "<orden ID=\"1\" Suprimir=\"1\" NumeroCanal=\"40\"/>"
      "<orden ID=\"2\" Suprimir=\"0\" NumeroCanal=\"20\"/>"
      "<orden ID=\"3\" Suprimir=\"0\"/><orden ID=\"4\"/><orden ID=\"5\" NumeroCanal=\"0\"/>"
      "<orden ID=\"99\" Suprimir=\"1\"/><orden NumeroCanal=\"5\"/>"
      "<orden ID=\"4\" NumeroCanal=\"44\"/>"
      "</ordenacion>",
      "orden.xml");
  Canales& list = Create();
  const ChannelMap channels = list.GetCanales();
  const ChannelMap full = list.ObtenerCanalesCompletos();
  EXPECT_EQ(Ids(channels), (std::vector<int>{2, 3, 4, 5, 10000}));
  EXPECT_EQ(Ids(full), (std::vector<int>{2, 3, 4, 5}));
  for (const auto& [id, numero] : std::map<int, int>{{2, 20}, {3, 3}, {4, 44}, {5, 9999}}) {
    EXPECT_EQ(channels.at(id).numero, numero) << id;
    EXPECT_EQ(full.at(id).numero, numero) << id;
  }
  EXPECT_EQ(list.ObtenerOrden().at(200), 2);
}

TEST_F(CanalesLoad, ExternalChannels) {
  WriteCanales(CanalesFile({{0, 1, "Operador"}}));
  user.Write("mis canales.xml",
             "<Canales>"
             "<Canal NumeroCanal=\"30\" ID=\"500\" Nombre=\"Local\" BrastokeTV=\"0\" "
             "servidor=\"http://10.0.0.1/tv\" puerto=\"81\" HD=\"1\" Genero=\"Propios\" "
             "ServiceNameOriginal=\"501\"/>"
             "<Canal NumeroCanal=\"0\" ID=\"600\" Nombre=\"Otro\" BrastokeTV=\"1\" "
             "servidor=\"239.1.1.1\"/>"
             "<Canal NumeroCanal=\"32\" ID=\"700\" Nombre=\"Sin\" BrastokeTV=\"1\"/>"
             "<Canal NumeroCanal=\"33\" ID=\"1\" Nombre=\"Intruso\" BrastokeTV=\"0\" "
             "servidor=\"x\"/>"
             "</Canales>");
  FicheroCanalesExternos = user.file("mis canales.xml");
  Canales& list = Create();
  const ChannelMap channels = list.GetCanales();
  // No "servidor": skipped; a taken id keeps its channel; number 0 is 9999.
  EXPECT_EQ(Ids(channels), (std::vector<int>{1, 500, 600, 10000}));
  EXPECT_EQ(Ids(list.ObtenerCanalesCompletos()), (std::vector<int>{1, 500, 600}));
  EXPECT_EQ(Fields(channels.at(1)),
            std::make_tuple(9999, "Operador", "239.0.0.1", 8208, "", 1, false, true));
  EXPECT_EQ(list.ObtenerCanalesCompletos().at(1).nombre, "Operador");
  EXPECT_EQ(Fields(channels.at(500)),
            std::make_tuple(30, "Local", "http://10.0.0.1/tv", 81, "Propios", 501, true, false));
  EXPECT_EQ(Fields(channels.at(600)),
            std::make_tuple(9999, "Otro", "239.1.1.1", 0, "", 600, false, true));
}

TEST_F(CanalesLoad, GroupsByGenreAndTheOnDemandChannel) {
  const std::string longGenre = std::string(1022, 'g') + "\xC3\xB1" + "tail";  // "ñ" across 1023
  WriteCanales(CanalesFile({{2, 1, "A", "Genero=\"Cine\" "},
                            {1, 2, "B", "Genero=\"Cine\" "},
                            {3, 3, "C", "Genero=\"\" "},
                            {4, 4, "D"},
                            {5, 5, "E", "Genero=\"" + longGenre + "\" "}}));
  Canales& list = Create();
  // The cut name is the one the host hands back, so it finds the members.
  const std::string cut(1022, 'g');
  std::vector<std::string> names;
  for (const auto& [name, group] : list.GetChannelGroups()) {
    EXPECT_EQ(group.strGroupName, name);
    EXPECT_FALSE(group.bIsRadio);
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Cine", "V.O.D", cut}));
  EXPECT_EQ(list.NumeroGrupos(), 3);
  EXPECT_EQ(list.NumeroCanales(), 6);
  using Member = std::tuple<std::string, unsigned, unsigned>;  // group, id, number
  const auto members = [&list](const std::string& group) {
    std::vector<Member> all;
    for (const auto& m : list.GetChannelGroupMembers(group))
      all.emplace_back(m.strGroupName, m.iChannelUniqueId, m.iChannelNumber);
    return all;
  };
  EXPECT_EQ(members("Cine"), (std::vector<Member>{{"Cine", 1, 2}, {"Cine", 2, 1}}));
  EXPECT_EQ(members(cut), (std::vector<Member>{{cut, 5, 5}}));
  EXPECT_EQ(members("V.O.D"), (std::vector<Member>{{"V.O.D", 10000, 10000}}));
  EXPECT_TRUE(members("Deportes").empty());

  const Canal vod = list.GetCanales().at(10000);
  EXPECT_EQ(Fields(vod), std::make_tuple(10000, "V.O.D", "127.0.0.1", 0, "", 10000, false, true));
  EXPECT_EQ(vod.logo, strClientPath + "/Logos/597.jpg");
}

TEST_F(CanalesLoad, BadInputIsLoggedAndSkipped) {
  // A line without "ip", and broken files of external channels and of a
  // renumbering that would remove channel 2.
  std::string text = CanalesFile({{2, 2, "B"}});
  text.insert(text.find("<Canal "),
              "<Canal NumeroCanal=\"1\" ID=\"1\" Nombre=\"Sin ip\" ServiceNameOriginal=\"1\" "
              "ServiceType=\"1\" puerto=\"1\" />\n");
  WriteCanales(text);
  WriteCanales("<Canales><Canal ID=\"5\"</Canales>", "canalesexternos.xml");
  WriteCanales("<ordenacion><orden ID=\"2\" Suprimir=\"1\">", "orden.xml");
  Canales& list = Create();
  for (const char* line :
       {"Canal incompleto", "canalesexternos.xml no valido", "orden.xml no valido"})
    EXPECT_TRUE(host.Logged(line)) << line;
  EXPECT_EQ(Ids(list.GetCanales()), (std::vector<int>{2, 10000}));

  // A bad channel file keeps the line-up but forgets the versions.
  for (const char* bad :
       {"<Canales>\n<Canal NumeroCanal=\"1\" ID=\"9\"", "<Otros><Canal/></Otros>", ""}) {
    WriteCanales(text);
    list.CargarFichero();
    ASSERT_EQ(list.GetRecorded().listVersion, 7);
    host.ClearLogs();
    WriteCanales(bad);
    list.CargarFichero();
    EXPECT_TRUE(host.Logged("Canales.xml no valido")) << bad;
    EXPECT_EQ(Ids(list.GetCanales()), (std::vector<int>{2, 10000})) << bad;
    const Canales::Recorded r = list.GetRecorded();
    EXPECT_EQ(std::tie(r.listVersion, r.orderVersion), std::make_tuple(-1, -1)) << bad;
  }
}

TEST_F(CanalesLoad, EliminarCanalesDeletesTheFilesAndForgetsTheVersions) {
  WriteCanales(CanalesFile({{1, 1, "A"}}));
  WriteCanales("<Canales/>", "CanalesCompleto.xml");
  Canales& list = Create();
  ASSERT_TRUE(list.Cargado());
  list.EliminarCanales();
  EXPECT_FALSE(std::ifstream(PathCompletoCanales).good());
  EXPECT_FALSE(std::ifstream(PathCompletoCanalesCompleto).good());
  EXPECT_FALSE(list.Cargado());
  const Canales::Recorded r = list.GetRecorded();
  EXPECT_EQ(std::tie(r.listVersion, r.orderVersion, r.searchType), std::make_tuple(-1, -1, -1));
}

}  // namespace
}  // namespace canales_test
