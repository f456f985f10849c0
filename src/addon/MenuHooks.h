// The add-on's entries in the host's context menus.
#pragma once

#include "host/xbmc_pvr_types.h"

// Registers the entries with the host; the catch-up entry only when the
// "ultimos7dias" file is installed.
void AltasMenusHooks();
// Runs the entry the user picked. Entries whose subsystem does not exist yet
// answer "not implemented".
PVR_ERROR CallMenuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& item);
