#include "addon/AddonMain.h"

#include <cstring>
#include <ctime>
#include <memory>

#include "addon/AddonBinding.h"
#include "addon/AddonHost.h"
#include "addon/MenuHooks.h"
#include "addon/PvrBinding.h"
#include "addon/Settings.h"
#include "backend/Quorvina.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "gui/GuiBinding.h"
#include "host/xbmc_pvr_types.h"

Quorvina* quorvina = nullptr;
ADDON_STATUS m_CurStatus = ADDON_STATUS_UNKNOWN;
bool m_bCreated = false;

namespace {

constexpr int kStopControllerMs = 250;

std::unique_ptr<AddonHost> g_host;

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
  g_host = std::make_unique<AddonHost>(*XBMC, *PVR);
  InstallHost(g_host.get());

  m_CurStatus = ADDON_STATUS_UNKNOWN;
  const auto* props = static_cast<const PVR_PROPERTIES*>(properties);
  strUserPath = props->strUserPath != nullptr ? props->strUserPath : "";
  strClientPath = props->strClientPath != nullptr ? props->strClientPath : "";

  ultimos7dias = XBMC->FileExists(PathCombine(strClientPath, "ultimos7dias").c_str(), false);

  ADDON_ReadSettings();
  AltasMenusHooks();
  // The time zone is read once, before any worker converts a time.
  tzset();

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
  // The host unloads the library next: the controller stops its workers and
  // goes before the host bindings do. A controller whose thread would not
  // end is left alone rather than destroyed under it.
  if (quorvina != nullptr && PLATFORM::StopWorker(*quorvina, kStopControllerMs, "quorvina")) {
    delete quorvina;
  }
  quorvina = nullptr;
  InstallHost(nullptr);
  g_host.reset();
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
