// The line-up from the channel records: order keys, renumbering and removals,
// hidden replaced channels, external channels, groups and the on-demand
// channel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/LineUpBuilder.h"

namespace {

Canal Ch(int id, int numero, int sustituto = 0, const std::string& genero = "") {
  return Canal{.id = id,
               .numero = numero,
               .nombre = "C" + std::to_string(id),
               .idSustituto = sustituto == 0 ? id : sustituto,
               .genero = genero,
               .operador = true};
}

Canal Vod() {
  return Canal{.id = 10000, .numero = 10000, .nombre = "V.O.D", .idSustituto = 10000};
}

std::vector<int> Ids(const ChannelMap& channels) {
  std::vector<int> ids;
  for (const auto& entry : channels) ids.push_back(entry.first);
  return ids;
}

std::vector<std::pair<int, int>> Members(const LineUp& lineUp, const std::string& group) {
  std::vector<std::pair<int, int>> members;  // id, number
  const auto range = lineUp.members.equal_range(group);
  for (auto it = range.first; it != range.second; ++it) {
    EXPECT_EQ(it->second.grupo, group);
    members.emplace_back(it->second.id, it->second.numero);
  }
  return members;
}

TEST(LineUpBuilderTest, EqualNumbersTakeConsecutiveKeysInIdOrder) {
  LineUpInputs inputs{.vod = Vod()};
  OrderMap keys = {{61, 12}, {10000, 10000}};
  for (int id = 11; id >= 1; --id) {  // the file order is not the id order
    inputs.canales.push_back(Ch(id, 5));
    keys[49 + id] = id;
  }
  inputs.canales.push_back(Ch(12, 6));
  EXPECT_EQ(BuildLineUp(inputs).order, keys);
}

TEST(LineUpBuilderTest, ReplacedChannelsAreHiddenWhateverTheirOrder) {
  const struct {
    const char* name;
    std::vector<std::pair<int, int>> names;  // channel id, the id it names as its replacement
    std::vector<int> shown;
  } cases[] = {
      {.name = "A names B", .names = {{1, 2}, {2, 2}}, .shown = {1}},
      {.name = "own ids", .names = {{1, 1}, {2, 2}}, .shown = {1, 2}},
      {.name = "unknown replacement", .names = {{1, 9}}, .shown = {1}},
      {.name = "chain", .names = {{1, 2}, {2, 3}, {3, 3}}, .shown = {1}},
      {.name = "chain the other way", .names = {{3, 2}, {2, 1}, {1, 1}}, .shown = {3}},
      // Channels naming each other round a loop: the lowest id stays.
      {.name = "pair", .names = {{1, 2}, {2, 1}}, .shown = {1}},
      {.name = "pair, higher first", .names = {{5, 3}, {3, 5}}, .shown = {3}},
      {.name = "loop of three", .names = {{6, 4}, {4, 5}, {5, 6}}, .shown = {4}},
      {.name = "loop with a tail", .names = {{1, 2}, {2, 3}, {3, 2}}, .shown = {1, 2}},
      {.name = "two loops", .names = {{7, 8}, {8, 7}, {2, 1}, {1, 2}}, .shown = {1, 7}},
  };
  for (const auto& c : cases) {
    ChannelMap channels;
    for (const auto& [id, named] : c.names) channels.emplace(id, Ch(id, id, named));
    HideReplaced(channels);
    EXPECT_EQ(Ids(channels), c.shown) << c.name;
  }
}

TEST(LineUpBuilderTest, HiddenChannelsStayInTheFullMapAndTheOrderAndExternalsReplaceNothing) {
  Canal intruso = Ch(1, 33);
  intruso.nombre = "Intruso";
  for (const bool hide : {true, false}) {
    const LineUp lineUp = BuildLineUp(LineUpInputs{.canales = {Ch(1, 1, 2), Ch(2, 2)},
                                                   .externos = {intruso, Ch(500, 30)},
                                                   .ocultarSustituidos = hide,
                                                   .vod = Vod()});
    const std::vector<int> shown =
        hide ? std::vector<int>{1, 500, 10000} : std::vector<int>{1, 2, 500, 10000};
    EXPECT_EQ(Ids(lineUp.channels), shown);
    EXPECT_EQ(Ids(lineUp.fullChannels), (std::vector<int>{1, 2, 500}));
    EXPECT_EQ(lineUp.order, (OrderMap{{10, 1}, {20, 2}, {300, 500}, {10000, 10000}}));
    EXPECT_EQ(lineUp.channels.at(1).nombre + lineUp.fullChannels.at(1).nombre, "C1C1");
  }
}

TEST(LineUpBuilderTest, OrdersRemoveOrRenumberInBothMaps) {
  LineUpInputs inputs{.canales = {Ch(1, 1), Ch(2, 2), Ch(3, 3), Ch(4, 4)},
                      .ordenes = {{.id = 1, .suprimir = true, .renumerar = true, .numero = 40},
                                  {.id = 2, .renumerar = true, .numero = 20},
                                  {.id = 3, .renumerar = true, .numero = 0},
                                  {.id = 99, .suprimir = true},
                                  {.id = 4, .renumerar = true, .numero = 44}},
                      .vod = Vod()};
  const LineUp lineUp = BuildLineUp(inputs);
  EXPECT_EQ(Ids(lineUp.channels), (std::vector<int>{2, 3, 4, 10000}));
  EXPECT_EQ(Ids(lineUp.fullChannels), (std::vector<int>{2, 3, 4}));
  for (const auto& [id, numero] : std::vector<std::pair<int, int>>{{2, 20}, {3, 9999}, {4, 44}}) {
    EXPECT_EQ(lineUp.channels.at(id).numero, numero) << id;
    EXPECT_EQ(lineUp.fullChannels.at(id).numero, numero) << id;
  }
  EXPECT_EQ(lineUp.order.at(200), 2);
}

TEST(LineUpBuilderTest, GroupsByGenreCutToTheHostFieldAndTheOnDemandGroup) {
  const std::string longGenre = std::string(1022, 'g') + "\xC3\xB1" + "tail";  // "ñ" across 1023
  const std::string cut(1022, 'g');
  const LineUp lineUp = BuildLineUp(LineUpInputs{
      .canales = {Ch(1, 2, 0, "Cine"), Ch(2, 1, 0, "Cine"), Ch(3, 3), Ch(5, 5, 0, longGenre)},
      .vod = Vod()});
  std::vector<std::string> names;
  for (const auto& [name, group] : lineUp.groups) {
    EXPECT_EQ(group.nombre, name);
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Cine", "V.O.D", cut}));
  EXPECT_EQ(Members(lineUp, "Cine"), (std::vector<std::pair<int, int>>{{1, 2}, {2, 1}}));
  EXPECT_EQ(Members(lineUp, cut), (std::vector<std::pair<int, int>>{{5, 5}}));
  EXPECT_EQ(Members(lineUp, "V.O.D"), (std::vector<std::pair<int, int>>{{10000, 10000}}));
}

TEST(LineUpBuilderTest, TheOnDemandChannelKeepsItsPlaceWhenAChannelNumbered1000HoldsItsKey) {
  const LineUp lineUp =
      BuildLineUp(LineUpInputs{.canales = {Ch(7, 1000), Ch(8, 1000)}, .vod = Vod()});
  EXPECT_EQ(lineUp.order, (OrderMap{{10000, 7}, {10001, 8}, {10002, 10000}}));
  EXPECT_EQ(Members(lineUp, "V.O.D"), (std::vector<std::pair<int, int>>{{10000, 10000}}));
  EXPECT_EQ(lineUp.channels.at(10000).nombre + std::to_string(lineUp.fullChannels.count(10000)),
            "V.O.D0");
}

}  // namespace
