// Drives the add-on's on-demand client as the host does (open, then
// DemuxRead in a loop) on one RTSP URL, for bench/vod_rtsp.py: prints the
// time to the first video packet, the packets and bytes read, and FFmpeg's
// corrupt-packet warnings (continuity errors: datagrams lost on the way).
// With --copy it copies the recording to FILE as the nightly copies do, for
// bench/sync_copy.py, and prints whether it completed and its bytes.
//
//   rtsp_bench URL SECONDS            (inside the private test network)
//   rtsp_bench --copy URL SECONDS FILE
extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "live/Rtsp.h"
#include "support/InProcessHost.h"

namespace {

std::atomic<int> corruptos{0};

void ContarAvisos(void*, int, const char* formato, va_list) {
  if (std::strstr(formato, "corrupt") != nullptr) ++corruptos;
}

class Servicios : public ServiciosVod {
 public:
  std::string ObtenerMarcador(const std::string&, std::string&) override { return ""; }
  bool GuardarMarcador(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
  bool ElegirContinuar(const std::string&) override { return false; }
  void PararReproductor() override {}
  void PasarALocal(const DatosVod&, const std::string&, int) override {}
  bool DatosCopia(const std::string&, DatosVod&, std::string&) override { return false; }
};

int Copiar(const char* url, int segundos, const std::string& fichero) {
  InProcessHost host;
  host.UseStorage();
  Servicios servicios;
  rtsp sesion(servicios);
  if (!sesion.Copiar(DatosVod{.strRecordingId = "1", .strTitle = "copia"}, url, fichero)) {
    std::printf("open failed\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(segundos);
  while (sesion.Running() && std::chrono::steady_clock::now() < fin)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  sesion.PararRecording();
  FILE* f = std::fopen(fichero.c_str(), "rb");
  long bytes = 0;
  if (f != nullptr) {
    std::fseek(f, 0, SEEK_END);
    bytes = std::ftell(f);
    std::fclose(f);
  }
  std::printf("complete %d\nbytes %ld\n", sesion.CopiaCompleta() ? 1 : 0, bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--copy")
    return Copiar(argv[2], std::atoi(argv[3]), argv[4]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: rtsp_bench URL SECONDS | --copy URL SECONDS FILE\n");
    return 2;
  }
  av_log_set_callback(ContarAvisos);
  InProcessHost host;
  host.UseStorage();
  Servicios servicios;
  rtsp sesion(servicios);
  using Clock = std::chrono::steady_clock;
  const auto inicio = Clock::now();
  if (!sesion.AbrirVod(DatosVod{.strRecordingId = "1", .iDuration = 86400, .HD = true}, argv[1])) {
    std::printf("open failed\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const auto fin = inicio + std::chrono::seconds(std::atoi(argv[2]));
  double primero = -1;
  long paquetes = 0, bytes = 0;
  sesion.GetStreamProperties();
  while (Clock::now() < fin) {
    DemuxedPacket p = sesion.DemuxRead();
    if (p.kind() == DemuxedPacket::Kind::StreamChange) sesion.GetStreamProperties();
    if (p.kind() != DemuxedPacket::Kind::Data) continue;
    if (primero < 0 && p.streamIndex == 0)
      primero = std::chrono::duration<double, std::milli>(Clock::now() - inicio).count();
    ++paquetes;
    bytes += p.size();
  }
  sesion.Cerrar();
  std::printf("first-packet-ms %.0f\npackets %ld\nbytes %ld\ncorrupt %d\n", primero, paquetes,
              bytes, corruptos.load());
  return 0;
}
