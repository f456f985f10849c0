// The guide's folders on disk: listing their files and reading one whole.
#pragma once

#include <string>
#include <vector>

// Names of the files (not folders) in a folder, in name order; empty when the
// folder can't be read. The path is UTF-8; the disk's names are Windows-1252.
std::vector<std::string> ListarFicheros(const std::string& folder);

// The whole file, read through the host; empty when missing.
std::string LeerFichero(const std::string& path);

// The first segment id in a guide or details file name: the text between
// the first "_" (after the first character) and the first ".xml"; empty when
// the name is not of that shape.
std::string SegmentoDeFichero(const std::string& name);
