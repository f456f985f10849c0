// The host's timer calls: a new timer, and deletion or change of a listed one.
#include <cstdio>

#include "core/Host.h"

namespace hostsim {

namespace {
PVR_TIMER toHost(const TimerEntry& e) {
  PVR_TIMER t{};
  t.iClientIndex = e.clientIndex;
  t.iClientChannelUid = e.clientChannelUid;
  t.startTime = e.startTime;
  t.endTime = e.endTime;
  t.state = static_cast<PVR_TIMER_STATE>(e.state);
  std::snprintf(t.strTitle, sizeof t.strTitle, "%s", e.title.c_str());
  std::snprintf(t.strDirectory, sizeof t.strDirectory, "%s", e.directory.c_str());
  std::snprintf(t.strSummary, sizeof t.strSummary, "%s", e.summary.c_str());
  t.iPriority = e.priority;
  t.iLifetime = e.lifetime;
  t.bIsRepeating = e.isRepeating;
  t.firstDay = e.firstDay;
  t.iWeekdays = e.weekdays;
  t.iEpgUid = e.epgUid;
  t.iMarginStart = e.marginStart;
  t.iMarginEnd = e.marginEnd;
  t.iGenreType = e.genreType;
  t.iGenreSubType = e.genreSubType;
  return t;
}
}  // namespace

RecordingCall Host::addTimer(const TimerEntry& timer) {
  RecordingCall r;
  if (!running("AddTimer")) {
    r.message = "AddTimer: the add-on is not running";
    return r;
  }
  r.found = true;
  const PVR_TIMER t = toHost(timer);
  journal_.host("AddTimer \"" + timer.title + "\"");
  r.error = client().AddTimer ? client().AddTimer(t) : PVR_ERROR_NOT_IMPLEMENTED;
  r.message = std::string("AddTimer: ") + pvrErrorName(r.error);
  return r;
}

RecordingCall Host::deleteTimer(unsigned int index) {
  return updateTimer(index, nullptr);
}

RecordingCall Host::updateTimer(unsigned int index,
                                const std::function<void(TimerEntry&)>& change) {
  const char* what = change ? "UpdateTimer" : "DeleteTimer";
  RecordingCall r;
  if (!running(what)) {
    r.message = std::string(what) + ": the add-on is not running";
    return r;
  }
  for (TimerEntry entry : pvr_.timers()) {
    if (entry.clientIndex != index) continue;
    r.found = true;
    journal_.host(std::string(what) + " " + std::to_string(index));
    if (change) {
      change(entry);
      const PVR_TIMER t = toHost(entry);
      r.error = client().UpdateTimer ? client().UpdateTimer(t) : PVR_ERROR_NOT_IMPLEMENTED;
    } else {
      const PVR_TIMER t = toHost(entry);
      r.error = client().DeleteTimer ? client().DeleteTimer(t, false) : PVR_ERROR_NOT_IMPLEMENTED;
    }
    r.message = std::string(what) + " " + std::to_string(index) + ": " + pvrErrorName(r.error);
    return r;
  }
  r.message = std::string(what) + ": timer " + std::to_string(index) + " is not in the host's list";
  return r;
}

}  // namespace hostsim
