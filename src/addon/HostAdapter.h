// Conversions between the system's records and the host's structures.
#pragma once

#include <cstddef>
#include <string>

#include "discovery/Canal.h"
#include "host/xbmc_pvr_types.h"

// Copies at most size - 1 bytes and always terminates.
void CopyText(char* target, size_t size, const std::string& text);

template <size_t N>
void CopyText(char (&target)[N], const std::string& text) {
  CopyText(target, N, text);
}

PVR_CHANNEL ToHostChannel(const Canal& canal);
