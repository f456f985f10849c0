#include "cli/Commands.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <thread>

#include "cli/GuideView.h"
#include "core/Host.h"
#include "core/Player.h"

namespace hostsim {

namespace {

const std::set<std::string> kNames = {"info",
                                      "channels",
                                      "groups",
                                      "epg",
                                      "timers",
                                      "recordings",
                                      "menu",
                                      "setting",
                                      "sleep",
                                      "announce",
                                      "stop",
                                      "status",
                                      "play",
                                      "grid",
                                      "rename-recording",
                                      "delete-recording",
                                      "playcount",
                                      "position",
                                      "play-recording",
                                      "probe-recording",
                                      "catchup",
                                      "add-timer",
                                      "delete-timer",
                                      "update-timer",
                                      "serve"};

bool parseSeconds(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && out >= 0 && out <= 24 * 3600;
}

std::string when(time_t t) {
  char buffer[32];
  struct tm tm;
  localtime_r(&t, &tm);
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &tm);
  return buffer;
}

std::string microseconds(double us) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", us / 1e6);
  return text;
}

// A time of the add-on's clock: 0 stays 0, others as local time of day.
std::string clock(time_t t) {
  if (t == 0) return "0";
  char text[16];
  struct tm tm;
  localtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%H:%M:%S", &tm);
  return text;
}

std::string yesNo(bool b) {
  return b ? "true" : "false";
}

bool isPlayOption(const std::string& word) {
  static const std::set<std::string> options = {"--seconds",  "--out",       "--gap-ms",
                                                "--pause-at", "--resume-at", "--switch-at",
                                                "--speed-at", "--seek-at"};
  return options.count(word) != 0;
}

// Arguments were checked by parseCommands.
double seconds(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace

bool isCommandName(const std::string& word) {
  return kNames.count(word) != 0;
}

std::string Command::text() const {
  std::string t = name;
  for (const auto& a : args) t += " " + a;
  return t;
}

CommandParse parseCommands(const std::vector<std::string>& words) {
  CommandParse p;
  for (size_t i = 0; i < words.size();) {
    Command c;
    c.name = words[i++];
    auto more = [&] { return i < words.size(); };
    auto fail = [&](const std::string& why) {
      p.error = c.name + ": " + why;
      return p;
    };
    if (!isCommandName(c.name)) {
      p.error = "unknown command \"" + c.name + "\"";
      return p;
    }
    if (c.name == "channels" || c.name == "recordings") {
      if (more() && words[i] == "--wait") {
        double s;
        if (i + 1 >= words.size() || !parseSeconds(words[i + 1], s))
          return fail("--wait needs a number of seconds");
        c.args = {words[i + 1]};
        i += 2;
      }
    } else if (c.name == "epg" || c.name == "grid") {
      while (more() && !isCommandName(words[i])) c.args.push_back(words[i++]);
      const std::string error = GuideView::check(c.name, c.args);
      if (!error.empty()) return fail(error);
    } else if (c.name == "menu") {
      if (!more()) return fail("needs a hook id");
      c.args.push_back(words[i++]);
      if (more() && !isCommandName(words[i])) c.args.push_back(words[i++]);
    } else if (c.name == "setting") {
      if (i + 1 >= words.size()) return fail("needs a name and a value");
      c.args = {words[i], words[i + 1]};
      i += 2;
    } else if (c.name == "sleep") {
      double s;
      if (!more() || !parseSeconds(words[i], s)) return fail("needs a number of seconds");
      c.args.push_back(words[i++]);
    } else if (c.name == "play" || c.name == "play-recording" || c.name == "catchup") {
      if (!more()) return fail(c.name == "play" ? "needs a channel number or id" : "needs an id");
      c.args.push_back(words[i++]);
      double s;
      if (more() && parseSeconds(words[i], s)) {  // the older form: play <channel> <seconds>
        c.args.push_back("--seconds");
        c.args.push_back(words[i++]);
      }
      while (more() && isPlayOption(words[i])) {
        if (i + 1 >= words.size()) return fail(words[i] + " needs a value");
        TimelineStep step;
        bool valid = words[i] == "--out" || (words[i] == "--seconds" || words[i] == "--gap-ms"
                                                 ? parseSeconds(words[i + 1], s)
                                                 : Player::parseStep(words[i], words[i + 1], step));
        if (!valid) return fail("bad value for " + words[i] + ": " + words[i + 1]);
        c.args.push_back(words[i]);
        c.args.push_back(words[i + 1]);
        i += 2;
      }
    } else if (c.name == "rename-recording" || c.name == "playcount") {
      if (i + 1 >= words.size()) return fail("needs a recording id and a value");
      c.args = {words[i], words[i + 1]};
      i += 2;
    } else if (c.name == "delete-recording" || c.name == "position" ||
               c.name == "probe-recording") {
      if (!more()) return fail("needs a recording id");
      c.args.push_back(words[i++]);
      double s;
      if (c.name == "position" && more() && parseSeconds(words[i], s)) c.args.push_back(words[i++]);
    } else if (c.name == "add-timer" || c.name == "update-timer" || c.name == "delete-timer") {
      // Options and their values are checked when the command runs.
      if (c.name != "add-timer") {
        if (!more()) return fail("needs a timer index");
        c.args.push_back(words[i++]);
      }
      while (more() && !isCommandName(words[i])) c.args.push_back(words[i++]);
      if (c.name == "add-timer" && c.args.empty()) return fail("needs --epg or --channel");
    } else if (c.name == "serve") {
      double s;
      if (more() && parseSeconds(words[i], s)) c.args.push_back(words[i++]);
    } else if (c.name == "announce") {
      if (!more()) return fail("needs a message");
      c.args.push_back(words[i++]);
    }
    p.commands.push_back(c);
  }
  p.ok = true;
  return p;
}

void CommandRunner::print(const std::string& line) {
  host_.journal().print(line);
}

bool CommandRunner::run(const Command& c) {
  print("== " + c.text());
  if (c.name == "info") return info();
  if (c.name == "channels") return channels(c.args.empty() ? 0 : seconds(c.args[0]));
  if (c.name == "groups") return groups();
  if (c.name == "epg") return GuideView(host_).epg(c.args);
  if (c.name == "grid") return GuideView(host_).grid(c.args);
  if (c.name == "timers") return timers();
  if (c.name == "recordings") return recordings(c.args.empty() ? 0 : seconds(c.args[0]));
  if (c.name == "rename-recording" || c.name == "delete-recording" || c.name == "playcount" ||
      c.name == "position")
    return recordingCall(c);
  if (c.name == "add-timer" || c.name == "delete-timer" || c.name == "update-timer")
    return timerCall(c);
  if (c.name == "probe-recording") return probeRecording(c.args[0]);
  if (c.name == "menu") return menu(c.args);
  if (c.name == "setting") return setting(c.args[0], c.args[1]);
  if (c.name == "sleep") {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds(c.args[0])));
    return true;
  }
  if (c.name == "announce") {
    host_.announce(c.args[0]);
    return host_.isRunning();
  }
  if (c.name == "stop") {
    host_.stop();
    return host_.isRunning();
  }
  if (c.name == "play" || c.name == "play-recording" || c.name == "catchup")
    return play(c.args, c.name);
  if (c.name == "serve") return serve(c.args.empty() ? 0 : seconds(c.args[0]));
  if (c.name == "status") {
    int s = host_.status();
    print("status: " + std::to_string(s) + " (" + statusName(s) + ")");
    return s >= 0;
  }
  return false;
}

namespace {
volatile std::sig_atomic_t g_signalled = 0;
void onSignal(int) {
  g_signalled = 1;
}
}  // namespace

bool CommandRunner::probeRecording(const std::string& id) {
  const StreamProbe p = host_.probeRecording(id);
  if (!p.ok) {
    print("probe-recording: " + p.error);
    return false;
  }
  char text[96];
  std::snprintf(text, sizeof text, "duration: %.2f s, packets: %lld", p.duration, p.packets);
  print(text);
  for (size_t i = 0; i < p.streams.size(); ++i)
    print("stream " + std::to_string(i) + ": " + p.streams[i]);
  print("time-stamp gaps: " + std::to_string(p.gaps.size()));
  for (const StreamGap& g : p.gaps) {
    std::snprintf(text, sizeof text, "  stream %d at %.2f s: %+.2f s", g.stream, g.at, g.seconds);
    print(text);
  }
  return true;
}

bool CommandRunner::serve(double limit) {
  // The add-on serves other devices (its web relay) until a signal or the
  // time, then the run goes on to destroy it as usual.
  struct sigaction action {};
  struct sigaction term {};
  struct sigaction interrupt {};
  action.sa_handler = onSignal;
  sigaction(SIGTERM, &action, &term);
  sigaction(SIGINT, &action, &interrupt);
  print("serving");
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
  while (!g_signalled && (limit <= 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // The later commands are interrupted as usual again.
  sigaction(SIGTERM, &term, nullptr);
  sigaction(SIGINT, &interrupt, nullptr);
  return host_.isRunning();
}

bool CommandRunner::info() {
  AddonInfo i = host_.info();
  if (!host_.isRunning()) return false;
  print("backend name: " + i.backendName);
  print("backend version: " + i.backendVersion);
  print("connection: " + i.connectionString);
  print("PVR API: " + i.pvrApiVersion + " (minimum " + i.pvrApiMinVersion + ")");
  print("GUI API: " + i.guiApiVersion + " (minimum " + i.guiApiMinVersion + ")");
  print(std::string("capabilities: ") + pvrErrorName(i.capabilitiesError));
  for (const auto& flag : capabilityFlags(i.capabilities))
    print(std::string("  ") + flag.first + ": " + yesNo(flag.second));
  print("menu hooks: " + std::to_string(i.menuHooks.size()));
  for (const auto& h : i.menuHooks)
    print("  hook " + std::to_string(h.hookId) + ": string " + std::to_string(h.stringId) + " \"" +
          host_.strings().get(static_cast<int>(h.stringId)) + "\", category " +
          std::to_string(h.category) + " (" + menuHookCategoryName(h.category) + ")");
  return true;
}

bool CommandRunner::channels(double waitSeconds) {
  if (waitSeconds > 0) {
    auto timeout = std::chrono::milliseconds(static_cast<long>(waitSeconds * 1000));
    if (!host_.waitForChannels(timeout)) {
      print("no channels after " + std::to_string(static_cast<long>(waitSeconds)) + " s");
      return false;
    }
  }
  Fetch f = host_.fetchChannels();
  if (f.error != PVR_ERROR_NO_ERROR) {
    print(std::string("GetChannels: ") + pvrErrorName(f.error));
    return false;
  }
  host_.fetchAllGroups();
  std::map<unsigned int, std::string> groupOf;
  for (const auto& kv : host_.pvr().members())
    for (const auto& m : kv.second) {
      std::string& g = groupOf[m.channelUniqueId];
      g += (g.empty() ? "" : ", ") + kv.first;
    }
  print("channels: " + std::to_string(f.data.channels.size()));
  for (const auto& c : f.data.channels)
    print("  channel " + std::to_string(c.number) + ": id " + std::to_string(c.uniqueId) + ", \"" +
          c.name + "\", logo " + (c.iconPath.empty() ? "-" : c.iconPath) + ", group " +
          (groupOf.count(c.uniqueId) ? groupOf[c.uniqueId] : "-"));
  return !f.data.channels.empty();
}

bool CommandRunner::groups() {
  Fetch f = host_.fetchChannelGroups();
  if (f.error != PVR_ERROR_NO_ERROR) {
    print(std::string("GetChannelGroups: ") + pvrErrorName(f.error));
    return false;
  }
  print("groups: " + std::to_string(f.data.groups.size()));
  bool ok = true;
  for (const auto& g : f.data.groups) {
    Fetch m = host_.fetchGroupMembers(g.name, g.isRadio);
    ok = ok && m.error == PVR_ERROR_NO_ERROR;
    print("  group \"" + g.name + "\": " + std::to_string(m.data.members.size()) + " members");
    for (const auto& member : m.data.members)
      print("    channel " + std::to_string(member.channelNumber) + ": id " +
            std::to_string(member.channelUniqueId));
  }
  return ok;
}

bool CommandRunner::timers() {
  Fetch f = host_.fetchTimers();
  print("timers: " + std::to_string(f.data.timers.size()) + " (" + pvrErrorName(f.error) + ")");
  for (const auto& t : f.data.timers)
    print("  timer " + std::to_string(t.clientIndex) + ": channel " +
          std::to_string(t.clientChannelUid) + ", " + when(t.startTime) + " - " + when(t.endTime) +
          ", state " + std::to_string(t.state) + ", \"" + t.title + "\"" +
          (t.isRepeating ? ", repeating" : "") + ", margins " + std::to_string(t.marginStart) +
          " " + std::to_string(t.marginEnd) + ", guide " + std::to_string(t.epgUid) +
          ", folder \"" + t.directory + "\"");
  return f.error == PVR_ERROR_NO_ERROR;
}

bool CommandRunner::recordings(double waitSeconds) {
  if (waitSeconds > 0 &&
      !host_.waitForRecordings(std::chrono::milliseconds(static_cast<long>(waitSeconds * 1000)))) {
    print("no recordings after " + std::to_string(static_cast<long>(waitSeconds)) + " s");
    return false;
  }
  Fetch f = host_.fetchRecordings();
  print("recordings: " + std::to_string(f.data.recordings.size()) + " (" + pvrErrorName(f.error) +
        ")");
  for (const auto& r : f.data.recordings)
    // A local recording is a file the host plays itself: it has a stream URL.
    print("  recording " + r.recordingId + " (" + (r.streamUrl.empty() ? "cloud" : "local") +
          "): \"" + r.title + "\", channel \"" + r.channelName + "\", " + when(r.recordingTime) +
          ", " + std::to_string(r.duration) + " s, folder \"" + r.directory + "\", url " +
          (r.streamUrl.empty() ? "-" : r.streamUrl) + ", icon " +
          (r.iconPath.empty() ? "-" : r.iconPath) + ", play count " + std::to_string(r.playCount) +
          "\n    plot: " + r.plot);
  return f.error == PVR_ERROR_NO_ERROR;
}

bool CommandRunner::recordingCall(const Command& c) {
  RecordingCall r;
  const std::string& id = c.args[0];
  if (c.name == "rename-recording") {
    r = host_.renameRecording(id, c.args[1]);
  } else if (c.name == "delete-recording") {
    r = host_.deleteRecording(id);
  } else if (c.name == "playcount") {
    r = host_.setRecordingPlayCount(id, std::atoi(c.args[1].c_str()));
  } else if (c.args.size() > 1) {
    r = host_.setRecordingLastPlayedPosition(id, static_cast<int>(seconds(c.args[1])));
  } else {
    r = host_.recordingLastPlayedPosition(id);
  }
  print(r.message);
  return r.found && r.error == PVR_ERROR_NO_ERROR;
}

bool CommandRunner::timerCall(const Command& c) {
  const std::vector<std::string>& a = c.args;
  const time_t now = time(nullptr);
  const auto number = [](const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
  };
  RecordingCall r;
  if (c.name == "delete-timer") {
    r = host_.deleteTimer(static_cast<unsigned int>(number(a[0])));
  } else if (c.name == "update-timer") {
    r = host_.updateTimer(static_cast<unsigned int>(number(a[0])), [&](TimerEntry& t) {
      for (size_t i = 1; i + 1 < a.size(); i += 2) {
        if (a[i] == "--end") t.endTime = now + number(a[i + 1]);
        if (a[i] == "--margin-end") t.marginEnd = static_cast<unsigned int>(number(a[i + 1]));
        if (a[i] == "--title") t.title = a[i + 1];
      }
    });
  } else {
    // As the host fills a new timer: from a guide entry, or by hand.
    TimerEntry t;
    t.state = 0;
    t.priority = 50;
    t.lifetime = 99;
    t.marginStart = 0;
    t.marginEnd = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const bool value = i + 1 < a.size();
      if (a[i] == "--epg" && i + 2 < a.size()) {
        t.clientChannelUid = static_cast<int>(channelUid(a[i + 1]));
        t.epgUid = static_cast<unsigned int>(number(a[i + 2]));
        host_.fetchEpg(static_cast<unsigned int>(t.clientChannelUid), now - Host::kEpgPast,
                       now + Host::kEpgFuture);
        for (const auto& e : host_.pvr().epg(static_cast<unsigned int>(t.clientChannelUid))) {
          if (e.broadcastId != t.epgUid) continue;
          t.title = e.title;
          t.startTime = e.startTime;
          t.endTime = e.endTime;
          t.summary = e.plot;
          t.genreType = e.genreType;
          t.genreSubType = e.genreSubType;
        }
        i += 2;
      } else if (a[i] == "--channel" && value) {
        t.clientChannelUid = static_cast<int>(channelUid(a[++i]));
      } else if (a[i] == "--start" && value) {
        t.startTime = now + number(a[++i]);
      } else if (a[i] == "--end" && value) {
        t.endTime = now + number(a[++i]);
      } else if (a[i] == "--title" && value) {
        t.title = a[++i];
      } else if (a[i] == "--margins" && i + 2 < a.size()) {
        t.marginStart = static_cast<unsigned int>(number(a[i + 1]));
        t.marginEnd = static_cast<unsigned int>(number(a[i + 2]));
        i += 2;
      } else {
        print("add-timer: unknown option " + a[i]);
        return false;
      }
    }
    r = host_.addTimer(t);
  }
  print(r.message);
  return r.found && r.error == PVR_ERROR_NO_ERROR;
}

bool CommandRunner::menu(const std::vector<std::string>& args) {
  char* end = nullptr;
  unsigned long id = std::strtoul(args[0].c_str(), &end, 10);
  if (*end != '\0') {
    print("menu: \"" + args[0] + "\" is not a hook id");
    return false;
  }
  MenuHookResult r =
      host_.callMenuHook(static_cast<unsigned int>(id), args.size() > 1 ? args[1] : "");
  print(r.message);
  return r.called && r.error == PVR_ERROR_NO_ERROR;
}

unsigned int CommandRunner::channelUid(const std::string& numberOrId) {
  auto value = static_cast<unsigned int>(std::strtoul(numberOrId.c_str(), nullptr, 10));
  if (host_.pvr().channels().empty()) host_.fetchChannels();
  std::vector<ChannelEntry> channels = host_.pvr().channels();
  for (const auto& c : channels)
    if (c.uniqueId == value) return value;
  for (const auto& c : channels)
    if (c.number == value) return c.uniqueId;
  return value;
}

bool CommandRunner::play(const std::vector<std::string>& args, const std::string& how) {
  PlayOptions o;
  for (size_t i = 1; i + 1 < args.size(); i += 2) {
    const std::string& option = args[i];
    const std::string& value = args[i + 1];
    if (option == "--seconds") {
      o.duration = std::chrono::milliseconds(static_cast<long>(seconds(value) * 1000));
    } else if (option == "--out") {
      o.outFile = value;
    } else if (option == "--gap-ms") {
      o.gapThreshold = std::chrono::milliseconds(static_cast<long>(seconds(value)));
    } else {
      TimelineStep step;
      Player::parseStep(option, value, step);
      if (step.kind == TimelineStep::Switch)
        step.channelUid = channelUid(value.substr(value.find(':') + 1));
      o.timeline.push_back(step);
    }
  }
  PlayResult r;
  if (how == "play") {
    r = Player(host_).play(channelUid(args[0]), o);
  } else {
    // The add-on switches the player to its on-demand channel by JSON-RPC.
    r = Player(host_).playBy(
        [&] {
          if (how == "play-recording") {
            print(host_.openRecordedStream(args[0]).message);
          } else {
            print(host_.callMenuHook(8, args[0]).message);
          }
        },
        o);
  }
  print(r.message);
  if (!r.opened) return false;
  print(std::string("stream properties: ") + pvrErrorName(r.propertiesError) + ", " +
        std::to_string(r.properties.iStreamCount) + " streams");
  for (const auto& kv : r.streams) {
    const StreamReport& s = kv.second;
    std::string line = "  stream " + std::to_string(s.id) + ": type " +
                       std::to_string(s.codecType) + ", codec " + std::to_string(s.codecId) + " (" +
                       s.codec + ")";
    if (s.codecType == XBMC_CODEC_TYPE_VIDEO)
      line += ", " + std::to_string(s.width) + "x" + std::to_string(s.height);
    if (s.codecType == XBMC_CODEC_TYPE_AUDIO)
      line +=
          ", " + std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channels";
    if (!s.language.empty()) line += ", language " + s.language;
    line += ", " + std::to_string(s.packets) + " packets";
    if (!std::isnan(s.firstPts))
      line += ", pts " + microseconds(s.firstPts) + " to " + microseconds(s.lastPts);
    print(line);
  }
  if (!std::isnan(r.minPts))
    print("time stamps: " + microseconds(r.minPts) + " to " + microseconds(r.maxPts));
  print("gaps over " + std::to_string(o.gapThreshold.count()) +
        " ms: " + std::to_string(r.gaps.size()));
  for (const auto& g : r.gaps)
    print("  stream " + std::to_string(g.streamId) + ": " + microseconds(g.fromUs) + " -> " +
          microseconds(g.toUs));
  for (const auto& e : r.events) print("event " + e);
  print("stream changes: " + std::to_string(r.streamChanges) + ", empty reads: " +
        std::to_string(r.emptyReads) + ", empty packets: " + std::to_string(r.emptyPackets));
  print("playing time " + clock(r.times.playing) + ", buffer start " + clock(r.times.bufferStart) +
        ", buffer end " + clock(r.times.bufferEnd));
  if (!r.outFile.empty())
    print("written to " + r.outFile + ": " + std::to_string(r.written) + " packets, " +
          std::to_string(r.notWritten) + " left out" +
          (r.writeError.empty() ? "" : ", " + r.writeError));
  return r.packets > 0;
}

bool CommandRunner::setting(const std::string& name, const std::string& value) {
  SettingsResult r = host_.setSetting(name, value);
  print(r ? "setting " + name + " = " + value : r.error);
  return r.ok;
}

}  // namespace hostsim
