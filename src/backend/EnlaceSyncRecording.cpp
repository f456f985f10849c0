#include "backend/EnlaceSyncRecording.h"

#include "common/Conversions.h"
#include "recordings/Recordings.h"

GrabacionNube GrabacionNubeDe(const DatosGrabacion& g) {
  GrabacionNube n;
  n.id = g.strRecordingId;
  n.titulo = g.strTitle;
  n.canal = g.iClientChannelUid;
  n.recordingTime = g.recordingTime;
  n.duracion = g.iDuration;
  n.idSerie = g.idSerie;
  n.descripcionSerie = g.StrDescripcionSerie;
  n.temporada = g.iTemporada;
  n.capitulo = g.iCapitulo;
  n.Cloud = g.Cloud;
  return n;
}

AccesoGrabaciones AccesoGrabacionesDe(Recordings& recordings) {
  Recordings* r = &recordings;
  AccesoGrabaciones acceso;
  acceso.nube = [r] {
    std::map<std::string, GrabacionNube> nube;
    for (const auto& kv : r->GetCloudRecordings()) nube[kv.first] = GrabacionNubeDe(kv.second);
    return nube;
  };
  acceso.grabacion = [r](const std::string& id, GrabacionNube& n) {
    DatosGrabacion g;
    if (!r->GetRecording(id, g)) return false;
    n = GrabacionNubeDe(g);
    return true;
  };
  acceso.cargadas = [] { return recordingCargadoCompleto.load(); };
  return acceso;
}

void EnlaceSyncRecording::Temporizador(std::vector<DatosTemporizador>& lista) {
  for (const TemporizadorCopia& t : m_sync.Temporizador()) {
    DatosTemporizador d;
    d.iClientIndex = ConvertStringtoint(t.id);
    d.iClientChannelUid = t.canal;
    d.strTitle = t.titulo;
    d.state = t.estado;
    d.startTime = t.inicio;
    d.endTime = t.fin;
    d.Cloud = true;
    lista.push_back(d);
  }
}

bool EnlaceSyncRecording::EliminarGrabacion(const std::string& id) {
  return m_sync.EliminarGrabacion(id);
}
