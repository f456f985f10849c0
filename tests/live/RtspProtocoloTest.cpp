// The on-demand client's wire texts byte for byte, and the framed reader of
// what the server sends on the control connection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "live/RtspProtocolo.h"

namespace {

TEST(RtspPeticiones, TextsAreExactAndUnsafeFieldsAreRefused) {
  const std::string url = "rtsp://vod.quorvina.es:554/vod/5001";
  struct Caso {
    std::string obtenido;
    std::string esperado;
  };
  const std::vector<Caso> casos = {
      {PeticionOptions(1), "OPTIONS * RTSP/1.0\r\nCSeq: 1\r\nUser-Agent: MICA-IP-STB\r\n\r\n"},
      {PeticionDescribe(url, 2),
       "DESCRIBE " + url +
           " RTSP/1.0\r\nCSeq: 2\r\nUser-Agent: MICA-IP-STB\r\nAccept: application/sdp\r\n\r\n"},
      {PeticionSetup(url, 3, 40000),
       "SETUP " + url +
           " RTSP/1.0\r\nCSeq: 3\r\nUser-Agent: MICA-IP-STB\r\nTransport: "
           "MP2T/H2221/UDP;unicast;client_port=40000\r\nx-mayNotify:\r\n\r\n"},
      {PeticionPlay(url, 4, "77", "", -2),
       "PLAY " + url +
           " RTSP/1.0\r\nCSeq: 4\r\nSession: 77\r\nUser-Agent: MICA-IP-STB\r\nRange: "
           "npt=-end\r\nScale: -2.000\r\nx-playNow: \r\nx-noFlush: \r\n\r\n"},
      {PeticionPause(url, 5, "77"), "PAUSE " + url +
                                        " RTSP/1.0\r\nUser-Agent: MICA-IP-STB\r\nx-noFlush::\r\n"
                                        "CSeq: 5\r\nSession: 77\r\n\r\n"},
      {PeticionTeardown(url, 6, "77"),
       "TEARDOWN " + url +
           " RTSP/1.0\r\nUser-Agent: MICA-IP-STB\r\nSession: 77\r\nCSeq: 6\r\n\r\n"},
      {PeticionGetParameter(url, 7, "77"),
       "GET_PARAMETER " + url +
           " RTSP/1.0\r\nCSeq: 7\r\nSession: 77\r\nUser-Agent: MICA-IP-STB\r\nContent-Length: "
           "10\r\nContent-Type: text/parameters\r\n\r\nposition\r\n"},
      // A field that could add a header, or one past 1 KiB, sends nothing.
      {PeticionDescribe(url + "\r\nX-Evil: 1", 2), ""},
      {PeticionPlay(url, 4, "77\n", "0", 1), ""},
      {PeticionTeardown(url + std::string(1024, 'a'), 6, "77"), ""},
  };
  for (size_t i = 0; i < casos.size(); ++i) EXPECT_EQ(casos[i].obtenido, casos[i].esperado) << i;
}

TEST(RtspPeticiones, ServerPortAndResumeTexts) {
  struct Caso {
    std::string url;
    std::string servidor;
    int puerto;
  };
  const std::vector<Caso> casos = {
      {.url = "rtsp://cdn.quorvina.es:8554/a/b", .servidor = "cdn.quorvina.es", .puerto = 8554},
      {.url = "rtsp://sinpuerto.es/a", .servidor = "antes", .puerto = 554},  // both kept
      {.url = "http://x.es:80/a", .servidor = "antes", .puerto = 554},
      {.url = "rtsp:", .servidor = "antes", .puerto = 554},
  };
  for (const auto& c : casos) {
    std::string servidor = "antes";
    int puerto = 554;
    ObtenerServidoryPuerto(c.url, servidor, puerto);
    EXPECT_EQ(servidor, c.servidor) << c.url;
    EXPECT_EQ(puerto, c.puerto) << c.url;
  }
  EXPECT_EQ(FormatoPosicion(3725), "1:02:05");
  EXPECT_EQ(FormatoPosicion(65), "01:05");
}

// The answer's head grown by an X-Padding header to `bytes`, blank line included.
std::string Relleno(const std::string& respuesta, size_t bytes) {
  const std::string relleno = "X-Padding: \r\n";
  return respuesta.substr(0, respuesta.size() - 2) +
         "X-Padding: " + std::string(bytes - respuesta.size() - relleno.size(), 'x') + "\r\n\r\n";
}

TEST(LectorRtsp, MessagesAreFramedWhateverTheSegmentsAndBadOnesStop) {
  struct Caso {
    const char* nombre;
    std::vector<std::string> trozos;
    std::vector<std::string> claves;  // "cseq=<n> estado=<s> <header>=<value>" per message
    bool invalido;
  };
  const std::string announce =
      "ANNOUNCE rtsp://h/v RTSP/1.0\r\nCSeq: 1\r\nSession: 9\r\nx-notice: 2101 End\r\n\r\n";
  const std::string play = "RTSP/1.0 200 OK\r\nCSeq: 4\r\nSession: 9\r\n\r\n";
  const std::string posicion =
      "RTSP/1.0 200 OK\r\nCSeq: 5\r\nContent-Length: 16\r\n\r\nposition: 1234\r\n";
  const std::vector<Caso> casos = {
      {.nombre = "notice and answer in one segment",
       .trozos = {announce + play},
       .claves = {"1  x-notice=2101 End", "4 200 session=9"}},
      {.nombre = "head cut in two, body in a third",
       .trozos = {posicion.substr(0, 20), posicion.substr(20, 30), posicion.substr(50)},
       .claves = {"5 200 position=1234"}},
      {.nombre = "negative length",
       .trozos = {"RTSP/1.0 200 OK\r\nContent-Length: -5\r\n\r\n"},
       .invalido = true},
      {.nombre = "head without end",
       .trozos = {std::string(LectorRtsp::kMaxCabecera, 'a')},
       .invalido = true},
      {.nombre = "head of the most bytes, blank line included",
       .trozos = {Relleno(play, LectorRtsp::kMaxCabecera)},
       .claves = {"4 200 session=9"}},
      {.nombre = "head one byte longer",
       .trozos = {Relleno(play, LectorRtsp::kMaxCabecera + 1)},
       .invalido = true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    LectorRtsp lector;
    std::vector<std::string> vistos;
    bool invalido = false;
    for (const auto& trozo : c.trozos) {
      lector.Agregar(trozo.data(), trozo.size());
      MensajeRtsp m;
      std::string error;
      LectorRtsp::Resultado r;
      while ((r = lector.Siguiente(m, error)) == LectorRtsp::Resultado::Mensaje) {
        std::string visto = std::to_string(m.cseq) + " " + m.estado;
        const char* clave = m.cabeceras.count("x-notice")   ? "x-notice"
                            : m.cabeceras.count("position") ? "position"
                            : m.cabeceras.count("session")  ? "session"
                                                            : "cseq";
        vistos.push_back(visto + " " + clave + "=" + m.cabeceras[clave]);
      }
      invalido = invalido || r == LectorRtsp::Resultado::Invalido;
    }
    EXPECT_EQ(vistos, c.claves);
    EXPECT_EQ(invalido, c.invalido);
  }
}

}  // namespace
