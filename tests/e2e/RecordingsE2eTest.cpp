// Cloud and local recordings through a real host and operator: the listing
// and its files, recordings gone from the server, failed lists, deletions
// on the server and on disk, and the clean-up hook.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "E2eFixture.h"
#include "E2eProbes.h"
#include "gui/GuiScript.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const char kCloud[] = R"({"cloud":{"recordings":[
  {"id":9000001,"service":"1001","name":"El tiempo","seriesName":"El tiempo","season":"3",
   "episode":7,"begin":-90000,"end":-88200},
  {"id":9000002,"service":"2001","name":"Cine","seriesName":null,"hd":1,"begin":-9000,"end":-3600},
  {"id":9000003,"service":"1002","name":"Se va","begin":-7200,"end":-3600},
  {"id":9000004,"service":"1002","name":"Grabando","begin":-60,"end":3600},
  {"id":9000005,"service":"1003","name":"Pendiente","begin":3600,"end":7200}],
  "missingImages":[9000002]}%s})";

std::string Cloud(const std::string& more = "") {
  char text[2048];
  std::snprintf(text, sizeof text, kCloud, more.c_str());
  return Scenario(text);
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\r' ? "&#xD;" : c == '\n' ? "&#xA;" : std::string(1, c);
  return out;
}

// The scenario without recording 9000003.
std::string Without3(std::string scenario) {
  const size_t at = scenario.find(R"({"id":9000003)");
  return scenario.erase(at, scenario.find('}', at) - at + 2);
}

class RecordingsE2eTest : public E2eTest {
 protected:
  std::vector<hostsim::RecordingEntry> List() {
    const hostsim::Fetch f = host_->fetchRecordings();
    EXPECT_EQ(f.error, PVR_ERROR_NO_ERROR);
    return f.data.recordings;
  }
  static std::vector<std::string> Ids(const std::vector<hostsim::RecordingEntry>& list) {
    std::vector<std::string> ids;
    for (const auto& r : list) ids.push_back(r.recordingId);
    return ids;
  }
  // A local recording's metadata file, its video created when `video` is set.
  void Local(const std::string& id, const std::string& serie, bool video) {
    const std::string path = Video(id, serie);
    std::filesystem::create_directories(root_ + "/video");
    std::filesystem::create_directories(userDir_ + "/Recordings/Recordings");
    if (video) std::ofstream(path) << "ts";
    std::ofstream(userDir_ + "/Recordings/Recordings/" + id + ".xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Recording>\n<strRecordingId Value=\"" << id
        << "\" />\n<strTitle Value=\"L" << id << "\" />\n<strStreamURL Value=\"" << path
        << "\" />\n<idSerie Value=\"" << serie << "\" />\n<iTemporada Value=\"0\" />\n"
        << "<Cloud Value=\"0\" />\n</Recording>\n";
  }
  // Series files carry season and episode in front, so the load keeps them.
  std::string Video(const std::string& id, const std::string& serie) const {
    return root_ + "/video/" + (serie.empty() ? "" : "00x00 ") + id + ".ts";
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(userDir_ + "/" + relative);
  }
};

TEST_F(RecordingsE2eTest, CloudListingFilesAndServerChanges) {
  StartHeadend(Cloud());
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(40s));
  const auto list = List();
  EXPECT_EQ(Ids(list), (std::vector<std::string>{"9000001", "9000002", "9000003"}));
  EXPECT_EQ(CountOf(HeadendLog(),
                    "GET http://172.26.22.23:2001/appserver/bktv.do?action=getRecordingList&mode=0&"
                    "stateList=2&startDate=0000000000000&endDate=9000000000000&first=0&max=999&"
                    "sort=2&intervalFromLastUpdate=0 -> 200"),
            1u);
  ASSERT_EQ(list.size(), 3u);
  const hostsim::RecordingEntry& tiempo = list[0];
  EXPECT_EQ(tiempo.channelName, "Primera Cadena");
  EXPECT_EQ(tiempo.directory, "El tiempo/Temporada 3");
  EXPECT_EQ(tiempo.iconPath, userDir_ + "/Recordings/Logos/9000001.jpg");
  EXPECT_NE(tiempo.plot.find("\r\n\r\nGrabación de El tiempo en la nube."), std::string::npos);
  EXPECT_NE(tiempo.plot.find("Series"), std::string::npos);
  host.fetchChannels();
  hostsim::ChannelEntry hd;
  ASSERT_TRUE(host.pvr().findChannel(2001, hd));
  EXPECT_EQ(list[1].iconPath, hd.iconPath);
  EXPECT_EQ(ReadUserFile("Recordings/Recordings/9000001.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Recording>\n"
            "<strRecordingId Value=\"9000001\" />\n<strTitle Value=\"El tiempo\" />\n"
            "<strStreamURL Value=\"\" />\n<strDirectory Value=\"El tiempo/Temporada 3\" />\n"
            "<strPlotOutline Value=\"\" />\n<strPlot Value=\"" +
                Escaped(tiempo.plot) +
                "\" />\n<iClientChannelUid Value=\"1001\" />\n"
                "<strChannelName Value=\"Primera Cadena\" />\n<strIconPath Value=\"" +
                tiempo.iconPath +
                "\" />\n<strThumbnailPath Value=\"\" />\n<strFanartPath Value=\"\" />\n"
                "<recordingTime Value=\"" +
                std::to_string(tiempo.recordingTime) +
                "\" />\n<iDuration Value=\"1800\" />\n<iPriority Value=\"50\" />\n"
                "<iLifetime Value=\"99\" />\n<iGenreType Value=\"0\" />\n"
                "<iGenreSubType Value=\"0\" />\n<iPlayCount Value=\"0\" />\n"
                "<idSerie Value=\"El tiempo\" />\n<StrDescripcionSerie Value=\"El tiempo\" />\n"
                "<iTemporada Value=\"3\" />\n<iCapitulo Value=\"7\" />\n"
                "<iUniqueBroadcastId Value=\"9000001\" />\n<HD Value=\"0\" />\n"
                "<Cloud Value=\"1\" />\n</Recording>\n");
  EXPECT_EQ(ReadUserFile("Recordings/LastPlay/9000001.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LastPlayRecordings>\n"
            "<LastPlay Value=\"0\" />\n</LastPlayRecordings>\n");

  // Gone from the server: its files go, no delete request.
  StartHeadend(Without3(Cloud()));
  EXPECT_EQ(Ids(List()), (std::vector<std::string>{"9000001", "9000002"}));
  for (const char* file : {"Recordings/Recordings/9000003.xml", "Recordings/LastPlay/9000003.xml",
                           "Recordings/Logos/9000003.jpg"})
    EXPECT_FALSE(Exists(file)) << file;
  EXPECT_EQ(CountOf(HeadendLog(), "action=delRecording"), 0u);

  // A failed list removes nothing; without the profile no list is asked for.
  StartHeadend(Without3(Cloud(R"(,"appServer":{"switches":{"getRecordingList":{"status":500}}})")));
  EXPECT_EQ(Ids(List()), (std::vector<std::string>{"9000001", "9000002"}));
  StopHost();
  std::filesystem::remove(userDir_ + "/Base/Configuracion.xml");  // no cached profile either
  StartHeadend(
      Without3(Cloud(R"(,"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}})")));
  StartHost();
  ASSERT_TRUE(host_->load().ok);
  EXPECT_EQ(Ids(List()), (std::vector<std::string>{"9000001", "9000002"}));
  EXPECT_EQ(CountOf(HeadendLog(), "action=getRecordingList"), 0u);
}

TEST_F(RecordingsE2eTest, DeletionsReachTheServerOrTheDisk) {
  Local("1", "Serie", true);
  StartHeadend(Cloud(R"(,"appServer":{"switches":{"delRecording":{"resultCode":-2,"times":1}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_EQ(Ids(List()), (std::vector<std::string>{"1", "9000001", "9000002", "9000003"}));
  const std::string args = "extInfoID=9000001&PIN=0&channelID=1001 -> 200";
  // headend logs a request after answering it: wait (bounded) for the line.
  const auto seen = [this](const std::string& needle, size_t n) {
    for (int i = 0; i < 40 && CountOf(HeadendLog(), needle) < n; ++i)
      std::this_thread::sleep_for(50ms);
    return CountOf(HeadendLog(), needle);
  };
  // Not finished for the server: the same booking is cancelled instead.
  EXPECT_TRUE(host.deleteRecording("9000001").found);
  EXPECT_EQ(seen("delRecording&" + args, 1), 1u);
  EXPECT_EQ(seen("resultCode -2", 1), 1u);
  EXPECT_EQ(seen("cancelRecording&" + args, 1), 1u);
  List();
  EXPECT_EQ(host.deleteRecording("9000001").error, PVR_ERROR_NO_ERROR);
  EXPECT_EQ(seen("delRecording&" + args, 2), 2u);
  EXPECT_EQ(CountOf(HeadendLog(), "resultCode -2"), 1u);
  const std::string view = Shell("curl -s http://172.26.22.23:2001/headend/cloud");
  EXPECT_EQ(view.find("9000001"), std::string::npos) << view;
  EXPECT_NE(view.find("9000002"), std::string::npos) << view;

  ASSERT_TRUE(std::filesystem::exists(Video("1", "Serie")));
  EXPECT_EQ(host.deleteRecording("1").error, PVR_ERROR_NO_ERROR);
  EXPECT_FALSE(std::filesystem::exists(Video("1", "Serie")));
  EXPECT_FALSE(Exists("Recordings/Recordings/1.xml"));
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Host, "VideoLibrary.Scan", 5s));
}

// Pictures missing at start are fetched at the first listing, never while
// the host waits for the add-on to start.
TEST_F(RecordingsE2eTest, StartDoesNotWaitForMissingPictures) {
  std::filesystem::create_directories(userDir_ + "/Recordings/Recordings");
  for (int id = 9100001; id <= 9100050; ++id)
    std::ofstream(userDir_ + "/Recordings/Recordings/" + std::to_string(id) + ".xml")
        << "<?xml version=\"1.0\"?>\n<Recording>\n<strRecordingId Value=\"" << id
        << "\" />\n<iUniqueBroadcastId Value=\"" << id << "\" />\n<Cloud Value=\"1\" />\n"
        << "</Recording>\n";
  StartHeadend(Scenario(R"({"appServer":{"switches":{"programmeImage":{"noAnswer":"hold"}}}})"));
  hostsim::Host& host = StartHost();
  const auto start = Clock::now();
  ASSERT_TRUE(host.load().ok);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_EQ(host.recordingsAmount(), 50);
  EXPECT_EQ(CountOf(HeadendLog(), "programmeImages"), 0u);
}

TEST_F(RecordingsE2eTest, CleanUpHookAsksThenRemovesLocalEntriesWithoutVideo) {
  Local("1", "", true);
  Local("2", "", false);
  Local("3", "S", false);
  std::ofstream(userDir_ + "/Recordings/Recordings/9000001.xml")
      << "<?xml version=\"1.0\"?>\n<Recording>\n<strRecordingId Value=\"9000001\" />\n"
      << "<Cloud Value=\"1\" />\n</Recording>\n";
  hostsim::Host& host = StartHost();  // no operator: the stored library only
  hostsim::GuiScript script;
  ASSERT_TRUE(script
                  .parse("in DialogSiNo.xml click 10\nin DialogSiNo.xml click 11\n"
                         "in DialogSiNo.xml click 11\nin DialogSiNo.xml click 11\n"
                         "every DialogSI.xml click 10\n")
                  .ok);
  host.gui().loadScript(script);
  ASSERT_TRUE(host.load().ok);
  const struct {
    const char* name;
    const char* lastBox;  // the text of the last box shown
    std::vector<std::string> left;
  } cases[] = {
      {"answered no",
       "\xc2\xbf"
       "Está seguro de eliminar las grabaciones sin archivos de video "
       "accesibles?",
       {"1", "2", "3", "9000001"}},
      {"two found, yes", "Han sido eliminadas 2 grabaciones.", {"1", "9000001"}},
      {"none found", "No se han encontrado grabaciones a eliminar.", {"1", "9000001"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(host.callMenuHook(5, "").called);
    const auto windows = host.gui().closedWindows();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.back().label(9), c.lastBox);
    EXPECT_EQ(windows.back().label(1), "Eliminación de grabaciones");
    EXPECT_EQ(Ids(List()), c.left);
  }
  EXPECT_EQ(host.gui().closedWindows("DialogSiNo.xml")[2].label(9),
            "Se han encontrado 2 grabaciones sin archivo de vídeo accesible.\r\n\xc2\xbf"
            "Está seguro de eliminarlas?");
}

}  // namespace
}  // namespace e2e
