// The guide download: from the guide's discovery record to a table of days,
// kept on disk in "mapepg.xml"; one DVB-STP receiver per new or changed day
// writes that day's guide file of every channel, and a thread of its own
// waits for the receivers and tells the host when a day has arrived. It owns
// the guide store and forwards the host's guide requests to it.
#pragma once

#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "epg/EPG_Quorvina.h"
#include "epg/MapEPG.h"
#include "epg/ProgramasEPG.h"

class Canales;
class PayLoads;

class EPGQuorvina : public PLATFORM::CThread {
 public:
  explicit EPGQuorvina(const Canales& canales);
  // Stops the waiting thread, the receivers and the details thread.
  ~EPGQuorvina() override;

  // Compares the days the record announces with those on disk, deletes the
  // files of days no longer announced and starts a receiver for every day
  // not yet loaded. Runs on the caller's thread.
  void GenerarEPG(const std::string& registro);

  void GetEPGForChannel(unsigned int channel, time_t start, time_t end, const EntradaSink& sink) {
    m_programas->CargarCanal(channel, start, end, sink);
  }
  bool GetProgramaEPG(int channel, uint32_t programme, EPG_Quorvina& entry) {
    return m_programas->GetProgramaEPG(channel, programme, entry);
  }
  int GetProgramaChannelUid(uint32_t programme) const {
    return m_programas->GetProgramaChannelUid(programme);
  }
  ProgramasEPG& Programas() { return *m_programas; }

  // The day table as it stands.
  TablaDias Dias() const;
  // Receivers still held (running, or ended and not yet handled).
  size_t Receptores() const;

  // Waits for the receivers, in steps of two seconds.
  void* Process() override;

 private:
  struct Receptor {
    std::unique_ptr<PayLoads> payloads;
    int version = 0;
  };

  // The receiver of one day, not started; null when the day has no f1
  // segments.
  std::unique_ptr<PayLoads> CrearReceptor(const std::string& registro, const MapEPG& dia,
                                          const std::vector<int>& wanted);
  // Writes the table as it stands; one writer at a time, the newest last.
  void EscribirMapa();
  void BorrarFicherosSinDia(const std::string& folder, const TablaDias& dias);
  void AtenderTerminados();
  void ArrancarEspera();
  static void Parar(std::vector<Receptor>& receptores,
                    std::chrono::steady_clock::time_point deadline);

  const Canales& m_canales;
  std::unique_ptr<ProgramasEPG> m_programas;

  std::mutex m_escritura;      // one writer of "mapepg.xml" at a time
  mutable std::mutex m_mutex;  // guards the three below; never held across I/O
  TablaDias m_dias;
  std::map<std::string, Receptor> m_receptores;  // by the day's first segment id
  bool m_esperando = false;                      // the waiting thread owns the receivers
};
