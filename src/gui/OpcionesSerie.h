// The recording options of a series rule that the options dialog edits.
#pragma once

#include <vector>

struct OpcionesSerie {
  int TipodeCanal = 0;  // 0 any channel, 1 HD only, 2 SD only
  bool Cloud = false;
  std::vector<int> Temporadas;  // empty: every season
};
