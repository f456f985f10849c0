// The channel line-up that the host shows. The service discovery records
// become "Canales.xml" (written by the rebuild thread); that file, the
// subscriber's external channels and renumbering, the logos, the genre
// groups and the on-demand channel become the in-memory line-up.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Thread.h"
#include "common/XMLNode.h"
#include "discovery/Canal.h"
#include "discovery/ServiceList.h"
#include "discovery/ServicesOrder.h"
#include "host/xbmc_pvr_types.h"

// Channel id to channel.
using ChannelMap = std::map<int, Canal>;
// Order key (number x 10, raised until free) to channel id.
using OrderMap = std::map<int, int>;
using GroupMap = std::map<std::string, PVR_CHANNEL_GROUP>;
// Group name to (channel id, channel number).
using MemberMap = std::multimap<std::string, std::pair<int, int>>;

// One whole line-up. Published immutable and replaced whole on every load,
// so a reader never sees half of one load and half of another.
struct LineUp {
  ChannelMap channels;      // what the host gets
  ChannelMap fullChannels;  // before hiding replaced channels; no on-demand channel
  OrderMap order;
  GroupMap groups;
  MemberMap members;
};

class Canales : public PLATFORM::CThread {
 public:
  // Tells whether a multicast group is sending.
  using Probe = std::function<bool(const std::string& ip, int port)>;

  // What "Canales.xml" records about the inputs it was generated from.
  struct Recorded {
    int orderVersion = -1;
    int listVersion = -1;
    int searchType = -1;
    std::string packages;
    std::string demarcation;
  };

  static constexpr const char* httpBaseLogos = "/appclient/incoming/epg/big/";
  static constexpr const char* httpLogosBlancos = "MAY_1/imSer/";
  static constexpr const char* httpExtensionLogosBlancos = ".jpg";

  // Loads the stored line-up at once (and starts a rebuild when the stored
  // discovery records ask for one). `probe` is ComprobarCanal unless a test
  // stands in for the network.
  explicit Canales(Probe probe = nullptr);
  ~Canales() override;

  void Inicializar();
  // Brings the line-up up to date with the discovery records; called from
  // one thread at a time (the constructor, then the controller).
  void CargarCanales();
  void* Process() override;
  void CargarFichero();
  bool ProcesarFichero();
  void GenerarXML();
  std::string GenerarLineasCanales(const ServicesOrder::Orden& orden, bool todosPaquetes);
  void CargarCanalesExternos(ChannelMap& canales, ChannelMap& completos);
  void CargarOrdenes(ChannelMap& canales, ChannelMap& completos);
  static void AgnadirCanalVOD(LineUp& lineUp);
  std::string ObtenerLogotipo(const std::string& logo);
  static std::string NombreLogotipo(const std::string& logo);
  void EliminarCanales();

  // Readers; safe from any thread while a load replaces the line-up.
  std::shared_ptr<const LineUp> Snapshot() const;
  ChannelMap GetCanales() const;
  ChannelMap ObtenerCanalesCompletos() const;
  OrderMap ObtenerOrden() const;
  GroupMap GetChannelGroups() const;
  std::vector<PVR_CHANNEL_GROUP_MEMBER> GetChannelGroupMembers(const std::string& group) const;
  bool ObtenerCanal(int id, Canal& canal) const;
  int NumeroCanales() const;
  int NumeroGrupos() const;
  bool Cargado() const { return m_cargado; }
  Recorded GetRecorded() const;

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
  // Logo downloads of one load: switched off after four fallbacks without
  // a single success.
  struct LogoState {
    bool download = true;
    bool succeeded = false;
    int fallbacks = 0;
  };

  static Filter FilterFromConfiguration();
  void CargarFichero(const Filter& filter);
  bool ProcesarFichero(const Filter& filter);
  void GenerarXML(const Filter& filter);
  std::string GenerarLineasCanales(const ServicesOrder::Orden& orden, bool todosPaquetes,
                                   const std::string& packages);
  void ReadRecorded(const XMLNode& version);
  bool ReadChannel(const XMLNode& node, const Filter& filter, LogoState& logos, Canal& canal);
  std::string ResolveLogo(const std::string& value, LogoState& state);
  std::string ResolveExternalLogo(const std::string& value, bool operador);
  static void BuildOrder(LineUp& lineUp);
  static void HideReplaced(ChannelMap& channels);
  static void BuildGroups(LineUp& lineUp);
  void Publish(std::shared_ptr<const LineUp> lineUp);
  void SetVersions(int orderVersion, int listVersion, bool searchTypeToo);
  bool Parar();
  // Parses one of the stored files; the empty node when it is missing or
  // malformed (malformed is logged, missing is not).
  static XMLNode ParseStored(const std::string& path, const char* root, const char* name);

  Probe m_probe;
  ServiceList m_serviceList;
  ServicesOrder m_servicesOrder;
  // Taken by CargarCanales while the thread is idle; the thread works from it.
  Filter m_filter;
  std::atomic<bool> m_cargado{false};

  mutable std::mutex m_mutex;  // guards the two below, never held across I/O
  std::shared_ptr<const LineUp> m_lineUp;
  Recorded m_recorded;
};

extern Canales* canales;
