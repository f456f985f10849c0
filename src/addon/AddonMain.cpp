#include "addon/AddonMain.h"

#include <cstring>

#include "addon/AddonBinding.h"
#include "addon/GuiBinding.h"
#include "addon/PvrBinding.h"
#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/DatosConfiguracion.h"
#include "backend/Quorvina.h"
#include "common/Globals.h"
#include "common/Paths.h"
#include "host/xbmc_pvr_types.h"

ADDON_STATUS m_CurStatus = ADDON_STATUS_UNKNOWN;
bool m_bCreated = false;
bool ultimos7dias = false;

namespace {

// How long unload waits for each worker still running after the controller's
// own wait; every loop polls the stop flag at least every 2 s.
constexpr int kJoinWorkerMs = 5000;

template <typename T>
void ReleaseBinding(T*& binding) {
  if (binding == nullptr) return;
  binding->Release();
  delete binding;
  binding = nullptr;
}

void StopEverything() {
  PararProceso = true;
  if (quorvina != nullptr) quorvina->ParaProceso();
}

}  // namespace

ADDON_STATUS AddonCreate(void* callbacks, void* properties) {
  if (callbacks == nullptr || properties == nullptr) return ADDON_STATUS_UNKNOWN;

  XBMC = new CHelper_libXBMC_addon();
  if (!XBMC->RegisterMe(callbacks)) {
    ReleaseBinding(XBMC);
    return ADDON_STATUS_PERMANENT_FAILURE;
  }
  PVR = new CHelper_libXBMC_pvr();
  if (!PVR->RegisterMe(callbacks)) {
    ReleaseBinding(PVR);
    ReleaseBinding(XBMC);
    return ADDON_STATUS_PERMANENT_FAILURE;
  }
  GUI = new CHelper_libXBMC_gui();
  if (!GUI->RegisterMe(callbacks)) {
    ReleaseBinding(PVR);
    ReleaseBinding(XBMC);
    ReleaseBinding(GUI);
    return ADDON_STATUS_PERMANENT_FAILURE;
  }

  m_CurStatus = ADDON_STATUS_UNKNOWN;
  const auto* props = static_cast<const PVR_PROPERTIES*>(properties);
  strUserPath = props->strUserPath != nullptr ? props->strUserPath : "";
  strClientPath = props->strClientPath != nullptr ? props->strClientPath : "";

  ultimos7dias = XBMC->FileExists(PathCombine(strClientPath, "ultimos7dias").c_str(), false);

  ADDON_ReadSettings();
  AltasMenusHooks();

  quorvina = new Quorvina();
  quorvina->Start(false);

  m_CurStatus = ADDON_STATUS_OK;
  m_bCreated = true;
  return ADDON_STATUS_OK;
}

void AddonStop() {
  StopEverything();
}

void AddonAnnounce(const char* message) {
  if (message != nullptr && strcmp(message, "OnQuit") == 0) StopEverything();
}

void AddonDestroy() {
  StopEverything();
  m_CurStatus = ADDON_STATUS_UNKNOWN;
  // The host unloads the library next: no worker may still run its code, so
  // every thread that was started is stopped and joined, and the controller
  // with its workers is freed, before the host bindings go away.
  PLATFORM::CThread::StopAll(kJoinWorkerMs);
  delete quorvina;
  quorvina = nullptr;
  ReleaseBinding(PVR);
  ReleaseBinding(XBMC);
  ReleaseBinding(GUI);
  m_bCreated = false;
}

void AddonSetSetting(const char* name, const void* value) {
  if (name == nullptr || value == nullptr || strcmp(name, "TiposdeBusqueda") != 0) return;
  const int tipo = *static_cast<const int*>(value);
  if (quorvina == nullptr) {
    configuracionquorvina.TiposdeBusqueda = tipo;
    return;
  }
  // The record belongs to the controller's thread once it runs.
  if (tipo != quorvina->TiposdeBusquedaSolicitado()) quorvina->SolicitarTiposdeBusqueda(tipo);
}
