// The details of one programme that the application server gives on request
// (original title, credits, description), and the labelled summary built
// from them for the guide.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct DetalleProgramaEPG {
  std::string title;
  std::string originalTitle;
  std::string productionDate;
  std::string countries;
  std::string genre;
  std::string subgenre;
  std::string directors;
  std::string mainActors;
  std::string scriptwriter;
  std::string producer;
  std::string plotOutline;  // built by GenerarPlotOutline
  std::string description;
};

// The detail fields that the server answers and the details file keeps, by
// their names there, in the file's order (the title is answered, not kept).
struct CampoDetalle {
  const char* name;
  std::string DetalleProgramaEPG::*field;
};
inline constexpr CampoDetalle kCamposDetalle[] = {
    {"originalTitle", &DetalleProgramaEPG::originalTitle},
    {"productionDate", &DetalleProgramaEPG::productionDate},
    {"countries", &DetalleProgramaEPG::countries},
    {"genre", &DetalleProgramaEPG::genre},
    {"subgenre", &DetalleProgramaEPG::subgenre},
    {"directors", &DetalleProgramaEPG::directors},
    {"mainActors", &DetalleProgramaEPG::mainActors},
    {"scriptwriter", &DetalleProgramaEPG::scriptwriter},
    {"producer", &DetalleProgramaEPG::producer},
    {"description", &DetalleProgramaEPG::description}};

// Details by programme crid (looked up by the crid's text as it is).
using MapaDetalles = std::map<std::string, DetalleProgramaEPG, std::less<>>;

// The host's labels of the summary's lines, each already coloured.
struct EtiquetasDetalle {
  std::string originalTitle, productionDate, countries, genre, directors, mainActors, scriptwriter,
      producer;
  // From the add-on's language file.
  static EtiquetasDetalle DelHost();
};

// Reads the server's details reply. False, with a log line, when the reply
// is not JSON, not an object, or carries no details.
bool LeerRespuestaDetalle(const std::string& json, DetalleProgramaEPG& detalle);

// Appends to the plot outline a label and the value of each known field.
void GenerarPlotOutline(DetalleProgramaEPG& detalle, const EtiquetasDetalle& etiquetas);

// Asks the application server for one programme's details and builds their
// summary; false without them.
bool PedirDetallePrograma(uint32_t id, DetalleProgramaEPG& detalle,
                          const EtiquetasDetalle& etiquetas);
