#include "addon/MenuHooks.h"

#include "addon/AddonMain.h"
#include "addon/HostAdapter.h"
#include "addon/PvrBinding.h"
#include "backend/Quorvina.h"
#include "common/SettingValues.h"
#include "recordings/Recordings.h"

namespace {

struct Hook {
  unsigned int id;
  unsigned int stringId;
  PVR_MENUHOOK_CAT category;
};

constexpr Hook kHooks[] = {{1, 30200, PVR_MENUHOOK_ALL},     {2, 30230, PVR_MENUHOOK_ALL},
                           {3, 30210, PVR_MENUHOOK_CHANNEL}, {4, 30220, PVR_MENUHOOK_RECORDING},
                           {5, 30240, PVR_MENUHOOK_ALL},     {6, 30250, PVR_MENUHOOK_ALL},
                           {7, 30260, PVR_MENUHOOK_ALL},     {8, 30270, PVR_MENUHOOK_EPG}};

}  // namespace

void AltasMenusHooks() {
  if (PVR == nullptr) return;
  for (const Hook& h : kHooks) {
    if (h.id == 8 && !ultimos7dias) continue;
    PVR_MENUHOOK hook{};
    hook.iHookId = h.id;
    hook.iLocalizedStringId = h.stringId;
    hook.category = h.category;
    PVR->AddMenuHook(&hook);
  }
}

PVR_ERROR CallMenuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& item) {
  Quorvina* controller = quorvina;
  if (controller == nullptr) return PVR_ERROR_SERVER_ERROR;
  switch (hook.iHookId) {
    case 1:
      controller->VisualizarSeries();
      return PVR_ERROR_NO_ERROR;
    case 2:
      controller->VisualizarSincronizaciones();
      return PVR_ERROR_NO_ERROR;
    case 4:
      // A refused id is only logged: the host's menu takes no error.
      controller->GrabarenLocalRecording(HostText(item.data.recording.strRecordingId));
      return PVR_ERROR_NO_ERROR;
    case 3:
      controller->RecargarCanales(true);
      return PVR_ERROR_NO_ERROR;
    case 5:
      controller->Grabaciones().LimpiarGrabacionesSinFichero();
      return PVR_ERROR_NO_ERROR;
    case 6:
      controller->RecargarTemporizadores();
      return PVR_ERROR_NO_ERROR;
    case 7:
      controller->RecargarEPG();
      return PVR_ERROR_NO_ERROR;
    case 8:
      controller->AbrirCatchup(static_cast<int>(item.data.iEpgUid));
      return PVR_ERROR_NO_ERROR;
    default:
      // Nothing else is hooked.
      return PVR_ERROR_NOT_IMPLEMENTED;
  }
}
