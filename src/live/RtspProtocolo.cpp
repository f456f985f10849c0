#include "live/RtspProtocolo.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kAgente = "User-Agent: MICA-IP-STB\r\n";

std::string Numero(int valor) {
  return std::to_string(valor);
}

std::vector<std::string> Partir(const std::string& texto, char separador) {
  std::vector<std::string> partes;
  size_t desde = 0;
  for (;;) {
    const size_t hasta = texto.find(separador, desde);
    partes.push_back(texto.substr(desde, hasta - desde));
    if (hasta == std::string::npos) return partes;
    desde = hasta + 1;
  }
}

}  // namespace

CabecerasRtsp ObtenerCabeceras(const std::string& texto, char separador) {
  CabecerasRtsp mapa;
  size_t desde = 0;
  while (desde < texto.size()) {
    size_t fin = texto.find('\n', desde);
    if (fin == std::string::npos) fin = texto.size();
    std::string linea;
    for (size_t i = desde; i < fin; ++i)
      if (texto[i] != '\r') linea += texto[i];
    desde = fin + 1;
    const size_t corte = linea.find(separador);
    if (corte == std::string::npos || corte == 0) continue;
    std::string nombre = linea.substr(0, corte);
    for (auto& c : nombre) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t valor = corte + 1;
    while (valor < linea.size() && (linea[valor] == ' ' || linea[valor] == '\t')) ++valor;
    mapa.emplace(nombre, linea.substr(valor));
  }
  return mapa;
}

LectorRtsp::Resultado LectorRtsp::Siguiente(MensajeRtsp& mensaje, std::string& error) {
  // Blank lines between messages carry nothing.
  size_t inicio = 0;
  while (inicio < m_buffer.size() && (m_buffer[inicio] == '\r' || m_buffer[inicio] == '\n'))
    ++inicio;
  if (inicio > 0) m_buffer.erase(0, inicio);
  const size_t fin = m_buffer.find("\r\n\r\n");
  if (fin == std::string::npos) {
    if (m_buffer.size() < kMaxCabecera) return Resultado::Incompleto;
    error = "cabecera sin final";
    return Resultado::Invalido;
  }
  if (fin + 4 > kMaxCabecera) {
    error = "cabecera demasiado larga";
    return Resultado::Invalido;
  }
  const std::string cabecera = m_buffer.substr(0, fin + 2);
  const size_t finLinea = cabecera.find("\r\n");
  const std::string primera = cabecera.substr(0, finLinea);
  CabecerasRtsp cabeceras = ObtenerCabeceras(cabecera.substr(finLinea + 2));
  long longitud = 0;
  auto cl = cabeceras.find("content-length");
  if (cl != cabeceras.end()) {
    char* resto = nullptr;
    longitud = std::strtol(cl->second.c_str(), &resto, 10);
    if (resto == cl->second.c_str() || longitud < 0 || static_cast<size_t>(longitud) > kMaxCuerpo) {
      error = "content-length no valido: " + cl->second.substr(0, 32);
      return Resultado::Invalido;
    }
  }
  const size_t total = fin + 4 + static_cast<size_t>(longitud);
  if (m_buffer.size() < total) return Resultado::Incompleto;

  MensajeRtsp m;
  m.texto = m_buffer.substr(0, total);
  m.cuerpo = m_buffer.substr(fin + 4, static_cast<size_t>(longitud));
  m_buffer.erase(0, total);
  static const std::string kProtocolo = "RTSP/1.0 ";
  m.respuesta = primera.compare(0, kProtocolo.size(), kProtocolo) == 0;
  if (m.respuesta) m.estado = primera.substr(kProtocolo.size(), 3);
  // A body of parameters ("position: 12") is read like the head.
  for (const auto& par : ObtenerCabeceras(m.cuerpo)) cabeceras.emplace(par);
  auto cseq = cabeceras.find("cseq");
  if (cseq != cabeceras.end()) m.cseq = std::atoi(cseq->second.c_str());
  m.cabeceras = std::move(cabeceras);
  mensaje = std::move(m);
  return Resultado::Mensaje;
}

bool CampoSeguro(const std::string& campo) {
  return campo.size() <= kMaxCampoPeticion && campo.find_first_of("\r\n") == std::string::npos;
}

std::string PeticionOptions(int cseq) {
  return "OPTIONS * RTSP/1.0\r\nCSeq: " + Numero(cseq) + "\r\n" + kAgente + "\r\n";
}

std::string PeticionDescribe(const std::string& url, int cseq) {
  if (!CampoSeguro(url)) return std::string();
  return "DESCRIBE " + url + " RTSP/1.0\r\nCSeq: " + Numero(cseq) + "\r\n" + kAgente +
         "Accept: application/sdp\r\n\r\n";
}

std::string PeticionSetup(const std::string& url, int cseq, int puertoCliente) {
  if (!CampoSeguro(url)) return std::string();
  return "SETUP " + url + " RTSP/1.0\r\nCSeq: " + Numero(cseq) + "\r\n" + kAgente +
         "Transport: MP2T/H2221/UDP;unicast;client_port=" + Numero(puertoCliente) +
         "\r\nx-mayNotify:\r\n\r\n";
}

std::string PeticionPlay(const std::string& url, int cseq, const std::string& sesion,
                         const std::string& inicio, int escala) {
  if (!CampoSeguro(url) || !CampoSeguro(sesion) || !CampoSeguro(inicio)) return std::string();
  return "PLAY " + url + " RTSP/1.0\r\nCSeq: " + Numero(cseq) + "\r\nSession: " + sesion + "\r\n" +
         kAgente + "Range: npt=" + inicio + "-end\r\nScale: " + Numero(escala) +
         ".000\r\nx-playNow: \r\nx-noFlush: \r\n\r\n";
}

std::string PeticionPause(const std::string& url, int cseq, const std::string& sesion) {
  if (!CampoSeguro(url) || !CampoSeguro(sesion)) return std::string();
  return "PAUSE " + url + " RTSP/1.0\r\n" + kAgente + "x-noFlush::\r\nCSeq: " + Numero(cseq) +
         "\r\nSession: " + sesion + "\r\n\r\n";
}

std::string PeticionTeardown(const std::string& url, int cseq, const std::string& sesion) {
  if (!CampoSeguro(url) || !CampoSeguro(sesion)) return std::string();
  return "TEARDOWN " + url + " RTSP/1.0\r\n" + kAgente + "Session: " + sesion +
         "\r\nCSeq: " + Numero(cseq) + "\r\n\r\n";
}

std::string PeticionGetParameter(const std::string& url, int cseq, const std::string& sesion) {
  if (!CampoSeguro(url) || !CampoSeguro(sesion)) return std::string();
  return "GET_PARAMETER " + url + " RTSP/1.0\r\nCSeq: " + Numero(cseq) + "\r\nSession: " + sesion +
         "\r\n" + kAgente +
         "Content-Length: 10\r\nContent-Type: text/parameters\r\n\r\nposition\r\n";
}

void ObtenerServidoryPuerto(const std::string& url, std::string& servidor, int& puerto) {
  const std::vector<std::string> partes = Partir(url, '/');
  if (partes.size() < 3 || partes[0] != "rtsp:") return;
  const std::vector<std::string> anfitrion = Partir(partes[2], ':');
  if (anfitrion.size() != 2) return;
  servidor = anfitrion[0];
  puerto = std::atoi(anfitrion[1].c_str());
}

std::string FormatoPosicion(int segundos) {
  char texto[32];
  const int horas = segundos / 3600;
  if (horas > 0) {
    std::snprintf(texto, sizeof texto, "%d:%02d:%02d", horas, segundos / 60 % 60, segundos % 60);
  } else {
    std::snprintf(texto, sizeof texto, "%02d:%02d", segundos / 60 % 60, segundos % 60);
  }
  return texto;
}
