// "MapasGeneros.xml": the operator's genre names mapped to the host's genre
// codes. Names are kept in lower case; the first entry of a name wins.
#pragma once

#include <map>
#include <string>

using MapaGeneros = std::map<std::string, int>;

// The code the host shows as the genre text itself.
constexpr int kGeneroSinMapa = 256;

// Reads the file through the host when the host has it; empty otherwise.
MapaGeneros CargarMapa(const std::string& path);
// The map from the file's text: a leading UTF-8 BOM is dropped, duplicate
// and nameless entries are skipped with a log line.
MapaGeneros ProcesarMapa(const std::string& text);
int ObtenerGenero(const MapaGeneros& mapa, const std::string& name);
