// The guide's day table: one entry per day announced in the guide's
// discovery record, keyed by the day's first segment id, and its stored form
// "mapepg.xml".
#pragma once

#include <map>
#include <string>
#include <vector>

struct MapEPG {
  int NumeroDia = 0;           // the day's place in the record, 0 first
  std::string PrimerSegmento;  // the ID of the day's first segment, as the record gives it
  int Version = 0;             // the sum of the versions of the day's segments
  bool EstaCargado = false;    // the day's files are complete on disk
};

using TablaDias = std::map<std::string, MapEPG>;

// "mapepg.xml" as written: one line, the declaration then one MapEPG element
// per day in key order, with no root element.
std::string EscribirMapEPG(const TablaDias& dias);
// Its reading; a damaged or empty text gives an empty table.
TablaDias LeerMapEPG(const std::string& text);

// The days a guide discovery record announces, none of them loaded.
TablaDias GenerarNuevoMapEPG(const std::string& registro);

// Where one day is sent and the segments it is made of, normalised as the
// receiver names them ("0x1A" -> "001a"); no segments when the day has no
// payload f1.
struct DiaGuia {
  std::string address;
  int port = 0;
  std::vector<std::string> segments;
};
DiaGuia SegmentosDia(const std::string& registro, int numeroDia);
