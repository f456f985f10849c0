// The add-on's life cycle: create, stop and destroy, and the state the host
// sees through ADDON_GetStatus.
#pragma once

#include "host/xbmc_addon_types.h"

class Quorvina;

// The single controller; null until create has built it and after destroy.
extern Quorvina* quorvina;
extern ADDON_STATUS m_CurStatus;
extern bool m_bCreated;

ADDON_STATUS AddonCreate(void* callbacks, void* properties);
void AddonStop();
void AddonDestroy();
void AddonAnnounce(const char* message);
void AddonSetSetting(const char* name, const void* value);
