// Host threads read the line-up while a load replaces it: every read must
// see one whole line-up, never a mix of two.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "discovery/CanalesFixture.h"

namespace canales_test {
namespace {

using CanalesConcurrency = CanalesFixture;

struct Generation {
  std::string prefix;
  int firstId;
  int count;
};

const Generation kGenerations[] = {{"A-", 1, 30}, {"B-", 100, 10}};

std::string FileOf(const Generation& g) {
  std::vector<Line> lines;
  for (int i = 0; i < g.count; ++i) {
    lines.push_back(
        {i + 1, g.firstId + i, g.prefix + std::to_string(i), "Genero=\"" + g.prefix + "genre\" "});
  }
  return CanalesFile(lines);
}

// The generation a channel map belongs to; -1 when it mixes generations or
// does not match one whole.
int GenerationOf(const ChannelMap& channels) {
  int found = -1;
  int count = 0;
  for (const auto& [id, canal] : channels) {
    if (id == 10000) continue;
    const int g = canal.nombre.rfind("A-", 0) == 0 ? 0 : 1;
    if (found != -1 && g != found) return -1;
    found = g;
    ++count;
  }
  return found != -1 && count == kGenerations[found].count ? found : -1;
}

TEST_F(CanalesConcurrency, ReadersSeeWholeLineUpsWhileOneThreadReloads) {
  WriteCanales(FileOf(kGenerations[0]));
  Canales& list = Create();
  ASSERT_EQ(GenerationOf(list.GetCanales()), 0);

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reloader([&] {
    for (int i = 1; i <= 150; ++i) {
      WriteCanales(FileOf(kGenerations[i % 2]));
      list.CargarFichero();
    }
    done = true;
  });

  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&, r] {
      while (!done) {
        switch (r) {
          case 0:
            if (GenerationOf(list.GetCanales()) < 0) ++torn;
            break;
          case 1: {
            // One snapshot: channels, order, groups and members agree.
            const auto lineUp = list.Snapshot();
            const int g = GenerationOf(lineUp->channels);
            const std::string genre = g < 0 ? "" : kGenerations[g].prefix + "genre";
            if (g < 0 || lineUp->order.size() != lineUp->channels.size() ||
                lineUp->groups.size() != 2 ||
                static_cast<int>(lineUp->members.count(genre)) != kGenerations[g].count) {
              ++torn;
            }
            break;
          }
          default: {
            const size_t a = list.GetChannelGroupMembers("A-genre").size();
            const size_t b = list.GetChannelGroupMembers("B-genre").size();
            const int n = list.NumeroCanales();
            if ((a != 0 && a != 30) || (b != 0 && b != 10) || (n != 31 && n != 11) ||
                list.NumeroGrupos() != 2) {
              ++torn;
            }
          }
        }
        ++reads;
      }
    });
  }
  reloader.join();
  for (std::thread& t : readers) t.join();

  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 100);
  EXPECT_EQ(GenerationOf(list.GetCanales()), 0);  // 150 is even: the last load was A
}

}  // namespace
}  // namespace canales_test
