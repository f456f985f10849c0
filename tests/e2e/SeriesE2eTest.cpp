// Series rules through a real host and operator: a rule scheduled from the
// series list books cloud episodes at the headend, and pausing it from the
// list cancels the pending ones, and a stop closes the series question a
// new timer opened; the list's air times and logos; the history of recorded
// episodes kept over a restart and deleted with its recordings.
// The headend places its fixed series in UTC and the add-on runs in UTC.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "E2eFixture.h"
#include "gui/GuiScript.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The first series of the generated week in title order.
const char kSerie[] = "Amar en tiempos revueltos";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The add-on's hour and date of a moment.
std::string Hour(time_t t, const char* format = "%H:%M") {
  char text[64];
  struct tm parts;
  strftime(text, sizeof text, format, localtime_r(&t, &parts));
  return text;
}
std::string Date(time_t t) {
  return Hour(t, "%a, %d de %b de %Y");
}

const hostsim::ListItemRecord* Item(const hostsim::WindowRecord& w, const std::string& label) {
  for (const auto& item : w.items)
    if (item.label == label) return &item;
  return nullptr;
}

std::string Property(const hostsim::ListItemRecord* item, const std::string& key) {
  if (item == nullptr) return "(no item)";
  auto it = item->properties.find(key);
  return it == item->properties.end() ? "(none)" : it->second;
}

class SeriesE2eTest : public E2eTest {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    E2eTest::SetUp();
  }
  hostsim::Host& Start(const std::string& patch = R"({"guide":{"days":3}})") {
    StartHeadend(Scenario(patch));
    return Restart();
  }
  hostsim::Host& Restart() {
    hostsim::Host& host =
        LoadWithSettings("<setting id=\"TipoGrabacionPorDefecto\" value=\"1\" />");
    host.fetchRecordings();  // the library's first listing
    return host;
  }
  void Menu(hostsim::Host& host, const std::string& script) {
    hostsim::GuiScript parsed;
    ASSERT_TRUE(parsed.parse(script).ok);
    host.gui().loadScript(parsed);
    host.callMenuHook(1, "");
  }
  template <typename Pred>
  static bool WaitFor(Pred pred, std::chrono::seconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!pred()) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(250ms);
    }
    return true;
  }
  size_t LogCount(const std::string& a, const std::string& b) {
    size_t n = 0;
    std::istringstream log(HeadendLog());
    for (std::string line; std::getline(log, line);)
      n += line.find(a) != std::string::npos && line.find(b) != std::string::npos;
    return n;
  }
  std::vector<std::string> SeriesTimers(hostsim::Host& host) {
    std::vector<std::string> out;
    for (const auto& t : host.fetchTimers().data.timers)
      if (t.title.rfind(kSerie, 0) == 0 || t.title.rfind("Serie: ", 0) == 0)
        out.push_back(std::to_string(t.clientIndex) + " " + t.title);
    return out;
  }
};

TEST_F(SeriesE2eTest, ScheduledFromTheListBooksCloudEpisodesAndPausingCancelsThem) {
  hostsim::Host& host = Start();
  const std::string rule = std::string("Series/Grabaciones/") + kSerie + ".xml";
  ASSERT_TRUE(WaitForUserFile(std::string("Series/Logos/") + kSerie + ".jpg", 20s));
  Menu(host,
       "in listadeseries.xml wait 300ms then select item 0 then action 117\n"
       "in DialogContextSerieNP.xml click 1000\n"
       "in DialogOpcionesGrabacion.xml set radio 7 on then click 11\n"
       "every DialogSI.xml send action 10\n");
  ASSERT_TRUE(host.gui().waitForClosed("listadeseries.xml", 1, 10s));
  const std::string stored = ReadUserFile(rule);
  EXPECT_NE(stored.find(std::string("<IdStrSerie Value=\"") + kSerie + "\" />\n"),
            std::string::npos);
  EXPECT_NE(stored.find("<Cloud Value=\"1\" />\n<ProgramarGrabaciones Value=\"1\" />\n"),
            std::string::npos);
  EXPECT_EQ(std::system(("xmllint --noout '" + userDir_ + "/" + rule + "'").c_str()), 0);

  // The pass runs once the guide is complete: at most ntemporizadores (5).
  ASSERT_TRUE(WaitFor([this] { return Count(HeadendLog(), "action=setRecording") > 0; }, 25s));
  EXPECT_LE(Count(HeadendLog(), "action=setRecording"), 5u);
  const auto booked = SeriesTimers(host);
  EXPECT_NE(std::find(booked.begin(), booked.end(), std::string("90000 Serie: ") + kSerie),
            booked.end());

  Menu(host,
       "in listadeseries.xml wait 300ms then select item 0 then action 117\n"
       "in DialogContextSerieP.xml click 1003\n");
  ASSERT_TRUE(host.gui().waitForClosed("listadeseries.xml", 2, 10s));
  const auto shown = host.gui().closedWindows("listadeseries.xml");
  ASSERT_EQ(shown.size(), 2u);
  ASSERT_FALSE(shown.back().items.empty());
  EXPECT_EQ(shown.back().items[0].label, kSerie);
  EXPECT_EQ(shown.back().items[0].properties.at("Programado"), "false");
  EXPECT_NE(ReadUserFile(rule).find("<ProgramarGrabaciones Value=\"0\" />"), std::string::npos);
  for (const std::string& t : SeriesTimers(host))
    EXPECT_EQ(t.find("Serie: "), std::string::npos) << "no placeholder once paused: " << t;

  // A timer on an episode of the paused series asks to schedule the series;
  // a stop while the question is open closes it and ends in time.
  hostsim::TimerEntry episodio;
  const time_t now = time(nullptr);
  for (const auto& c : host.fetchChannels().data.channels) {
    for (const auto& e : host.fetchEpg(c.uniqueId, now + 3600, now + 86400).data.epg) {
      if (episodio.epgUid != 0 || e.title.rfind(kSerie, 0) != 0 || e.startTime < now + 3600)
        continue;
      episodio.clientChannelUid = static_cast<int>(c.uniqueId);
      episodio.epgUid = e.broadcastId;
      episodio.startTime = e.startTime;
      episodio.endTime = e.endTime;
      episodio.title = e.title;
    }
  }
  ASSERT_NE(episodio.epgUid, 0u);
  std::atomic<bool> abierta{false};
  host.gui().onNextWindow("DialogSiNo.xml", [&abierta](hostsim::Window& w) {
    abierta = true;
    w.wait(30s);
  });
  ASSERT_EQ(host.addTimer(episodio).error, PVR_ERROR_NO_ERROR);
  ASSERT_TRUE(WaitFor([&abierta] { return abierta.load(); }, 10s));
  const auto before = Clock::now();
  host.unload();
  EXPECT_LT(Clock::now() - before, 3s);
  const auto preguntas = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_FALSE(preguntas.empty());
  EXPECT_EQ(preguntas.back().closedBy, hostsim::CloseReason::ByAddon);
}

// The placed series: "Ultima llamada" aired once, yesterday 21:30; "Vidas
// cruzadas" airs every hour; "Perez & Hijos: Ano Uno" daily 17:00-17:45;
// every image of "Naufragos" is missing (404).
TEST_F(SeriesE2eTest, TheListShowsAirTimesAndLogosPausingSparesTheRecordingAndAnOpenListQuits) {
  hostsim::Host& host = Start();
  const std::string missing = "/programmeImages/landscape/big/90008/";
  // Every day of the placed series' channels in the guide (the last day
  // comes last).
  const time_t today = time(nullptr) / 86400 * 86400;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (unsigned int channel : {1005, 1006, 1009, 1010, 1011, 1012, 1043, 2001})
          if (host.fetchEpg(channel, today + 86400, today + 2 * 86400).data.epg.empty())
            return false;
        return !host.fetchEpg(1011, today - 86400, today).data.epg.empty();
      },
      30s));
  // A channel parsed again loses its broadcasts until its files are read:
  // the list waits until no guide update came for a second.
  size_t updates = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        const size_t seen =
            host.journal().countContaining(hostsim::EntryKind::Host, "PVR_trigger: epg");
        std::this_thread::sleep_for(1s);
        return std::exchange(updates, seen) == seen;
      },
      20s));
  ASSERT_TRUE(WaitFor([&] { return LogCount(missing, "-> 404") >= 3; }, 10s));
  // Shown, then "Vidas cruzadas" scheduled in the cloud: the episode on air
  // now is booked and recording.
  Menu(host,
       "in listadeseries.xml wait 300ms then snapshot then select label Vidas cruzadas\n"
       "  then action 117\n"
       "in DialogContextSerieNP.xml click 1000\n"
       "in DialogOpcionesGrabacion.xml set radio 7 on then click 11\n"
       "every DialogSI.xml send action 10\n");
  ASSERT_TRUE(WaitFor([&] { return !host.gui().snapshots("listadeseries.xml").empty(); }, 5s));
  const time_t now = time(nullptr);
  const hostsim::WindowRecord list = host.gui().snapshots("listadeseries.xml").front();

  // Rule keys in ascending order: accented vowels, ":" and "&" gone from file names.
  const std::vector<std::string> placed = {
      "Doctora Vega",           "El Pueblo",      "Faro del Norte", "Náufragos",
      "Pérez & Hijos: Año Uno", "Última llamada", "Vidas cruzadas"};
  std::vector<std::string> order;
  for (const auto& item : list.items)
    if (std::count(placed.begin(), placed.end(), item.label) > 0) order.push_back(item.label);
  EXPECT_EQ(order, placed);

  // The add-on shows guide times moved by the profile's gmtOffset (1 h).
  const time_t midnight = now / 86400 * 86400, offset = 3600;
  const time_t hour = now / 3600 * 3600;
  const time_t perez =
      midnight + 17 * 3600 + offset + (now > midnight + 17 * 3600 + offset + 45 * 60 ? 86400 : 0);
  const struct {
    const char* title;
    std::string line;
  } lines[] = {
      {"Última llamada", "Última vez emitido a las 22:30\r\ndel " + Date(midnight - 9000 + offset)},
      {"Vidas cruzadas", "Emitiendo desde las " + Hour(hour) + "\r\ndel " + Date(hour)},
      {"Pérez & Hijos: Año Uno",
       std::string(now >= perez ? "Emitiendo desde las " : "Próxima emisión a las ") + Hour(perez) +
           "\r\ndel " + Date(perez)},
  };
  for (const auto& c : lines) EXPECT_EQ(Property(Item(list, c.title), "Titulo"), c.line) << c.title;

  for (const auto& [title, key] : {std::pair{"Doctora Vega", "Doctora Vega"},
                                   {"Pérez & Hijos: Año Uno", "Perez   Hijos  Año Uno"}}) {
    const std::string logo = userDir_ + "/Series/Logos/" + key + ".jpg";
    EXPECT_TRUE(fs::exists(logo)) << logo;
    EXPECT_EQ(Item(list, title) ? Item(list, title)->icon : "", logo);
  }
  // Three tries of the image, then the programme's own icon.
  EXPECT_EQ(LogCount(missing, "-> 404"), 3u);
  const hostsim::ListItemRecord* naufragos = Item(list, "Náufragos");
  ASSERT_NE(naufragos, nullptr);
  EXPECT_FALSE(naufragos->icon.empty());
  EXPECT_EQ(naufragos->icon.find("Series/Logos"), std::string::npos) << naufragos->icon;
  EXPECT_FALSE(fs::exists(userDir_ + "/Series/Logos/Naufragos.jpg"));

  // Pausing cancels the pending episodes, never the one recording.
  unsigned int recording = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (const auto& t : host.fetchTimers().data.timers)
          if (t.state == 2 && t.title.rfind("Vidas cruzadas", 0) == 0) recording = t.epgUid;
        return recording != 0;
      },
      20s));
  Menu(host,
       "in listadeseries.xml wait 300ms then select label Vidas cruzadas then action 117\n"
       "  then wait 5s\n"
       "in DialogContextSerieP.xml click 1003\n"
       "every DialogSI.xml send action 10\n");
  ASSERT_TRUE(WaitFor([&] { return LogCount("action=cancelRecording", "resultCode 0") > 0; }, 5s));
  EXPECT_EQ(LogCount("action=cancelRecording&extInfoID=" + std::to_string(recording), ""), 0u);
  bool kept = false;
  for (const auto& t : host.fetchTimers().data.timers) kept = kept || t.epgUid == recording;
  EXPECT_TRUE(kept);

  // The list is still open (its script waits): the host quits now.
  host.setWindowDrain(200ms);
  const auto before = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - before, 3500ms);
}

// "Doctora Vega" aired seasons 1, 2 and 3 yesterday at 08:00, 13:00 and
// 19:00 (50 min, channel 1043); the cloud holds those three episodes.
TEST_F(SeriesE2eTest, RecordedEpisodesAreTrackedKeptOverARestartAndDeletedWithTheirRecordings) {
  hostsim::Host& first = Start(
      R"({"guide":{"days":3},"cloud":{"guideSeries":["Doctora Vega","Pérez & Hijos: Año Uno"]}})");
  const std::string tracking = "Series/Tracking/Doctora Vega.xml";
  ASSERT_TRUE(WaitForUserFile("Series/Logos/Doctora Vega.jpg", 20s));
  Menu(first,
       "in listadeseries.xml wait 300ms then select label Doctora Vega then action 117\n"
       "in DialogContextSerieNP.xml click 1000\n"
       "in DialogOpcionesGrabacion.xml set radio 7 on then click 11\n"
       "every DialogSI.xml send action 10\n");
  ASSERT_TRUE(first.gui().waitForClosed("listadeseries.xml", 1, 10s));
  ASSERT_TRUE(WaitFor([&] { return Count(ReadUserFile(tracking), "<Track>") == 3; }, 10s))
      << ReadUserFile(tracking);
  EXPECT_EQ(std::system(("xmllint --noout '" + userDir_ + "/" + tracking + "'").c_str()), 0);

  // A restart keeps the rule and its history.
  hostsim::Host& host = Restart();
  Menu(host,
       "in listadeseries.xml wait 300ms then focus 32 then click 32 then snapshot\n"
       "  then focus 31 then click 31 then snapshot\n"
       "  then select label Doctora Vega then action 117\n"
       "in DialogContextSerieP.xml click 1001\n"
       "in DialogTracking.xml snapshot then select item 1 then action 117 then snapshot\n"
       "  then action 117 then snapshot\n"
       "in DialogContextTracking.xml click 1005\n"
       "in DialogContextTracking.xml click 1006\n"
       "every DialogSiNo.xml click 11\n"
       "every DialogSI.xml send action 10\n");
  ASSERT_TRUE(host.gui().waitForClosed("listadeseries.xml", 1, 15s));

  const auto screens = host.gui().snapshots("listadeseries.xml");
  ASSERT_EQ(screens.size(), 2u);
  ASSERT_EQ(screens[0].items.size(), 1u) << "filter 1: the active rules only";
  EXPECT_EQ(screens[0].items[0].label, "Doctora Vega");
  EXPECT_EQ(Property(&screens[0].items[0], "Programado"), "true");
  EXPECT_NE(screens[0].label(29).find("-Series programadas"), std::string::npos);
  EXPECT_EQ(screens[1].label(29).find("-Series programadas"), std::string::npos);
  EXPECT_EQ(Property(Item(screens[1], "Doctora Vega"), "Programado"), "true");

  const auto shown = host.gui().snapshots("DialogTracking.xml");
  ASSERT_EQ(shown.size(), 3u);
  const time_t yesterday = (time(nullptr) / 86400 - 1) * 86400;
  const struct {
    const char* label;
    const char* second;
    int hour;
  } tracks[] = {{"Doctora Vega T1 Cap. 1", "La guardia", 8},
                {"Doctora Vega T2 Cap. 1", "El regreso", 13},
                {"Doctora Vega T3 Cap. 1", "Sin salida", 19}};
  ASSERT_EQ(shown[0].items.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const auto& item = shown[0].items[i];
    const time_t begin = yesterday + tracks[i].hour * 3600, end = begin + 50 * 60;
    EXPECT_EQ(item.label, tracks[i].label);
    EXPECT_EQ(item.label2, tracks[i].second) << "the label cut from the episode's title";
    EXPECT_FALSE(item.icon.empty()) << "the channel's logo";
    EXPECT_EQ(Property(&item, "Programacion"), "Fue emitido desde las " + Hour(begin) +
                                                   " hasta las " + Hour(end) + "\r\ndel " +
                                                   Date(end));
    EXPECT_NE(Property(&item, "Logoserie"), "(none)");
  }
  // Delete one (the second), then all: items, tracks and recordings go.
  ASSERT_EQ(shown[1].items.size(), 2u);
  EXPECT_EQ(shown[1].items[0].label, tracks[0].label);
  EXPECT_EQ(shown[1].items[1].label, tracks[2].label);
  EXPECT_TRUE(shown[2].items.empty());
  EXPECT_EQ(Count(ReadUserFile(tracking), "<Track>"), 0u);
  EXPECT_EQ(LogCount("action=delRecording", "resultCode 0"), 3u);
  EXPECT_EQ(std::system(("xmllint --noout '" + userDir_ + "/" + tracking + "'").c_str()), 0);
}

}  // namespace
}  // namespace e2e
