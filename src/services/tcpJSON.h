// A short-lived client of the host's JSON-RPC interface: it switches the
// host to a channel, stops or pauses its player, restores its speed after a
// seek and asks for a library scan. Each request connects anew. The thread
// is used only to send a speed change in the background.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "common/Socket.h"
#include "common/Thread.h"

class tcpJSON : public PLATFORM::CThread {
 public:
  static constexpr int kPuerto = 9090;
  static constexpr int kTimeout = 5;  // seconds
  static constexpr uint32_t kSinCanal = 0xFFFFFFFF;
  static constexpr int kBloqueRespuesta = 4096;

  explicit tcpJSON(int puerto = kPuerto, int timeout = kTimeout);
  ~tcpJSON() override;

  // IPv6 loopback first; IPv4 only when no IPv6 socket can be made.
  bool conectarJSONRPC();
  void desconectar();
  // Sends the text with one send; with `leer`, reads the reply in
  // 4096-byte receives until one brings less.
  std::string EnviarMsgJSONRPC(const std::string& mensaje, bool leer, bool desconectarDespues);

  bool PEstablecerVelocidad(int velocidad);
  // With `segundoPlano` the request is sent from the object's thread.
  bool EstablecerVelocidad(int velocidad, bool segundoPlano);
  bool PararCanalPVR();
  bool PausarContinuarCanalPVR();
  bool EstablecerCanalPVR(uint32_t canal);
  // The host's id of the channel of that name (any case); 0xFFFFFFFF when
  // the host has none or can't be reached, 0 for an unreadable answer.
  uint32_t ObtenerCanalporNombre(const std::string& nombre);
  void Actualizarbiblioteca(const std::string& carpeta);
  void ActualizarbibliotecaSeries();
  void ActualizarbibliotecaRecording();

  void* Process() override;

  // The request texts.
  static std::string MensajeVelocidad(int player, int velocidad);
  static std::string MensajeParar(int player);
  static std::string MensajePausa(int player);
  static std::string MensajeAbrirCanal(uint32_t canal);
  static std::string MensajeBiblioteca(const std::string& carpeta);
  static const char* const kMensajePlayers;
  static const char* const kMensajeCanales;
  // Reading the answers: the first active player; the channel's id.
  static std::optional<int> PlayerActivo(const std::string& respuesta);
  static uint32_t CanalEnRespuesta(const std::string& respuesta, const std::string& nombre);

 private:
  // Connect, find the active player, send the action built for it.
  bool AccionPlayer(std::string (*mensaje)(int player, int valor), int valor);

  std::string m_host = "127.0.0.1";
  const int m_puerto;
  const int m_timeout;
  bool m_conectado = false;
  Socket m_socket;
  // The speed asked for in the background: the last one asked wins, and the
  // sender takes it under the lock, so one asked while it sends is sent next.
  std::mutex m_pendienteMutex;
  bool m_pendiente = false;
  int m_velocidadPendiente = 0;
  bool m_enviando = false;  // a sender owns the thread
};
