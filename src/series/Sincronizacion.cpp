#include "series/Sincronizacion.h"

#include <cstring>
#include <functional>
#include <vector>

#include "common/Conversions.h"
#include "common/Log.h"
#include "common/StoredXml.h"
#include "common/Text.h"
#include "common/XMLNode.h"

namespace {

const char* const kCabecera = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const char* const kRaizHistorial = "TrackSincronizacion";
const char* const kElementoHistorial = "Track";

std::string Atributo(const char* nombre, const std::string& valor) {
  return std::string(nombre) + "=\"" + stringtoescape(valor) + "\" ";
}

// The entries of `raiz`: from the whole text, or, when it does not parse
// (a truncated file), line by line, each entry standing on its own line as
// the writers put it.
void RecorrerEntradas(const std::string& texto, const char* raiz, const char* elemento,
                      const std::string& nombre, const std::function<void(const XMLNode&)>& uso) {
  XMLResults resultado{};
  const XMLNode documento = XMLNode::parseString(texto.c_str(), raiz, &resultado);
  if (resultado.error == eXMLErrorNone && !documento.isEmpty()) {
    const int n = documento.nChildNode(elemento);
    for (int i = 0; i < n; ++i) uso(documento.getChildNode(elemento, i));
    return;
  }
  if (texto.empty()) return;
  GenerarLogError(nombre + " no valido: " + XMLNode::getError(resultado.error) +
                  "; se leen las entradas completas");
  const std::string apertura = std::string("<") + elemento + " ";
  for (const std::string& linea : split(texto, '\n')) {
    const size_t inicio = linea.find(apertura);
    if (inicio == std::string::npos) continue;
    XMLResults r{};
    const XMLNode entrada = XMLNode::parseString(linea.c_str() + inicio, elemento, &r);
    if (r.error == eXMLErrorNone && !entrada.isEmpty()) uso(entrada);
  }
}

}  // namespace

std::string GenerarXMLCola(const ColaSincronizacion& cola, const FormatoCola& formato) {
  std::string x = kCabecera;
  x += std::string("<") + formato.raiz + ">\n";
  for (const auto& kv : cola) {
    x += std::string("<") + formato.elemento + " " + Atributo("Tipo", kv.second.Tipo) +
         Atributo("ID", kv.first) + "/>\n";
  }
  return x + "</" + formato.raiz + ">\n";
}

std::string GenerarXMLHistorial(const HistorialSincronizacion& historial) {
  std::string x = kCabecera;
  x += std::string("<") + kRaizHistorial + ">\n";
  for (const auto& kv : historial) {
    const TrackSincronizacion& t = kv.second;
    x += std::string("<") + kElementoHistorial + " " + Atributo("Tipo", t.Tipo) +
         Atributo("ID", t.ID) + Atributo("strTitulo", t.strTitulo) +
         Atributo("IDCanal", convertInttoString(t.IDCanal)) + Atributo("idSerie", t.idSerie) +
         Atributo("DescripcionSerie", t.DescripcionSerie) +
         Atributo("Temporada", convertInttoString(t.Temporada)) +
         Atributo("Capitulo", convertInttoString(t.Capitulo)) +
         Atributo("Duracion", convertInttoString(t.Duracion)) +
         Atributo("InicioSincro", convertTimertoString(t.InicioSincro)) +
         Atributo("FinalSincro", convertTimertoString(t.FinalSincro)) + "/>\n";
  }
  return x + "</" + kRaizHistorial + ">\n";
}

ColaSincronizacion LeerXMLCola(const std::string& texto, const FormatoCola& formato,
                               const std::string& nombre) {
  ColaSincronizacion cola;
  RecorrerEntradas(texto, formato.raiz, formato.elemento, nombre, [&](const XMLNode& e) {
    Sincronizacion s;
    s.Tipo = Attr(e, "Tipo");
    s.ID = Attr(e, "ID");
    if (s.Tipo != "R" || s.ID.empty()) {
      GenerarLogError(nombre + ": entrada sin ID o de tipo desconocido (" + s.Tipo.substr(0, 16) +
                      ")");
      return;
    }
    if (!cola.emplace(s.ID, s).second) GenerarLogError(nombre + ": ID repetido " + s.ID);
  });
  return cola;
}

HistorialSincronizacion LeerXMLHistorial(const std::string& texto, const std::string& nombre) {
  HistorialSincronizacion historial;
  RecorrerEntradas(texto, kRaizHistorial, kElementoHistorial, nombre, [&](const XMLNode& e) {
    TrackSincronizacion t;
    t.Tipo = Attr(e, "Tipo");
    t.ID = Attr(e, "ID");
    if (t.Tipo != "R" || t.ID.empty()) {
      GenerarLogError(nombre + ": registro sin ID o de tipo desconocido");
      return;
    }
    t.strTitulo = Attr(e, "strTitulo");
    t.IDCanal = ConvertStringtoint(Attr(e, "IDCanal"));
    t.idSerie = Attr(e, "idSerie");
    t.DescripcionSerie = Attr(e, "DescripcionSerie");
    t.Temporada = ConvertStringtoint(Attr(e, "Temporada"));
    t.Capitulo = ConvertStringtoint(Attr(e, "Capitulo"));
    t.Duracion = ConvertStringtoint(Attr(e, "Duracion"));
    t.InicioSincro = ConvertStringtoTimer(Attr(e, "InicioSincro"));
    t.FinalSincro = ConvertStringtoTimer(Attr(e, "FinalSincro"));
    // The history is a log of copies: the same recording may appear twice.
    const int clave = historial.empty() ? 0 : historial.rbegin()->first + 1;
    historial.emplace(clave, t);
  });
  return historial;
}
