// Drives the add-on's on-demand client as the host does (open, then
// DemuxRead in a loop) on one RTSP URL, for bench/vod_rtsp.py: prints the
// time to the first video packet, the packets and bytes read, and FFmpeg's
// corrupt-packet warnings (continuity errors: datagrams lost on the way).
//
//   rtsp_bench URL SECONDS     (inside the private test network)
extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: rtsp_bench URL SECONDS\n");
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
