// The three description documents a control point reads before it browses:
// the device, its ContentDirectory and its ConnectionManager services.
#pragma once

#include <string>

// The operator's web address, shown as the maker's and the model's page.
extern const char* const kWebOperador;

const std::string& DocumentoDispositivo();
const std::string& DocumentoContentDirectory();
const std::string& DocumentoConnectionManager();
