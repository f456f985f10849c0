// Shared set-up of the channel list tests: a fake host, a user folder tree,
// a client folder with the default logo, a known subscriber configuration,
// and a writer of "Canales.xml" lines in its format.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/DatosConfiguracion.h"
#include "backend/HttpGlobals.h"
#include "common/Globals.h"
#include "discovery/Canales.h"
#include "support/FakeHost.h"

namespace canales_test {

// One "Canal" line of "Canales.xml" as the writer makes it.
struct Line {
  int numero = 0;
  int id = 0;
  std::string nombre = {};
  std::string extra = {};  // more attributes, each followed by a blank
  int serviceType = 1;
  int sustituto = 0;  // 0: the channel's own id
};

inline std::string CanalLine(const Line& l) {
  const int sustituto = l.sustituto == 0 ? l.id : l.sustituto;
  return "<Canal NumeroCanal=\"" + std::to_string(l.numero) + "\" ID=\"" + std::to_string(l.id) +
         "\" Nombre=\"" + l.nombre + "\" " + l.extra + "ServiceNameOriginal=\"" +
         std::to_string(sustituto) + "\" ServiceType=\"" + std::to_string(l.serviceType) +
         "\" ip=\"239.0.0." + std::to_string(l.id % 250) + "\" puerto=\"8208\" />\n";
}

// The fields of a channel but its id and logo, to compare in one go.
inline auto Fields(const Canal& c) {
  return std::make_tuple(c.numero, c.nombre, c.ip, c.puerto, c.genero, c.idSustituto, c.HD,
                         c.operador);
}

inline std::vector<int> Ids(const ChannelMap& channels) {
  std::vector<int> ids;
  for (const auto& [id, canal] : channels) ids.push_back(id);
  return ids;
}

inline std::string CanalesFile(const std::vector<Line>& lines) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Canales>\n<Version VersionOrden=\"4\" "
      "VersionCanales=\"7\" paquetes=\"P1\" demarcacion=\"19\" TipodeBusqueda=\"0\" />\n";
  for (const Line& l : lines) text += CanalLine(l);
  return text + "</Canales>\n";
}

class CanalesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    PararProceso = false;
    ModoDebug = true;
    strUserPath = user.path();
    strClientPath = client.path();
    PathRecorded = PathTimeShift = user.file("rec");
    CrearDirectorios();
    mkdir(client.file("Logos").c_str(), 0755);
    client.Write("Logos/597.jpg", "default");

    // Otherwise the defaults: demarcation 19, search type 0, hide replaced, HD.
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.paquetes = "P1";
    configuracionquorvina.ListaPaquetes = {"P1"};
    FicheroCanalesExternos.clear();
    // Nothing listens there: a logo download fails at once.
    httpHostQuorvinaConfiguracion = "127.0.0.1";
    PuertoHttpQuorvina = 1;
  }

  // A file of the channel folder, "Canales.xml" unless named.
  void WriteCanales(const std::string& text, const std::string& name = "Canales.xml") {
    user.Write("Canales/" + name, text);
  }
  std::string ReadCanales() const { return user.Read("Canales/Canales.xml"); }

  // Builds the list (which loads at once) and waits for any rebuild.
  Canales& Create(Canales::Probe probe = nullptr) {
    list = std::make_unique<Canales>(probe ? std::move(probe) : [](const std::string&, int) {
      ADD_FAILURE() << "unexpected multicast probe";
      return false;
    });
    WaitIdle();
    return *list;
  }
  bool WaitIdle(int ms = 20000) {
    for (; list->Running() && ms > 0; ms -= 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !list->Running();
  }
  int CountNotifications(const std::string& text) const {
    const auto all = host.Notifications();
    return static_cast<int>(std::count_if(all.begin(), all.end(),
                                          [&](const FakeHost::Line& n) { return n.text == text; }));
  }

  // Puts back a global the test changes when the test ends.
  template <typename T, typename V = T>
  struct Keep {
    T& global;
    V value = global;
    ~Keep() { global = value; }
  };
  // First members: they restore after the list and the folders are gone.
  Keep<DatosConfiguracion> conf_{configuracionquorvina};
  Keep<std::string> externos_{FicheroCanalesExternos}, host_{httpHostQuorvinaConfiguracion},
      recorded_{PathRecorded}, timeShift_{PathTimeShift};
  Keep<int> port_{PuertoHttpQuorvina};
  Keep<std::atomic<bool>, bool> debug_{ModoDebug}, stop_{PararProceso};
  FakeHost host;
  TempDir user;
  TempDir client;
  std::unique_ptr<Canales> list;
};

}  // namespace canales_test
