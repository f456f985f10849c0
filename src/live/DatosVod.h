// What the on-demand client keeps of the recording or catch-up programme it
// plays: a copy taken when the session opens, never a pointer into the
// recordings library, which may change meanwhile.
#pragma once

#include <string>

struct DatosVod {
  std::string strRecordingId;  // the recording's id, or the programme's for catch-up
  std::string strTitle;
  std::string strPlot;
  std::string strIconPath;
  int iGenreType = 0;
  int iTemporada = 0;
  int iCapitulo = 0;
  std::string idSerie;  // empty: not an episode of a series
  int iClientChannelUid = 0;
  int iDuration = 0;  // seconds
  bool HD = false;
};

// What the on-demand client asks of the rest of the add-on: the bookmark
// kept by the operator's server, the resume chooser, the host's player and
// the recordings library. The controller provides it.
class ServiciosVod {
 public:
  virtual ~ServiciosVod() = default;
  // The resume position in seconds as text (empty: none); `productType`
  // receives what must be sent back with it.
  virtual std::string ObtenerMarcador(const std::string& id, std::string& productType) = 0;
  virtual bool GuardarMarcador(const std::string& id, const std::string& posicion,
                               const std::string& productType) = 0;
  // Offers to resume with the text given; true to resume, false to start
  // from the beginning.
  virtual bool ElegirContinuar(const std::string& texto) = 0;
  // The stream has ended: the host's player is asked to stop.
  virtual void PararReproductor() = 0;
  // A copy ended with the server's end notice: the cloud recording now has
  // a local file.
  virtual void PasarALocal(const DatosVod& datos, const std::string& fichero, int duracion) = 0;
  // What a copy of the cloud recording `id` needs: its record and stream
  // URL. False when the library has no cloud entry of that id or the server
  // gives no stream.
  virtual bool DatosCopia(const std::string& id, DatosVod& datos, std::string& url) = 0;
};
