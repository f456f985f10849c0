#include "services/upnphttp.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Http.h"
#include "common/HttpGlobals.h"
#include "common/HttpReader.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Socket.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "common/XMLNode.h"
#include "services/DescripcionesUpnp.h"
#include "services/WebRelay.h"

namespace {
constexpr int kRodajaMs = 250;
constexpr size_t kBloque = 1500;
constexpr size_t kBloqueFichero = 1024;
constexpr int kDrenajeMs = 200;
constexpr size_t kMaxLog = 2048;
constexpr int kConexionImagenSegundos = 2;
constexpr int kEsperaFinalMs = 500;
constexpr int kReservaLogoMs = 1000;

const char* const kServidor = "Server: iptvquorvina UPnP/1.0 Brastoket TV\r\n";
const char* const kNoEncontrado =
    "HTTP/1.1 404 not found\r\nServer: iptvquorvina UPnP/1.0 Brastoket TV\r\n\r\n";
const char* const kAccionBrowse = "\"urn:schemas-upnp-org:service:contentdirectory:1#browse\"";

std::string CabeceraXml(size_t largo) {
  return "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: " + std::to_string(largo) + "\r\n" + kServidor +
         "CONTENT-TYPE: text/xml;charset=\"utf-8\"\r\n\r\n";
}

// Request text for a log line: control bytes other than line ends as '.',
// and at most kMaxLog bytes.
std::string ParaLog(const std::string& texto) {
  std::string salida = texto.substr(0, kMaxLog);
  for (char& c : salida) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\r' && c != '\n') || u == 0x7F) c = '.';
  }
  return salida;
}

// A non-negative decimal integer, clamped to INT_MAX; false for anything else.
bool Natural(const std::string& texto, int& valor) {
  const size_t inicio = texto.find_first_not_of(" \t\r\n");
  const size_t fin = texto.find_last_not_of(" \t\r\n");
  if (inicio == std::string::npos) return false;
  long long n = 0;
  for (size_t i = inicio; i <= fin; ++i) {
    if (texto[i] < '0' || texto[i] > '9') return false;
    n = std::min<long long>(INT_MAX, n * 10 + (texto[i] - '0'));
  }
  valor = static_cast<int>(n);
  return true;
}

std::string Texto(const XMLNode& nodo) {
  const char* texto = nodo.isEmpty() ? nullptr : nodo.getText();
  return texto ? texto : "";
}

const char* const kCabeceraSoap =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<s:Envelope "
    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">\r\n<s:Body><u:BrowseResponse "
    "xmlns:u=\"urn:schemas-upnp-org:service:ContentDirectory:1\">\r\n<Result>";
const char* const kAperturaDidl =
    "&lt;DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
    "xmlns:dlna=\"urn:schemas-dlna-org:metadata-1-0/\"&gt;";

std::string Cola(int devueltos, size_t total) {
  return "&lt;/DIDL-Lite&gt;</Result>\r\n<NumberReturned>" + std::to_string(devueltos) +
         "</NumberReturned>\r\n<TotalMatches>" + std::to_string(total) +
         "</TotalMatches>\r\n<UpdateID>0</UpdateID>\r\n</u:BrowseResponse>\r\n</s:Body>\r\n"
         "</s:Envelope>\r\n";
}

std::string Item(const Canal& canal, int numero, const std::string& ip) {
  const std::string id = std::to_string(canal.id);
  const std::string logo =
      "http://" + ip + ":" + std::to_string(PuertoHttpUpnp) + "/logo=" + id + ".jpg";
  return "&lt;item id=\"" + id +
         "\" parentID=\"0\" restricted=\"1\"&gt;&lt;upnp:albumArtURI "
         "dlna:profileID=\"JPEG_TN\"&gt;" +
         logo + "&lt;/upnp:albumArtURI&gt;&lt;upnp:icon&gt;" + logo +
         "&lt;/upnp:icon&gt;&lt;upnp:channelNr&gt;" + std::to_string(numero) +
         "&lt;/upnp:channelNr&gt;&lt;dc:title&gt;" + stringtoescape(stringtoescape(canal.nombre)) +
         "&lt;/dc:title&gt;&lt;dc:creator&gt;Tolvenar&lt;/"
         "dc:creator&gt;&lt;dc:date&gt;9999-12-31&lt;"
         "/dc:date&gt;&lt;upnp:genre&gt;Genero&lt;/upnp:genre&gt;&lt;res resolution=\"" +
         (canal.HD ? "1920x1080" : "720x576") + "\" size=\"0\" protocolInfo=\"http-get:*:" +
         (TranscodificarDLNA ? "video/x-matroska:*" : "video/mpeg:DLNA.ORG_PN=MPEG_PS_NTSC") +
         ";DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01500000000000000000000000000000\"&gt;http:/"
         "/" +
         ip + ":" + std::to_string(PuertoHttp) + "/canal=" + id +
         ".mpg&lt;/res&gt;&lt;upnp:class&gt;object.item.videoItem&lt;/upnp:class&gt;&lt;/item&gt;";
}
}  // namespace

upnphttp::upnphttp(FuenteCanales canales) : m_canales(std::move(canales)) {
  SetThreadName("quorvina-upnp");
}

upnphttp::~upnphttp() {
  // Its owner stopped it already; a bounded wait for one that did not.
  if (!StopThread(kEsperaFinalMs)) GenerarLogError("Upnp http: no ha terminado a tiempo");
}

std::string upnphttp::Fallo(const char* estado, int codigo, const char* descripcion) {
  const std::string cuerpo =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<s:Envelope "
      "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n<s:Body>\r\n<s:Fault>\r\n"
      "<faultcode>s:Client</faultcode>\r\n<faultstring>UPnPError</faultstring>\r\n<detail>\r\n"
      "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\">\r\n<errorCode>" +
      std::to_string(codigo) + "</errorCode>\r\n<errorDescription>" + descripcion +
      "</errorDescription>\r\n</UPnPError>\r\n</detail>\r\n</s:Fault>\r\n</s:Body>\r\n"
      "</s:Envelope>\r\n";
  return std::string("HTTP/1.1 ") + estado +
         "\r\nCONTENT-LENGTH: " + std::to_string(cuerpo.size()) + "\r\n" + kServidor +
         "CONTENT-TYPE: text/xml;charset=\"utf-8\"\r\n\r\n" + cuerpo;
}

bool upnphttp::ObtenerDatosenvelope(const std::string& cuerpo, Envelope& envelope) {
  XMLResults resultado{};
  const XMLNode raiz = XMLNode::parseString(cuerpo.c_str(), "s:envelope", &resultado);
  if (raiz.isEmpty() || resultado.error != eXMLErrorNone) return false;
  const XMLNode browse = raiz.getChildNode("s:body").getChildNode("u:browse");
  if (browse.isEmpty()) return false;
  envelope.objeto = Texto(browse.getChildNode("objectid"));
  envelope.flag = Texto(browse.getChildNode("browseflag"));
  const XMLNode inicio = browse.getChildNode("startingindex");
  const XMLNode cantidad = browse.getChildNode("requestedcount");
  if (!inicio.isEmpty() && !Natural(Texto(inicio), envelope.inicio)) return false;
  return cantidad.isEmpty() || Natural(Texto(cantidad), envelope.cantidad);
}

std::string upnphttp::DirectorioCanales(const LineUp& lineUp, int inicio, int cantidad,
                                        const std::string& ip) {
  if (cantidad == 0) cantidad = static_cast<int>(lineUp.order.size());
  std::string cuerpo = std::string(kCabeceraSoap) + kAperturaDidl;
  int posicion = 0;
  int devueltos = 0;
  // Positions count the channels listed only: a client paging by the
  // count it got neither skips nor repeats one.
  for (const auto& entrada : lineUp.order) {
    if (devueltos >= cantidad) break;
    const auto canal = lineUp.fullChannels.find(entrada.second);
    if (canal == lineUp.fullChannels.end()) continue;
    if (posicion >= inicio) {
      const std::string item = Item(canal->second, posicion, ip);
      cuerpo += item;
      ++devueltos;
      GenerarLogDebug("Item envelope:\r\n" + std::to_string(devueltos) + "-" + item);
    }
    ++posicion;
  }
  return cuerpo + Cola(devueltos, lineUp.fullChannels.size());
}

std::string upnphttp::EnviarMetadataCanal(const LineUp& lineUp, int canal, const std::string& ip) {
  std::string cuerpo = std::string(kCabeceraSoap) + kAperturaDidl;
  const auto encontrado = lineUp.fullChannels.find(canal);
  if (encontrado == lineUp.fullChannels.end()) return cuerpo + Cola(0, 0);
  const std::string item = Item(encontrado->second, 1, ip);
  GenerarLogDebug("Item canal:\r\n" + item);
  return cuerpo + item + Cola(1, 1);
}

bool upnphttp::Enviar(int fd, const std::string& datos) {
  // The request's one deadline holds for sending too: a client that reads
  // slowly cannot keep the only server thread.
  size_t enviado = 0;
  while (enviado < datos.size()) {
    if (PLATFORM::Stopping() || m_cortado) return false;
    if (Reloj::now() >= m_fin) {
      m_cortado = true;
      GenerarLogError("Upnp http: envio cortado por tiempo (" + std::to_string(enviado) + " de " +
                      std::to_string(datos.size()) + " bytes)");
      return false;
    }
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, kRodajaMs) <= 0) continue;
    const ssize_t n =
        send(fd, datos.data() + enviado, datos.size() - enviado, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (n <= 0) return false;
    enviado += static_cast<size_t>(n);
  }
  return true;
}

int upnphttp::SegundosRestantes(int reserva) const {
  const auto quedan =
      std::chrono::duration_cast<std::chrono::milliseconds>(m_fin - Reloj::now()).count();
  return static_cast<int>(std::max<int64_t>(0, quedan - reserva) / 1000);
}

void upnphttp::ObtenerPrimerLinea(const std::string& linea) {
  const std::vector<std::string> partes = split(stringtolower(linea), ' ');
  if (partes.size() >= 2) m_cabeceras.emplace(partes[0], partes[1]);
}

void upnphttp::ObtenerCabeceras(const std::string& bloque) {
  HttpHeaders cabeceras;
  ::ObtenerCabeceras(stringtolower(bloque), cabeceras);
  // The first line's entry was there first and wins.
  for (auto& c : cabeceras) m_cabeceras.emplace(c.first, std::move(c.second));
}

int upnphttp::Leerhttp(int fd, std::string& peticion, std::string& cuerpo) {
  m_cabeceras.clear();
  cuerpo.clear();
  if (!WebRelay::LeerPeticion(fd, peticion)) {
    // A client that closed without a byte is no fault.
    if (!peticion.empty() || Reloj::now() >= m_fin) {
      GenerarLogError("Upnp http: cabecera incompleta, larga o lenta (" +
                      std::to_string(peticion.size()) + " bytes)");
    }
    return -1;
  }
  const size_t finLinea = peticion.find("\r\n");
  const size_t finCabecera = peticion.find("\r\n\r\n");
  ObtenerPrimerLinea(peticion.substr(0, finLinea));
  ObtenerCabeceras(finLinea < finCabecera
                       ? peticion.substr(finLinea + 2, finCabecera - finLinea - 2)
                       : std::string());
  cuerpo = peticion.substr(finCabecera + 4);
  peticion.resize(finCabecera + 4);
  const auto largo = m_cabeceras.find("content-length");
  if (largo == m_cabeceras.end()) return static_cast<int>(cuerpo.size());
  int esperado = 0;
  if (!Natural(largo->second, esperado) || static_cast<size_t>(esperado) > kMaxCuerpo) {
    GenerarLogError("Upnp http: Content-Length no valido: " + ParaLog(largo->second.substr(0, 32)));
    return -1;
  }
  char bloque[kBloque];
  while (cuerpo.size() < static_cast<size_t>(esperado)) {
    if (PLATFORM::Stopping() || Reloj::now() >= m_fin) {
      GenerarLogError("Upnp http: cuerpo incompleto a tiempo");
      return -1;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kRodajaMs) <= 0) continue;
    const ssize_t n = recv(fd, bloque, sizeof(bloque), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (n <= 0) {
      GenerarLogError("Upnp http: cuerpo cortado");
      return -1;
    }
    cuerpo.append(bloque, static_cast<size_t>(n));
  }
  cuerpo.resize(static_cast<size_t>(esperado));
  return esperado;
}

void upnphttp::ProcesarPeticionHttp(int fd) {
  m_fin = Reloj::now() + std::chrono::milliseconds(kEsperaPeticionMs);
  m_cortado = false;
  std::string peticion, cuerpo;
  if (Leerhttp(fd, peticion, cuerpo) < 0 || peticion.empty()) return;
  GenerarLogDebug("Pregunta HTTP:\r\n" + ParaLog(peticion + cuerpo));
  cuerpo = stringtolower(cuerpo);
  // One line-up for the whole request, however long it takes.
  m_lineUp = m_canales ? m_canales() : nullptr;
  if (!m_lineUp) m_lineUp = std::make_shared<const LineUp>();

  const auto accion = m_cabeceras.find("soapaction");
  if (accion == m_cabeceras.end()) {
    const auto get = m_cabeceras.find("get");
    const auto head = m_cabeceras.find("head");
    if (get == m_cabeceras.end() && head == m_cabeceras.end()) return;
    const bool esHead = head != m_cabeceras.end();
    const std::string ruta = esHead ? head->second : get->second;
    if (ruta == "/device.xml" || ruta == "/contentdirectory.xml" ||
        ruta == "/connectionmanager.xml") {
      EnviarXmlupnp(ruta, fd, esHead);
    } else if (ruta.find("logo=") != std::string::npos ||
               ruta.find("logoprograma=") != std::string::npos) {
      // HEAD of any image path gets the image head, found or not: players
      // only look at the type.
      if (esHead) {
        Enviar(fd,
               std::string("HTTP/1.1 200 OK\r\n") + kServidor + "CONTENT-TYPE: image/jpeg\r\n\r\n");
      } else {
        EnviarLogo(ruta, fd);
      }
    } else if (ruta == "/canales.xml") {
      EnviarCanales(fd, esHead);
    } else if (ruta.find("epg=") != std::string::npos) {
      EnviarEpg(ruta, fd);
    }
    return;
  }
  if (accion->second != kAccionBrowse) {
    const std::string fallo = Fallo("401 Invalid Action", 401, "Invalid Action");
    Enviar(fd, fallo);
    GenerarLogDebug("Respuesta error 401:\r\n" + fallo.substr(0, fallo.find("\r\n\r\n") + 4));
    return;
  }
  ProcesarEnvelope(fd, cuerpo);
}

void upnphttp::EnviarXmlupnp(const std::string& ruta, int fd, bool head) {
  const std::string* documento = &DocumentoDispositivo();
  const char* log = "Respuesta device HTTP:\r\n";
  if (ruta == "/contentdirectory.xml") {
    documento = &DocumentoContentDirectory();
    log = "Respuesta contentDirectory HTTP:\r\n";
  } else if (ruta == "/connectionmanager.xml") {
    documento = &DocumentoConnectionManager();
    log = "Respuesta connectionManager HTTP:\r\n";
  }
  const std::string cabecera = CabeceraXml(documento->size());
  Enviar(fd, head ? cabecera : cabecera + *documento);
  GenerarLogDebug(log + cabecera);
}

void upnphttp::EnviarLogo(const std::string& ruta, int fd) {
  const size_t programa = ruta.find("logoprograma=");
  if (programa != std::string::npos) {
    const std::string resto = ruta.substr(programa + strlen("logoprograma="));
    EnviarLogotipoPrograma(resto.substr(0, resto.find(' ')), fd);
    return;
  }
  const std::string parte = ruta.substr(ruta.find("logo="));
  const size_t igual = parte.find('=');
  if (igual == std::string::npos) {
    Enviar(fd, kNoEncontrado);
    return;
  }
  const std::string resto = parte.substr(igual + 1);
  EnviarLogotipo(resto.substr(0, resto.find(' ')), fd);
}

void upnphttp::EnviarFichero(const std::string& ruta, const char* tipo, int fd, bool head) {
  HostFile fichero;
  if (!ruta.empty() && TheHost().FileExists(ruta)) fichero = HostFile::ForRead(ruta);
  if (!fichero) {
    Enviar(fd, kNoEncontrado);
    return;
  }
  const int64_t largo = TheHost().FileLength(fichero.handle());
  if (!Enviar(fd, "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: " + std::to_string(largo) + "\r\n" +
                      kServidor + "CONTENT-TYPE: " + tipo + "\r\n\r\n") ||
      head) {
    return;
  }
  char bloque[kBloqueFichero];
  for (;;) {
    const ssize_t n = fichero.Read(bloque, sizeof(bloque));
    if (n <= 0 || !Enviar(fd, std::string(bloque, static_cast<size_t>(n)))) break;
  }
}

void upnphttp::EnviarLogotipo(const std::string& canal, int fd) {
  const auto encontrado = m_lineUp->fullChannels.find(ConvertStringtoint(canal));
  EnviarFichero(
      encontrado == m_lineUp->fullChannels.end() ? std::string() : encontrado->second.logo,
      "image/jpeg", fd, false);
}

void upnphttp::EnviarLogotipoPrograma(const std::string& parametro, int fd) {
  const std::vector<std::string> partes = split(parametro, ';');
  if (partes.size() < 2) {
    Enviar(fd, kNoEncontrado);
    return;
  }
  const int imagen = ConvertStringtoint(partes[0]);
  char ruta[256];
  snprintf(ruta, sizeof(ruta), httpBaseLogosProgramas, imagen / 10000, imagen);
  // The operator gets what is left of the request's time, less a reserve
  // for the channel logo that stands in when it fails.
  int segundos = SegundosRestantes(kReservaLogoMs);
  http cliente;
  bool relayado = false;
  if (segundos >= 1) {
    cliente.EstablecerTimeoutConexion(std::min(segundos, kConexionImagenSegundos));
    cliente.EstablecerTimeoutRecepcion(segundos);
    relayado = cliente.conectarhttp(httpHostQuorvina, PuertoHttpQuorvina, ruta);
  }
  char bloque[http::kBlock];
  for (bool primero = true; relayado; primero = false) {
    segundos = SegundosRestantes(primero ? kReservaLogoMs : 0);
    if (segundos < 1) {
      if (!primero) GenerarLogError("Upnp http: imagen de programa cortada por tiempo");
      relayado = !primero;
      break;
    }
    cliente.EstablecerTimeoutRecepcion(segundos);
    const int n = cliente.Leerhttp(bloque, http::kBlock, true);
    if (n <= 0) {
      relayado = !primero;
      break;
    }
    if (!Enviar(fd, std::string(bloque, static_cast<size_t>(n))) || n < http::kBlock) break;
  }
  cliente.desconectar();
  if (!relayado) EnviarLogotipo(partes[1], fd);
}

void upnphttp::EnviarCanales(int fd, bool head) {
  EnviarFichero(PathCompletoCanales, "text/xml;charset=\"utf-8\"", fd, head);
}

void upnphttp::EnviarEpg(const std::string& ruta, int fd) {
  const std::vector<std::string> partes = split(ruta, '=');
  if (partes.size() < 2 || m_lineUp->fullChannels.count(ConvertStringtoint(partes[1])) == 0) {
    Enviar(fd, kNoEncontrado);
    return;
  }
  // No guide is served here: a known channel is told so as well.
  Enviar(fd, kNoEncontrado);
}

void upnphttp::ProcesarEnvelope(int fd, const std::string& cuerpo) {
  Envelope envelope;
  if (!ObtenerDatosenvelope(cuerpo, envelope) ||
      (envelope.flag != "browsemetadata" && envelope.flag != "browsedirectchildren")) {
    GenerarLogError("Upnp http: Browse con argumentos no validos");
    Enviar(fd, Fallo("500 Internal Server Error", 402, "Invalid Args"));
    return;
  }
  const bool contenedor = envelope.objeto == "0" || envelope.objeto == "canales";
  if (envelope.flag == "browsedirectchildren" && !contenedor) {
    Enviar(fd, Fallo("500 Internal Server Error", 701, "No such object"));
    return;
  }
  envelope.cantidad = std::min(envelope.cantidad, kMaxItems);
  const std::string ip = ObtenerIPAdaptador(fd);
  const std::string respuesta =
      envelope.flag == "browsemetadata"
          ? EnviarMetadataCanal(*m_lineUp, ConvertStringtoint(envelope.objeto), ip)
          : DirectorioCanales(*m_lineUp, envelope.inicio, envelope.cantidad, ip);
  Enviar(fd, "HTTP/1.1 200 OK\r\nExt:\r\nContent-Length: " + std::to_string(respuesta.size()) +
                 "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nConnection: close\r\nServer: "
                 "UPnP/1.0 iptvquorvina -Brastoket TV\r\n\r\n" +
                 respuesta);
}

void* upnphttp::Process() {
  Socket escucha;
  bool avisado = false;
  while (!PararProceso && !StopRequested() && !AbrirListenSocket(escucha, PuertoHttpUpnp)) {
    if (!avisado) {
      GenerarLogError("Upnp http: no se puede abrir el puerto " + std::to_string(PuertoHttpUpnp) +
                      ": " + strerror(errno));
    }
    avisado = true;
    SleepFor(1000);
  }
  while (!PararProceso && !StopRequested()) {
    pollfd p{escucha.fd(), POLLIN, 0};
    if (poll(&p, 1, kRodajaMs) <= 0) continue;
    Socket cliente(accept4(escucha.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!cliente.valid()) {
      SleepFor(100);
      continue;
    }
    ProcesarPeticionHttp(cliente.fd());
    m_lineUp.reset();
    shutdown(cliente.fd(), SHUT_WR);
    // Unread bytes would turn the close into a reset that may cost the
    // client the answer: drain what is there, briefly.
    char resto[4096];
    const auto fin = Reloj::now() + std::chrono::milliseconds(kDrenajeMs);
    while (recv(cliente.fd(), resto, sizeof(resto), MSG_DONTWAIT) > 0 && Reloj::now() < fin) {
      pollfd q{cliente.fd(), POLLIN, 0};
      poll(&q, 1, 20);
    }
  }
  return nullptr;
}
