// Series rules through a real host and operator: a rule scheduled from the
// series list books cloud episodes at the headend, and pausing it from the
// list cancels the pending ones.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

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

class SeriesE2eTest : public E2eTest {
 protected:
  hostsim::Host& Start() {
    StartHeadend(Scenario(R"({"guide":{"days":3}})"));
    fs::create_directories(userDir_);
    std::ofstream(userDir_ + "/settings.xml")
        << "<settings><setting id=\"TipoGrabacionPorDefecto\" value=\"1\" /></settings>";
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
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

}  // namespace
}  // namespace e2e
