#pragma once

#include <chrono>
#include <string>

#include "Checks.h"
#include "DiscoveryChecks.h"
#include "HeadendProcess.h"
#include "ServerChecks.h"

namespace probe {

// Checks that the scenario switches do what they say; they go with the
// scenarios tests/scenarios/faults.json and tests/scenarios/http.json.
class FaultChecks {
 public:
  FaultChecks(Checks& checks, ServerChecks& server, DiscoveryChecks& discovery);

  // faults.json: profile and logo faults, CRC and header bytes, repeats,
  // shuffling, version bumps, broken and silent groups, a late start with a
  // damaged first copy, and the per-section CRC fault.
  void DamagedFirstCopy();
  void ProfileFaults();
  void SequentialBrokenGroup();
  void EntryPointWithCrc();
  void ShuffledRepeatedBumpedGroup();
  void PerSectionCrcGroup();
  void SilentGroups();

  // http.json: held and refused connections, malformed and empty bodies.
  void HttpFaults();
  // A held connection must not delay the shutdown.
  void StopWhileHeld(HeadendProcess* headend);

 private:
  Checks& c_;
  ServerChecks& server_;
  DiscoveryChecks& discovery_;
  std::chrono::steady_clock::time_point started_;  // about when the headend got ready
};

}  // namespace probe
