#include "services/tcpJSON.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rapidjson/document.h>
#include <sys/socket.h>

#include "common/Conversions.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Text.h"

const char* const tcpJSON::kMensajePlayers =
    "{\"id\": 1,\"jsonrpc\":\"2.0\", \"method\": \"Player.GetActivePlayers\"}";
const char* const tcpJSON::kMensajeCanales =
    "{\"jsonrpc\":\"2.0\",\"method\":\"PVR.GetChannels\",\"params\":{\"channelgroupid\":"
    "\"alltv\",\"properties\":[\"channel\"]},\"id\":1}\r\n";

namespace {

constexpr int kEsperaHilo = 1000;  // ms a finished sender may take to leave

bool Opcion(int fd, int option, int seconds) {
  timeval tv{};
  tv.tv_sec = seconds;
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof(tv)) == 0;
}

void Reutilizar(int fd) {
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
}

}  // namespace

tcpJSON::tcpJSON(int puerto, int timeout) : m_puerto(puerto), m_timeout(timeout) {
  SetThreadName("quorvina-json");
}

tcpJSON::~tcpJSON() {
  StopThread(0);
}

bool tcpJSON::conectarJSONRPC() {
  GenerarLogDebug("RPC " + m_host + "-" + convertInttoString(m_puerto));
  m_conectado = false;
  Socket socket6(socket(AF_INET6, SOCK_STREAM, 0));
  if (socket6.valid()) {
    Reutilizar(socket6.fd());
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<uint16_t>(m_puerto));
    address.sin6_addr = in6addr_loopback;
    if (connect(socket6.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      return false;  // no second try over IPv4 when IPv6 exists
    }
    m_socket = std::move(socket6);
  } else {
    Socket socket4(socket(AF_INET, SOCK_STREAM, 0));
    if (!socket4.valid()) return false;
    Reutilizar(socket4.fd());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_puerto));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket4.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      return false;
    }
    m_socket = std::move(socket4);
  }
  if (!Opcion(m_socket.fd(), SO_RCVTIMEO, m_timeout) ||
      !Opcion(m_socket.fd(), SO_SNDTIMEO, m_timeout)) {
    m_socket.reset();
    return false;
  }
  m_conectado = true;
  return true;
}

void tcpJSON::desconectar() {
  if (m_socket.valid()) m_socket.reset();
  m_conectado = false;
  GenerarLogDebug("desconectar.");
}

std::string tcpJSON::EnviarMsgJSONRPC(const std::string& mensaje, bool leer,
                                      bool desconectarDespues) {
  if (send(m_socket.fd(), mensaje.data(), mensaje.size(), MSG_NOSIGNAL) < 0) return std::string();
  std::string respuesta;
  if (leer) {
    char bloque[kBloqueRespuesta];
    for (;;) {
      const ssize_t read = recv(m_socket.fd(), bloque, sizeof(bloque), 0);
      if (read < 1) break;
      respuesta.append(bloque, static_cast<size_t>(read));
      // A full block means more may follow.
      if (read < kBloqueRespuesta) break;
    }
  }
  if (desconectarDespues) desconectar();
  return respuesta;
}

std::string tcpJSON::MensajeVelocidad(int player, int velocidad) {
  return "{\"jsonrpc\":\"2.0\",\"method\":\"Player.SetSpeed\",\"params\":{\"playerid\":" +
         convertInttoString(player) + ",\"speed\":" + convertInttoString(velocidad) + "},\"id\":1}";
}

std::string tcpJSON::MensajeParar(int player) {
  return "{\"jsonrpc\":\"2.0\",\"method\":\"Player.Stop\",\"params\":{\"playerid\":" +
         convertInttoString(player) + "},\"id\":1}";
}

std::string tcpJSON::MensajePausa(int player) {
  return "{\"jsonrpc\":\"2.0\",\"method\":\"Player.PlayPause\",\"params\":{\"playerid\":" +
         convertInttoString(player) + "},\"id\":1}";
}

std::string tcpJSON::MensajeAbrirCanal(uint32_t canal) {
  return "{\"jsonrpc\":\"2.0\",\"method\":\"Player.Open\",\"params\":{\"item\":{\"channelid\":" +
         convertInttoString(canal) + "}},\"id\":1}";
}

std::string tcpJSON::MensajeBiblioteca(const std::string& carpeta) {
  return "{\"jsonrpc\":\"2.0\",\"method\":\"VideoLibrary.Scan\",\"params\":{\"directory\":\"" +
         barraadoblebarra(carpeta) + "\"},\"id\":1}";
}

std::optional<int> tcpJSON::PlayerActivo(const std::string& respuesta) {
  rapidjson::Document documento;
  GenerarLogDebug("Jsonrpc Parse");
  documento.Parse(respuesta.c_str(), respuesta.size());
  GenerarLogDebug("Jsonrpc HasParseError");
  if (documento.HasParseError() || !documento.IsObject()) return std::nullopt;
  const auto result = documento.FindMember("result");
  if (result == documento.MemberEnd() || !result->value.IsArray() || result->value.Empty()) {
    return std::nullopt;
  }
  const rapidjson::Value& player = result->value[0];
  if (!player.IsObject()) return std::nullopt;
  const auto id = player.FindMember("playerid");
  if (id == player.MemberEnd() || !id->value.IsInt()) return std::nullopt;
  return id->value.GetInt();
}

uint32_t tcpJSON::CanalEnRespuesta(const std::string& respuesta, const std::string& nombre) {
  const std::string buscado = stringtolower(nombre);
  rapidjson::Document documento;
  GenerarLogDebug("GetChannels Parse");
  documento.Parse(respuesta.c_str(), respuesta.size());
  GenerarLogDebug("GetChannels HasParseError");
  if (documento.HasParseError()) return 0;
  GenerarLogDebug("GetChannels HasMember resultCode");
  if (!documento.IsObject()) return 0;
  const auto result = documento.FindMember("result");
  if (result == documento.MemberEnd() || !result->value.IsObject()) return 0;
  const auto channels = result->value.FindMember("channels");
  if (channels == result->value.MemberEnd()) return 0;
  if (!channels->value.IsArray()) return kSinCanal;
  for (const rapidjson::Value& canal : channels->value.GetArray()) {
    if (!canal.IsObject()) continue;
    const auto name = canal.FindMember("channel");
    const auto id = canal.FindMember("channelid");
    if (name == canal.MemberEnd() || !name->value.IsString()) continue;
    const std::string texto(name->value.GetString(), name->value.GetStringLength());
    if (stringtolower(texto) != buscado) continue;
    if (id != canal.MemberEnd() && id->value.IsUint()) return id->value.GetUint();
  }
  return kSinCanal;
}

bool tcpJSON::AccionPlayer(std::string (*mensaje)(int player, int valor), int valor) {
  if (!conectarJSONRPC()) return true;
  const std::string respuesta = EnviarMsgJSONRPC(kMensajePlayers, true, false);
  const std::optional<int> player = PlayerActivo(respuesta);
  if (!player) {
    desconectar();
    return false;
  }
  EnviarMsgJSONRPC(mensaje(*player, valor), false, true);
  return true;
}

bool tcpJSON::PEstablecerVelocidad(int velocidad) {
  return AccionPlayer(&tcpJSON::MensajeVelocidad, velocidad);
}

bool tcpJSON::EstablecerVelocidad(int velocidad, bool segundoPlano) {
  if (!segundoPlano) return PEstablecerVelocidad(velocidad);
  {
    std::lock_guard<std::mutex> lock(m_pendienteMutex);
    m_velocidadPendiente = velocidad;
    m_pendiente = true;
    if (m_enviando) return true;  // the running sender takes it next
    m_enviando = true;
  }
  // A sender that has just found nothing more may still be leaving its
  // thread: it is let end before a new one starts.
  if (!StopThread(kEsperaHilo) || !Start(false)) {
    GenerarLogError("tcpJSON: no se puede enviar la velocidad");
    std::lock_guard<std::mutex> lock(m_pendienteMutex);
    m_enviando = false;
    return false;
  }
  return true;
}

void* tcpJSON::Process() {
  for (;;) {
    int velocidad;
    {
      std::lock_guard<std::mutex> lock(m_pendienteMutex);
      if (!m_pendiente || StopRequested()) {
        m_enviando = false;
        return nullptr;
      }
      m_pendiente = false;
      velocidad = m_velocidadPendiente;
    }
    PEstablecerVelocidad(velocidad);
  }
}

bool tcpJSON::PararCanalPVR() {
  return AccionPlayer([](int player, int) { return MensajeParar(player); }, 0);
}

bool tcpJSON::PausarContinuarCanalPVR() {
  return AccionPlayer([](int player, int) { return MensajePausa(player); }, 0);
}

bool tcpJSON::EstablecerCanalPVR(uint32_t canal) {
  const std::string mensaje = MensajeAbrirCanal(canal);
  if (conectarJSONRPC()) EnviarMsgJSONRPC(mensaje, false, true);
  return true;
}

uint32_t tcpJSON::ObtenerCanalporNombre(const std::string& nombre) {
  if (!conectarJSONRPC()) return kSinCanal;
  const std::string respuesta = EnviarMsgJSONRPC(kMensajeCanales, true, true);
  GenerarLogDebug("GetChannels" + respuesta);
  return CanalEnRespuesta(respuesta, nombre);
}

void tcpJSON::Actualizarbiblioteca(const std::string& carpeta) {
  const std::string mensaje = MensajeBiblioteca(carpeta);
  GenerarLogDebug(mensaje);
  if (conectarJSONRPC()) EnviarMsgJSONRPC(mensaje, false, true);
}

void tcpJSON::ActualizarbibliotecaSeries() {
  Actualizarbiblioteca(PathGrabacionSeries);
}

void tcpJSON::ActualizarbibliotecaRecording() {
  Actualizarbiblioteca(PathRecorded);
}
