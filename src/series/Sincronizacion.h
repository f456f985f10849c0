// The records of cloud-recording copies and their stored files: the two
// queues ("Inmediato.xml", "Diferido.xml") and the history ("Track.xml").
#pragma once

#include <ctime>
#include <map>
#include <string>

// One queued copy; "R" is the only type: a recording.
struct Sincronizacion {
  std::string Tipo;
  std::string ID;
  time_t Inicio = 0;
  time_t Final = 0;
};

// One finished copy in the history.
struct TrackSincronizacion {
  std::string Tipo;
  std::string ID;
  std::string strTitulo;
  int IDCanal = 0;
  std::string idSerie;
  std::string DescripcionSerie;
  int Temporada = 0;
  int Capitulo = 0;
  int Duracion = 0;
  time_t InicioSincro = 0;
  time_t FinalSincro = 0;
};

// What a copy needs of a library entry.
struct GrabacionNube {
  std::string id;
  std::string titulo;
  int canal = 0;
  time_t recordingTime = 0;
  int duracion = 0;  // seconds
  std::string idSerie;
  std::string descripcionSerie;
  int temporada = 0;
  int capitulo = 0;
  bool Cloud = false;
};

// One queued copy as the host's timer list shows it.
struct TemporizadorCopia {
  std::string id;
  std::string titulo;
  int canal = 0;
  int estado = 1;  // 2 being copied, 1 waiting
  time_t inicio = 0;
  time_t fin = 0;
};

using ColaSincronizacion = std::map<std::string, Sincronizacion>;
// Keyed by the order of the copies, the oldest first.
using HistorialSincronizacion = std::map<int, TrackSincronizacion>;

// The names of one queue file: its root element and its entries'.
struct FormatoCola {
  const char* raiz;
  const char* elemento;
};
constexpr FormatoCola kColaInmediata{"SincInmediado", "Inmediado"};
constexpr FormatoCola kColaDiferida{"SincDiferido", "Diferido"};

std::string GenerarXMLCola(const ColaSincronizacion& cola, const FormatoCola& formato);
std::string GenerarXMLHistorial(const HistorialSincronizacion& historial);

// Readers of a stored text: what can be read loads; every entry skipped
// (unknown type, no id, a repeated id, a damaged line) is logged with
// `nombre`, the file's name.
ColaSincronizacion LeerXMLCola(const std::string& texto, const FormatoCola& formato,
                               const std::string& nombre);
HistorialSincronizacion LeerXMLHistorial(const std::string& texto, const std::string& nombre);
