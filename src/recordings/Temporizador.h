// One timer: a thread that waits for its programme and then records the
// channel's multicast stream into a file itself (local) or follows the
// cloud's booking until it becomes a cloud recording.
//
// Host threads change the record while the timer's thread reads it: every
// access goes through the record's lock, and readers take copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "common/HostServices.h"
#include "common/Thread.h"
#include "live/StructDatosSock.h"
#include "recordings/DatosTemporizador.h"

class CGUIDialogBase;
class Canales;
class EnlaceSeries;
class EPGQuorvina;
class Recordings;

// What a timer reaches beyond itself.
struct EntornoTemporizador {
  const Canales& canales;
  EPGQuorvina* guia;  // null when there is no guide
  Recordings& grabaciones;
  EnlaceSeries* series = nullptr;  // null when there are no series rules
};

class Temporizador : public PLATFORM::CThread {
 public:
  explicit Temporizador(const EntornoTemporizador& entorno);
  ~Temporizador() override;

  // A new timer from the host's fields: the add-on fields filled, cloud or
  // local chosen (booked or saved). The thread is not started.
  void CrearTemporizador(const DatosTemporizador& host, unsigned int index);
  // A record the series scheduler built.
  void CrearTemporizador(DatosTemporizador& datos, unsigned int index);
  // Reads a timer file and corrects its state; false when it can't be read.
  bool CargarTemporizador(const std::string& path);
  // A cloud record, as the server lists it.
  void CargarTemporizador(const DatosTemporizador& datos);
  void CopiarTemporizador(DatosTemporizador& datos, const DatosTemporizador& host) const;
  void GrabarTemporizador();
  void ComprobarEstadoInicial();
  void RecalcularCloud();
  // Stops or cancels the timer; `cancelar` cancels a cloud booking.
  void DeleteTimer(bool cancelar);
  void UpdateTimer(const DatosTemporizador& host);
  // A cloud timer takes the server's state and times.
  void ActualizarDesdeNube(const DatosTemporizador& nube);

  DatosTemporizador Datos() const;
  int Estado() const;
  bool EsCloud() const;
  bool EsSerie() const;
  bool EnEspera() const { return m_enEspera; }
  // The recording's start and end (margins included).
  time_t InicioGrabacion() const;
  time_t FinGrabacion() const;
  int Error() const { return m_error; }
  // Bookings are numbered as they are made: a cloud list fetched before a
  // timer's booking can't yet hold it.
  uint64_t NumeroReserva() const { return m_reserva; }
  static uint64_t UltimaReserva() { return s_reservas; }

  // The stored text of a timer file, and its reading (an empty record for
  // text that can't be parsed).
  static std::string TextoFichero(const DatosTemporizador& datos);
  static DatosTemporizador ProcesarFicheroTemporizador(const std::string& text);
  static std::string FicheroTemporizador(int index);
  // [SSxEE ]title[ n]extension in the timer's folder: the first name the
  // host reports as free. The folder is created.
  std::string ObtenerNombreFichero(const std::string& extension) const;
  static bool EpgValido(int uid) { return uid != 0 && uid != -1; }

  // Asks the thread to stop, without waiting, and closes the question box
  // its thread has open (cloud or local, or the series'): a thread held by
  // it would miss the stop.
  void Avisar();
  void CerrarPregunta();

  void* Process() override;

 private:
  void Grabar();
  void GrabarLocal();
  void GrabarCloud();
  bool AbrirCanal(int canalId);
  void CerrarCanal();
  // Fills buf with len bytes of payload; fewer at the recording's end, on
  // the add-on's stop or when the timer is deleted; -1 when the channel is
  // gone for good.
  int LeerSockEntrada(unsigned char* buf, int len);
  bool Reconectar(int error);
  bool Terminar() const;
  void Calcular();  // recording start and end, with m_mutex held
  void GuardarDatos(const DatosTemporizador& datos) const;
  bool PreguntarNube();
  // The question box now open (null: none); false when the timer is
  // stopping, so the box is not shown.
  bool RegistrarPregunta(CGUIDialogBase* caja);
  void Reservar(DatosTemporizador& datos) const;

  const EntornoTemporizador m_entorno;
  mutable std::mutex m_mutex;  // guards the three below
  DatosTemporizador m_datos;
  time_t m_inicio = 0;
  time_t m_fin = 0;
  std::atomic<bool> m_enEspera{false};
  std::atomic<bool> m_preguntar{false};
  std::atomic<bool> m_serieNueva{false};
  std::atomic<int> m_error{0};
  mutable std::atomic<uint64_t> m_reserva{0};
  static std::atomic<uint64_t> s_reservas;
  std::mutex m_mutexPregunta;  // guards the question while it is open
  CGUIDialogBase* m_pregunta = nullptr;
  time_t m_siguienteRefresco = 0;
  std::string m_fichero;
  HostFile m_salida;
  StructDatosSock m_sock;
  // The recorder's receive batch and its pause between two receive calls.
  std::vector<char> m_lote;
  int m_pausaUs = 2000;
};
