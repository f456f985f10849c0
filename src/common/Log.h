// Logging through the host's log.
#pragma once

#include <string>

// Written only while ModoDebug is set, at notice level.
void GenerarLogDebug(const std::string& message);
// Always written, at error level.
void GenerarLogError(const std::string& message);
