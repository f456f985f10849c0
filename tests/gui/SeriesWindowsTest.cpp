// The texts the series windows build from a broadcast and a track.
#include <gtest/gtest.h>

#include <string>

#include "gui/GUISeries.h"

namespace {

TEST(SeriesWindowsTest, DurationLines) {
  struct Caso {
    const char* name;
    time_t segundos;
    const char* texto;
  };
  const Caso casos[] = {
      {.name = "hours and minutes", .segundos = 5400, .texto = "1 horas 30 minutos"},
      {.name = "whole hour", .segundos = 3600, .texto = "1 horas "},
      {.name = "minutes only", .segundos = 1800, .texto = "30 minutos"},
      {.name = "under a minute", .segundos = 59, .texto = ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CGUIDialogoDetalleProgramaSerie::Duracion(1700000000, 1700000000 + c.segundos),
              c.texto);
  }
}

TEST(SeriesWindowsTest, SecondLabelIsWhatFollowsTheEpisode) {
  struct Caso {
    const char* name;
    const char* texto;
    const char* segunda;
  };
  const std::string label = "Cuentos T3 Cap. 12";
  const Caso casos[] = {
      {.name = "title after a dash", .texto = "Cuentos T3 Cap. 12 - El fin", .segunda = "El fin"},
      {.name = "title right after", .texto = "Cuentos T3 Cap. 12: El fin", .segunda = ": El fin"},
      {.name = "label alone", .texto = "Cuentos T3 Cap. 12", .segunda = ""},
      {.name = "no label: whole text", .texto = "Otro - El fin", .segunda = "Otro - El fin"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CGUITracking::SegundaEtiqueta(c.texto, label), c.segunda);
  }
}

}  // namespace
