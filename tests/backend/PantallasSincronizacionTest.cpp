// The rows of the copies' window: a series episode's two labels, and a
// history record with or without its recording.
#include <gtest/gtest.h>

#include <string>

#include "backend/PantallasSincronizacion.h"
#include "common/SettingValues.h"
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

TEST(PantallasSincronizacionTest, RowsSplitTheEpisodeLabelAndTellGoneRecordings) {
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
  // States, ages and the deleted recording's title are checked end to end
  // with the copies window.
  const FilaSincronizacion f = pantallas.FilaGrabacion(g, "", 0);
  EXPECT_EQ(f.etiqueta, "Viajeros T1 Cap. 2");
  EXPECT_EQ(f.etiqueta2, "Segundo viaje");
  TrackSincronizacion t;
  t.ID = "43";
  t.strTitulo = "Borrada";
  EXPECT_EQ(Propiedad(pantallas.FilaHistorial(t, nullptr), "Descripcion"), "<none>");
  EXPECT_EQ(Propiedad(pantallas.FilaHistorial(t, &g), "Titulo"), "Borrada");
  ConexionEnNubeActivada = true;
}

}  // namespace
