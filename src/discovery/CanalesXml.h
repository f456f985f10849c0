// The text of "Canales.xml" from the discovery records: which services
// become channels, and the exact bytes written for them.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "discovery/CanalesFiles.h"
#include "discovery/ServicesOrder.h"
#include "discovery/SingleService.h"

// Tells whether a multicast group is sending.
using ChannelProbe = std::function<bool(const std::string& ip, int port)>;
using StopCheck = std::function<bool()>;

constexpr const char* httpLogosBlancos = "MAY_1/imSer/";
constexpr const char* httpExtensionLogosBlancos = ".jpg";

// The channel lines, for each service of `orden` in service-name order:
// a name announced twice keeps its first service, a group found silent is
// not probed again, and in all-packages mode a service the subscriber does
// not explicitly have must answer the probe. Empty when stopped.
std::string GenerarLineasCanales(const ServicesOrder::Orden& orden,
                                 const ServicesOrder::Orden& subscribed,
                                 const std::map<std::string, SingleService>& services,
                                 bool todosPaquetes, const std::string& packages,
                                 const ChannelProbe& probe, const StopCheck& stop);
std::string LineaCanal(int number, const SingleService& service);
// The whole file: declaration, root, the "Version" line of `recorded`, the
// channel lines and the closing tag.
std::string TextoCanalesXml(const CanalesRecorded& recorded, const std::string& lines);
