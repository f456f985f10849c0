// A cloud recording copied to a local file from the recordings menu: the
// queue file while it copies, the file the operator's server sent, the
// library's local entry, the history, and the cloud's copy deleted.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const char* const kNube = R"({
  "cloud": {"rtspBase": "rtsp://vod.quorvina.es:554/", "recordings": [
    {"id": 5001, "service": "1001", "name": "El corto", "begin": -10800, "end": -3600}]},
  "rtsp": {"assets": [{"path": "/cloud/5001", "duration": 4}]},
  "dns": {"records": [{"name": "vod.quorvina.es", "a": "172.26.24.10"}]}})";

std::string Ffprobe(const std::string& file) {
  std::string out(256, '\0');
  FILE* p = popen(
      ("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + file + "'").c_str(), "r");
  out.resize(p != nullptr ? fread(&out[0], 1, out.size(), p) : 0);
  if (p != nullptr) pclose(p);
  return out;
}

TEST_F(E2eTest, Hook4CopiesACloudRecordingToALocalFile) {
  if (IsSkipped()) return;
  const std::string carpeta = root_ + "/copias";
  std::filesystem::create_directories(carpeta);
  std::filesystem::create_directories(userDir_);
  std::ofstream(userDir_ + "/settings.xml")
      << "<settings><setting id=\"recordfolder\" value=\"" << carpeta << "/\" /></settings>";
  StartHeadend(Scenario(kNube));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForRecordings(30s));
  host.fetchRecordings();

  // A refused id changes nothing.
  EXPECT_NE(host.callMenuHook(4, "77").error, PVR_ERROR_NO_ERROR);
  ASSERT_EQ(host.callMenuHook(4, "5001").error, PVR_ERROR_NO_ERROR);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n"
            "<Inmediado Tipo=\"R\" ID=\"5001\" />\n</SincInmediado>\n");

  ASSERT_TRUE(WaitForUserFile("Sincronizacion/Track.xml", 20s));
  const std::string fichero = carpeta + "/El corto.mpeg";
  const std::string tipos = Ffprobe(fichero);
  EXPECT_NE(tipos.find("video"), std::string::npos) << tipos;
  EXPECT_NE(tipos.find("audio"), std::string::npos) << tipos;
  EXPECT_NE(ReadUserFile("Sincronizacion/Track.xml").find("ID=\"5001\" strTitulo=\"El corto\""),
            std::string::npos);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n</SincInmediado>\n");
  EXPECT_NE(HeadendLog().find("delRecording"), std::string::npos);
  bool local = false;
  for (const auto& r : host.fetchRecordings().data.recordings)
    if (r.recordingId == "5001") local = r.streamUrl == fichero;
  EXPECT_TRUE(local);
}

}  // namespace
}  // namespace e2e
