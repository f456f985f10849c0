// The operator's RTSP dialect as the on-demand client speaks it: the request
// texts, the framed reader of what the server sends on the control
// connection, and the small parsers around it.
#pragma once

#include <cstddef>
#include <map>
#include <string>

using CabecerasRtsp = std::map<std::string, std::string>;

// Lines "name<sep>value" into a map: CRs dropped, names lower-cased, blanks
// after the separator skipped, the first occurrence kept. Lines without a
// name are skipped.
CabecerasRtsp ObtenerCabeceras(const std::string& texto, char separador = ':');
inline CabecerasRtsp SepararDatos(const std::string& texto) {
  return ObtenerCabeceras(texto, '=');
}

// One message of the server: an answer ("RTSP/1.0 200 OK") or a request of
// its own (an ANNOUNCE with a notice).
struct MensajeRtsp {
  bool respuesta = false;
  std::string estado;  // the answer's three status characters
  int cseq = -1;
  CabecerasRtsp cabeceras;  // of the head, and of a text body after it
  std::string cuerpo;
  std::string texto;  // the whole message, for the log
};

// Cuts the server's messages out of the control connection's bytes: a head
// up to its blank line, then its Content-Length of body. Both are bounded,
// so a server that never ends a head costs memory no more than that.
class LectorRtsp {
 public:
  // A head, blank line included, fits one 1500-byte read of the set-top
  // box; a longer one is no answer of the operator's server.
  static constexpr size_t kMaxCabecera = 1500;
  static constexpr size_t kMaxCuerpo = 65536;
  enum class Resultado { Incompleto, Mensaje, Invalido };

  void Agregar(const char* datos, size_t longitud) { m_buffer.append(datos, longitud); }
  Resultado Siguiente(MensajeRtsp& mensaje, std::string& error);
  void Vaciar() { m_buffer.clear(); }
  size_t Pendiente() const { return m_buffer.size(); }

 private:
  std::string m_buffer;
};

// A URL, session id or position may go into a request only without CR or
// LF and up to 1 KiB: anything else could smuggle headers.
constexpr size_t kMaxCampoPeticion = 1024;
bool CampoSeguro(const std::string& campo);

// The request texts, byte for byte; empty when a field is refused.
std::string PeticionOptions(int cseq);
std::string PeticionDescribe(const std::string& url, int cseq);
std::string PeticionSetup(const std::string& url, int cseq, int puertoCliente);
std::string PeticionPlay(const std::string& url, int cseq, const std::string& sesion,
                         const std::string& inicio, int escala);
std::string PeticionPause(const std::string& url, int cseq, const std::string& sesion);
std::string PeticionTeardown(const std::string& url, int cseq, const std::string& sesion);
std::string PeticionGetParameter(const std::string& url, int cseq, const std::string& sesion);

// "rtsp://host:port/..." sets both; any other shape leaves them as they are.
void ObtenerServidoryPuerto(const std::string& url, std::string& servidor, int& puerto);
// A resume position as the chooser shows it: "1:02:05", "01:05".
std::string FormatoPosicion(int segundos);
