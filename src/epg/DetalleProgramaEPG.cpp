#include "epg/DetalleProgramaEPG.h"

#include <rapidjson/document.h>

#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Text.h"

namespace {

// A string as it is, an integer in decimal, an array of strings joined with
// ", "; nothing for anything else, nor for elements that are not strings.
std::string ObtenerArrayInfoEPG(const rapidjson::Value& value) {
  if (value.IsString()) return std::string(value.GetString(), value.GetStringLength());
  if (value.IsInt64()) return std::to_string(value.GetInt64());
  if (value.IsUint64()) return std::to_string(value.GetUint64());
  if (!value.IsArray()) return std::string();
  std::string text;
  bool first = true;
  for (const auto& element : value.GetArray()) {
    if (!element.IsString()) continue;
    if (!first) text += ", ";
    text.append(element.GetString(), element.GetStringLength());
    first = false;
  }
  return text;
}

bool ResultadoCero(const rapidjson::Value& code) {
  if (code.IsString()) return std::string(code.GetString(), code.GetStringLength()) == "0";
  if (code.IsInt64()) return code.GetInt64() == 0;
  if (code.IsUint64()) return code.GetUint64() == 0;
  return false;
}

std::string Etiqueta(int id) {
  return StringColorAzul(TheHost().LocalizedString(id));
}

void Linea(std::string& text, const std::string& label, const std::string& value, const char* end) {
  if (!value.empty()) text += label + value + end;
}

}  // namespace

EtiquetasDetalle EtiquetasDetalle::DelHost() {
  EtiquetasDetalle e;
  e.originalTitle = Etiqueta(30503);
  e.productionDate = Etiqueta(30504);
  e.countries = Etiqueta(30505);
  e.genre = Etiqueta(30507);
  e.directors = Etiqueta(30509);
  e.mainActors = Etiqueta(30511);
  e.scriptwriter = Etiqueta(30508);
  e.producer = Etiqueta(30512);
  return e;
}

bool LeerRespuestaDetalle(const std::string& json, DetalleProgramaEPG& detalle) {
  GenerarLogDebug("info Parse");
  rapidjson::Document document;
  document.Parse(json.c_str(), json.size());
  GenerarLogDebug("info HasParseError");
  if (document.HasParseError() || !document.IsObject()) {
    GenerarLogError("Detalle EPG: la respuesta no es un objeto JSON");
    return false;
  }
  const auto code = document.FindMember("resultCode");
  if (code == document.MemberEnd() || !ResultadoCero(code->value)) return false;
  GenerarLogDebug("info HasMember resultData");
  const auto data = document.FindMember("resultData");
  if (data == document.MemberEnd() || !data->value.IsObject()) return false;

  const rapidjson::Value& info = data->value;
  const auto title = info.FindMember("title");
  if (title != info.MemberEnd()) detalle.title = ObtenerArrayInfoEPG(title->value);
  for (const CampoDetalle& campo : kCamposDetalle) {
    const auto member = info.FindMember(campo.name);
    if (member == info.MemberEnd()) continue;
    GenerarLogDebug(std::string("info ") + campo.name);
    detalle.*campo.field = ObtenerArrayInfoEPG(member->value);
  }
  // The server writes line breaks of descriptions as a backslash and an n.
  SustituirCaracter(detalle.description, "\\n", "\n");
  return true;
}

void GenerarPlotOutline(DetalleProgramaEPG& d, const EtiquetasDetalle& e) {
  std::string& text = d.plotOutline;
  Linea(text, e.originalTitle, d.originalTitle, "\n");
  Linea(text, e.productionDate, d.productionDate, "  ");
  Linea(text, e.countries, d.countries, "  ");
  Linea(text, e.genre, ObtenerGeneroCompleto(d.genre, d.subgenre), "\n");
  Linea(text, e.directors, d.directors, "\n");
  Linea(text, e.mainActors, d.mainActors, "\n");
  Linea(text, e.scriptwriter, d.scriptwriter, "\n");
  Linea(text, e.producer, d.producer, "\n");
}
