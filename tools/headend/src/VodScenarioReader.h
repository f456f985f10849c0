#pragma once

#include "JsonReader.h"
#include "VodSettings.h"

namespace headend {

// Read the scenario's "rtsp" and "dns" members; errors go to the reader's list.
void ReadRtspSettings(const JsonReader& rtsp, RtspSettings* out);
void ReadDnsSettings(const JsonReader& dns, DnsSettings* out);

}  // namespace headend
