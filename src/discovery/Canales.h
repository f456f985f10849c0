// The channel line-up that the host shows. The service discovery records
// become "Canales.xml" (written by the rebuild thread); that file, the
// subscriber's external channels and renumbering, the logos, the genre
// groups and the on-demand channel become the published line-up.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "discovery/Canal.h"
#include "discovery/CanalesFiles.h"
#include "discovery/CanalesXml.h"
#include "discovery/LogoResolver.h"
#include "discovery/ServiceList.h"
#include "discovery/ServicesOrder.h"

class Canales : public PLATFORM::CThread {
 public:
  // Loads the stored line-up at once (and starts a rebuild when the stored
  // discovery records ask for one). `probe` is ComprobarCanal and
  // `download` fetches from the application server unless a test stands in
  // for the network.
  explicit Canales(ChannelProbe probe = nullptr, LogoResolver::Download download = nullptr);
  ~Canales() override;

  void Inicializar();
  // Brings the line-up up to date with the discovery records; called from
  // one thread at a time (the constructor, then the controller).
  void CargarCanales();
  void* Process() override;
  // Loads "Canales.xml" and publishes its line-up; forgets the recorded
  // versions when it can't.
  void CargarFichero();
  void EliminarCanales();

  // Readers; safe from any thread while a load replaces the line-up.
  std::shared_ptr<const LineUp> Snapshot() const;
  std::vector<MiembroGrupo> GetChannelGroupMembers(const std::string& group) const;
  bool ObtenerCanal(int id, Canal& canal) const;
  int NumeroCanales() const;
  int NumeroGrupos() const;
  bool Cargado() const { return m_cargado; }
  CanalesRecorded GetRecorded() const;

 private:
  // The configuration a load or rebuild works with, taken in one piece.
  struct Filter {
    std::string packages;
    std::string demarcation;
    int searchType = 0;
    bool allPackages = false;
    bool hideReplaced = true;
    bool loadHD = true;
  };

  static Filter FilterFromConfiguration();
  // CargarCanales, with logo downloads only when the caller may wait for
  // them.
  void Actualizar(bool descargarLogos);
  void CargarFichero(const Filter& filter, bool descargarLogos);
  bool ProcesarFichero(const Filter& filter, bool descargarLogos);
  void GenerarXML(const Filter& filter);
  void SetVersions(int orderVersion, int listVersion, bool searchTypeToo);
  bool Parar();

  ChannelProbe m_probe;
  LogoResolver::Download m_download;
  ServiceList m_serviceList;
  ServicesOrder m_servicesOrder;
  // Taken by CargarCanales while the thread is idle; the thread works from it.
  Filter m_filter;
  std::atomic<bool> m_cargado{false};
  // Logos are not downloaded while the host waits for the constructor; the
  // first CargarCanales of the controller's thread loads them.
  std::atomic<bool> m_logosPendientes{false};

  mutable std::mutex m_mutex;  // guards the two below, never held across I/O
  std::shared_ptr<const LineUp> m_lineUp;
  CanalesRecorded m_recorded;
};
