// What a window showed, taken when it closed: the record tests inspect and
// hostsim prints.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gui/ListItem.h"

namespace hostsim {

enum class CloseReason {
  NotClosed,
  ByAddon,    // the add-on called Close(); closingStep tells after what
  ByHost,     // the add-on left it open after the host's back action
  Destroyed,  // the add-on destroyed it while it was open
};

const char* closeReasonName(CloseReason reason);

struct SpinRecord {
  std::vector<std::pair<std::string, int>> entries;  // label, value
  int value = 0;
  bool visible = true;
  std::string text;
  std::string labelOfValue() const;  // the label shown for the current value
};

struct RadioRecord {
  bool selected = false;
  bool visible = true;
  std::string text;
};

struct WindowRecord {
  std::string file;
  bool modal = false;
  bool scripted = false;
  std::map<int, std::string> labels;  // every control's label at close
  std::map<int, SpinRecord> spins;
  std::map<int, RadioRecord> radios;
  std::map<int, float> progress;
  std::vector<ListItemRecord> items;
  std::map<std::string, std::string> properties;
  int focusId = 0;
  int listPosition = -1;
  CloseReason closedBy = CloseReason::NotClosed;
  std::string closingStep;         // "click 11", "action 92 (host back)", "init"...
  std::vector<std::string> steps;  // what the host did, in order
  std::vector<std::string> problems;

  std::string label(int id) const;            // empty when none
  std::vector<std::string> describe() const;  // the lines hostsim prints
  // Mid-run: labels, every part of every list item, the list position.
  std::vector<std::string> describeNow() const;
};

}  // namespace hostsim
