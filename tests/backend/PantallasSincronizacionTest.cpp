// The rows of the copies' window: labels, the age text, the copy's state
// and a history record whose recording is gone.
#include <gtest/gtest.h>

#include <string>

#include "backend/PantallasSincronizacion.h"
#include "common/SettingValues.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "series/SyncRecording.h"
#include "support/InProcessHost.h"

namespace {

class Copiador : public CopiadorSinc {
 public:
  bool Iniciar(const std::string&) override { return true; }
  bool EnCurso() override { return false; }
  bool Completa() override { return false; }
  void PedirParada() override {}
  void Parar() override {}
};

std::string Propiedad(const FilaSincronizacion& f, const std::string& nombre) {
  for (const auto& p : f.propiedades)
    if (p.first == nombre) return p.second;
  return "<none>";
}

TEST(PantallasSincronizacionTest, RowsTellAgeStateAndGoneRecordings) {
  InProcessHost host;
  host.UseStorage();
  ConexionEnNubeActivada = false;
  Canales canales;
  Recordings recordings(canales);
  const time_t ahora = 1800000000;
  SyncRecording sync(AjustesSincronizacion{}, AccesoGrabaciones{}, std::make_unique<Copiador>(),
                     [ahora] { return ahora; });
  PantallasSincronizacion pantallas(sync, recordings, canales, [ahora] { return ahora; });

  DatosGrabacion g;
  g.strRecordingId = "42";
  g.StrDescripcionSerie = "Viajeros";
  g.iTemporada = 1;
  g.iCapitulo = 2;
  g.strTitle = "Viajeros T1 Cap. 2 - Segundo viaje";
  g.strIconPath = "icono.jpg";
  g.recordingTime = ahora - (3 * 86400 + 5 * 3600);
  g.iDuration = 1800;
  struct Caso {
    int estado;
    const char* grabando;
    const char* programado;
  };
  for (const Caso& c :
       {Caso{0, "false", "false"}, Caso{1, "true", "false"}, Caso{2, "false", "true"}}) {
    const FilaSincronizacion f = pantallas.FilaGrabacion(g, "", c.estado);
    EXPECT_EQ(f.etiqueta, "Viajeros T1 Cap. 2");
    EXPECT_EQ(f.etiqueta2, "Segundo viaje");
    EXPECT_EQ(Propiedad(f, "Antiguedad"), De1252aUTF8("3 d\xed"
                                                      "as desde la grabaci\xf3n."));
    EXPECT_EQ(Propiedad(f, "Grabando"), c.grabando) << c.estado;
    EXPECT_EQ(Propiedad(f, "Programado"), c.programado) << c.estado;
  }
  TrackSincronizacion t;
  t.ID = "43";
  t.strTitulo = "Borrada";
  const FilaSincronizacion borrada = pantallas.FilaHistorial(t, nullptr);
  EXPECT_EQ(Propiedad(borrada, "Titulo"), De1252aUTF8("Grabaci\xf3n eliminada."));
  EXPECT_EQ(Propiedad(borrada, "Descripcion"), "<none>");
  EXPECT_EQ(borrada.icono, "");
  EXPECT_EQ(Propiedad(pantallas.FilaHistorial(t, &g), "Titulo"), "Borrada");
  ConexionEnNubeActivada = true;
}

}  // namespace
