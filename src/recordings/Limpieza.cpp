// The interactive clean-up of local recordings whose video file is gone.
#include "common/Conversions.h"
#include "common/HostServices.h"
#include "common/Text.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"
#include "recordings/Recordings.h"

void Recordings::LimpiarGrabacionesSinFichero() {
  // Dialog texts are kept in Windows-1252, as every stored dialog text.
  const std::string titulo = De1252aUTF8("Eliminaci\xf3n de grabaciones");
  CGUIDialogSiNo pregunta(titulo, De1252aUTF8("\xbf"
                                              "Est\xe1 seguro de eliminar las grabaciones sin "
                                              "archivos de video accesibles?"));
  if (!pregunta.PulsadoOK()) return;
  std::vector<std::string> candidatas;
  const MapaGrabaciones nube = GetCloudRecordings();
  for (const auto& kv : GetLstRecordings()) {
    if (kv.second.Cloud || nube.count(kv.first) != 0) continue;
    if (!TheHost().FileExists(kv.second.strStreamURL)) candidatas.push_back(kv.first);
  }
  if (candidatas.empty()) {
    CGUIDialogSi(titulo, De1252aUTF8("No se han encontrado grabaciones a eliminar.")).Show();
    return;
  }
  const std::string numero = convertInttoString(static_cast<long long>(candidatas.size()));
  CGUIDialogSiNo confirmar(titulo, De1252aUTF8("Se han encontrado " + numero +
                                               " grabaciones sin archivo de v\xed"
                                               "deo accesible."
                                               "\r\n\xbf"
                                               "Est\xe1 seguro de eliminarlas?"));
  if (!confirmar.PulsadoOK()) return;
  for (const std::string& id : candidatas) BorrarRecording(id, "", false);
  TheHost().TriggerRecordingUpdate();
  CGUIDialogSi(titulo, De1252aUTF8("Han sido eliminadas " + numero + " grabaciones.")).Show();
}
