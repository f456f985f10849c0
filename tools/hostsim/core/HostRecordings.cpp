// The host's calls about one recording of its latest list.
#include <cstdio>
#include <thread>

#include "core/Host.h"

namespace hostsim {

bool Host::waitForRecordings(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (!fetchRecordings().data.recordings.empty()) return true;
    if (!isRunning() || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

RecordingCall Host::withRecording(const std::string& id, const char* what,
                                  const std::function<PVR_ERROR(PVR_RECORDING&)>& call) {
  RecordingCall r;
  if (!running(what)) {
    r.message = std::string(what) + ": the add-on is not running";
    return r;
  }
  for (const auto& entry : pvr_.recordings()) {
    if (entry.recordingId != id) continue;
    r.found = true;
    PVR_RECORDING recording = toHost(entry);
    journal_.host(std::string(what) + " " + id);
    r.error = call(recording);
    r.message = std::string(what) + " " + id + ": " + pvrErrorName(r.error);
    return r;
  }
  r.message = std::string(what) + ": recording " + id + " is not in the host's list";
  return r;
}

RecordingCall Host::renameRecording(const std::string& id, const std::string& title) {
  return withRecording(id, "RenameRecording", [&](PVR_RECORDING& recording) {
    std::snprintf(recording.strTitle, sizeof recording.strTitle, "%s", title.c_str());
    return client().RenameRecording ? client().RenameRecording(recording)
                                    : PVR_ERROR_NOT_IMPLEMENTED;
  });
}

RecordingCall Host::deleteRecording(const std::string& id) {
  return withRecording(id, "DeleteRecording", [&](PVR_RECORDING& recording) {
    return client().DeleteRecording ? client().DeleteRecording(recording)
                                    : PVR_ERROR_NOT_IMPLEMENTED;
  });
}

RecordingCall Host::setRecordingPlayCount(const std::string& id, int count) {
  return withRecording(id, "SetRecordingPlayCount", [&](PVR_RECORDING& recording) {
    return client().SetRecordingPlayCount ? client().SetRecordingPlayCount(recording, count)
                                          : PVR_ERROR_NOT_IMPLEMENTED;
  });
}

RecordingCall Host::setRecordingLastPlayedPosition(const std::string& id, int seconds) {
  return withRecording(id, "SetRecordingLastPlayedPosition", [&](PVR_RECORDING& recording) {
    return client().SetRecordingLastPlayedPosition
               ? client().SetRecordingLastPlayedPosition(recording, seconds)
               : PVR_ERROR_NOT_IMPLEMENTED;
  });
}

RecordingCall Host::recordingLastPlayedPosition(const std::string& id) {
  int value = -1;
  RecordingCall r =
      withRecording(id, "GetRecordingLastPlayedPosition", [&](PVR_RECORDING& recording) {
        if (!client().GetRecordingLastPlayedPosition) return PVR_ERROR_NOT_IMPLEMENTED;
        value = client().GetRecordingLastPlayedPosition(recording);
        return PVR_ERROR_NO_ERROR;
      });
  r.value = value;
  if (r.found) r.message += ", " + std::to_string(value) + " s";
  return r;
}

StreamProbe Host::probeRecording(const std::string& id) {
  if (pvr_.recordings().empty()) fetchRecordings();
  for (const auto& entry : pvr_.recordings()) {
    if (entry.recordingId != id) continue;
    if (entry.streamUrl.empty()) {
      StreamProbe none;
      none.error = "recording " + id + " has no stream URL (played through the add-on)";
      return none;
    }
    journal_.host("probe " + entry.streamUrl);
    return probeStream(entry.streamUrl);
  }
  StreamProbe none;
  none.error = "recording " + id + " is not in the host's list";
  return none;
}

RecordingCall Host::openRecordedStream(const std::string& id) {
  if (pvr_.recordings().empty()) fetchRecordings();
  int answer = 0;
  RecordingCall r = withRecording(id, "OpenRecordedStream", [&](PVR_RECORDING& recording) {
    if (!client().OpenRecordedStream) return PVR_ERROR_NOT_IMPLEMENTED;
    answer = client().OpenRecordedStream(recording) ? 1 : 0;
    return PVR_ERROR_NO_ERROR;
  });
  r.value = answer;
  if (r.found) r.message += answer != 0 ? ", true" : ", false";
  return r;
}

}  // namespace hostsim
