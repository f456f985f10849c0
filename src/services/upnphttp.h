// The HTTP side of the home-network media server: the description
// documents, the ContentDirectory Browse of the channel line-up, channel
// logos, programme images and the channel file. One request at a time, each
// bounded in size and time.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/Thread.h"
#include "discovery/Canal.h"

class upnphttp : public PLATFORM::CThread {
 public:
  using FuenteCanales = std::function<std::shared_ptr<const LineUp>()>;

  static constexpr size_t kMaxCuerpo = 64 * 1024;
  static constexpr int kEsperaPeticionMs = 5000;
  static constexpr int kMaxItems = 10;

  // What a Browse asks for.
  struct Envelope {
    std::string objeto;
    std::string flag;
    int inicio = 0;
    int cantidad = 1;
  };

  explicit upnphttp(FuenteCanales canales);
  ~upnphttp() override;

  void* Process() override;
  // Reads and answers one request on `fd`; the caller closes it.
  void ProcesarPeticionHttp(int fd);

  // Browse arguments of a (lower-cased) SOAP body; false when the body is
  // not such a request or a number in it is not a non-negative integer.
  static bool ObtenerDatosenvelope(const std::string& cuerpo, Envelope& envelope);
  // The SOAP answer of a container page and of one channel.
  static std::string DirectorioCanales(const LineUp& lineUp, int inicio, int cantidad,
                                       const std::string& ip);
  static std::string EnviarMetadataCanal(const LineUp& lineUp, int canal, const std::string& ip);
  // A UPnP fault under its HTTP head.
  static std::string Fallo(const char* estado, int codigo, const char* descripcion);

 private:
  using Reloj = std::chrono::steady_clock;

  int Leerhttp(int fd, std::string& peticion, std::string& cuerpo);
  void ObtenerPrimerLinea(const std::string& linea);
  void ObtenerCabeceras(const std::string& bloque);
  // False once the request's deadline passed (logged once) or the client
  // went away.
  bool Enviar(int fd, const std::string& datos);
  // Whole seconds left of the request's time, less `reserva` ms.
  int SegundosRestantes(int reserva) const;
  void EnviarXmlupnp(const std::string& ruta, int fd, bool head);
  void EnviarLogo(const std::string& ruta, int fd);
  void EnviarLogotipo(const std::string& canal, int fd);
  void EnviarLogotipoPrograma(const std::string& parametro, int fd);
  void EnviarCanales(int fd, bool head);
  void EnviarEpg(const std::string& ruta, int fd);
  void ProcesarEnvelope(int fd, const std::string& cuerpo);
  void EnviarFichero(const std::string& ruta, const char* tipo, int fd, bool head);

  FuenteCanales m_canales;
  // Lower-cased name to value for the request in hand, the method and its
  // path among them.
  std::map<std::string, std::string> m_cabeceras;
  // The line-up the request in hand reads (one snapshot per request).
  std::shared_ptr<const LineUp> m_lineUp;
  // The request's one deadline, reading and sending alike.
  Reloj::time_point m_fin{};
  bool m_cortado = false;
};
