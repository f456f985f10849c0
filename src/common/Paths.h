// Path joining and folder helpers over the host's file functions.
#pragma once

#include <string>

std::string PathCombine(const std::string& base, const std::string& name);
void ObtenerDirectorioyFichero(const std::string& path, std::string& folder, std::string& file);
// Creates a folder and its missing parents through the host.
bool creardirectorio(const std::string& path);
bool EliminarFichero(const std::string& path);
