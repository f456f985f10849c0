// Shared set-up of the channel list tests: a fake host, a user folder tree,
// a client folder with the default logo, a known subscriber configuration,
// and writers of the stored files in their formats.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
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

inline std::string CanalesFile(const std::vector<Line>& lines,
                               const std::string& version =
                                   "<Version VersionOrden=\"4\" VersionCanales=\"7\" "
                                   "paquetes=\"P1\" demarcacion=\"19\" TipodeBusqueda=\"0\" />\n") {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Canales>\n" + version;
  for (const Line& l : lines) text += CanalLine(l);
  return text + "</Canales>\n";
}

class CanalesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedConf_ = configuracionquorvina;
    savedExternos_ = FicheroCanalesExternos;
    savedHost_ = httpHostQuorvinaConfiguracion;
    savedPort_ = PuertoHttpQuorvina;
    savedRecorded_ = PathRecorded;
    savedTimeShift_ = PathTimeShift;
    savedDebug_ = ModoDebug;

    PararProceso = false;
    ModoDebug = true;
    strUserPath = user.path();
    strClientPath = client.path();
    PathRecorded = PathTimeShift = user.file("rec");
    CrearDirectorios();
    mkdir(client.file("Logos").c_str(), 0755);
    client.Write("Logos/597.jpg", "default");

    DatosConfiguracion conf;
    conf.paquetes = "P1";
    conf.ListaPaquetes = {"P1"};
    conf.Provincia = "19";
    conf.TiposdeBusqueda = 0;
    conf.TodosPaquetes = false;
    conf.OcultarSustituidos = true;
    conf.CargarCanalesHD = true;
    configuracionquorvina = conf;
    FicheroCanalesExternos.clear();
    // Nothing listens there: a logo download fails at once.
    httpHostQuorvinaConfiguracion = "127.0.0.1";
    PuertoHttpQuorvina = 1;
  }

  void TearDown() override {
    list.reset();
    PararProceso = false;
    configuracionquorvina = savedConf_;
    FicheroCanalesExternos = savedExternos_;
    httpHostQuorvinaConfiguracion = savedHost_;
    PuertoHttpQuorvina = savedPort_;
    PathRecorded = savedRecorded_;
    PathTimeShift = savedTimeShift_;
    ModoDebug = savedDebug_;
  }

  // Files under the user folder, by their path below it.
  void WriteCanales(const std::string& text) { user.Write("Canales/Canales.xml", text); }
  void WriteChannelFolder(const std::string& name, const std::string& text) {
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

  bool WaitIdle(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (list->Running()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  int CountNotifications(const std::string& text) const {
    int count = 0;
    for (const auto& n : host.Notifications()) count += n.text == text ? 1 : 0;
    return count;
  }

  FakeHost host;
  TempDir user;
  TempDir client;
  std::unique_ptr<Canales> list;

 private:
  DatosConfiguracion savedConf_;
  std::string savedExternos_;
  std::string savedHost_;
  int savedPort_ = 0;
  std::string savedRecorded_;
  std::string savedTimeShift_;
  bool savedDebug_ = false;
};

}  // namespace canales_test
