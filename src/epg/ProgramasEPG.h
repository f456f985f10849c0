// The guide store: turns the guide files the day receivers write into guide
// entries for the host, maps genres to the host's codes, and enriches the
// programmes with details that its own thread fetches from the application
// server into a details cache beside each guide file.
#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "epg/CarpetaGuia.h"
#include "epg/DetalleProgramaEPG.h"
#include "epg/EPG_Quorvina.h"
#include "epg/EnlaceSeriesGuia.h"
#include "epg/GuideFields.h"
#include "epg/MapaGeneros.h"

class Canales;
struct CargaGuia;

class ProgramasEPG : public PLATFORM::CThread {
 public:
  static constexpr time_t kPausaDetalles = 43200;  // between two runs of the details thread

  explicit ProgramasEPG(const Canales& canales);
  ~ProgramasEPG() override;

  // The guide of one channel between `start` and `end`, handed entry by
  // entry to `sink` (one guide file in memory at a time).
  void CargarCanal(unsigned int channel, time_t start, time_t end, const EntradaSink& sink);
  // The same, appended to a list.
  void CargarCanal(unsigned int channel, time_t start, time_t end, std::vector<EPG_Quorvina>& list);
  // One programme by its id in the channel's guide files.
  bool GetProgramaEPG(int channel, uint32_t programme, EPG_Quorvina& entry);
  // The channel a programme was last seen on (HD twins win); -1 when none.
  int GetProgramaChannelUid(uint32_t programme) const;

  // A guide day arrived: the details may be fetched again at once.
  void ReiniciarDetalles() { m_siguienteDetalles = 0; }
  time_t SiguienteDetalles() const { return m_siguienteDetalles; }
  // Nearly every channel's guide was asked for once.
  bool CargadoCompleto() const { return m_completo; }

  // The series rules the parsed entries feed (null: none).
  void EnlazarSeries(EnlaceSeriesGuia* series) { m_series = series; }

  // Tells the host that the guide of every channel but the on-demand one
  // changed.
  void AvisarCanales();

  // The details thread: details of the next hours first, then of every
  // programme, the host told after each pass.
  void* Process() override;

 private:
  void CargarFichero(CargaGuia& carga, const std::string& name);
  // Loads the genre map at the first request that finds it empty.
  std::shared_ptr<const MapaGeneros> Generos();
  const EtiquetasDetalle& Etiquetas();
  // Records the programmes a load met for its channel (HD twins win).
  void RegistrarProgramas(const CargaGuia& carga);
  void MarcarCargado(int channel);

  void ObtenerDetalles(time_t from, time_t to);
  bool ObtenerInformacionAmpliadaEPG(uint32_t id, DetalleProgramaEPG& detalle);

  // The series rules' hooks; nothing without linked rules.
  void ComprobarSerie(const EPG_Quorvina& entry) {
    if (EnlaceSeriesGuia* s = m_series) s->ComprobarSerie(entry);
  }
  void LimpiarSeriesCanal(int channel) {
    if (EnlaceSeriesGuia* s = m_series) s->LimpiarSeriesCanal(channel);
  }
  void LimpiarSeries() {
    if (EnlaceSeriesGuia* s = m_series) s->LimpiarSeries();
  }

  const Canales& m_canales;
  std::atomic<EnlaceSeriesGuia*> m_series{nullptr};
  ListadoCarpeta m_guias;  // the guide folder
  std::atomic<time_t> m_siguienteDetalles{0};
  std::atomic<bool> m_completo{false};
  std::atomic<bool> m_faltanDetalles{false};
  std::once_flag m_etiquetasLeidas;
  EtiquetasDetalle m_etiquetas;

  mutable std::mutex m_mutex;  // guards the five below; never held across I/O or the host
  RelojGuia m_reloj;           // the days converted so far, handed from request to request
  std::shared_ptr<const MapaGeneros> m_generos;
  std::vector<int> m_canalesCargados;
  std::map<uint32_t, int> m_canalPrograma;                // programme id -> channel
  std::map<int, std::vector<uint32_t>> m_programasCanal;  // channel -> its programme ids
};
