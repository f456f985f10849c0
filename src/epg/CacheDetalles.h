// The details cache: one file per guide file, beside it under the details
// folder, holding the details fetched for its programmes.
#pragma once

#include <string>

#include "epg/DetalleProgramaEPG.h"

// The file's exact text: the programmes in ascending crid order, every field
// line written even when empty.
std::string GenerarXMLFicheroDetalle(const MapaDetalles& detalles);

// The programmes of a cache's text; a programme without a plot outline gets
// one built with the labels. A damaged text gives what could be read.
MapaDetalles LeerFicheroDetalle(const std::string& text, const EtiquetasDetalle& etiquetas);
