#include "recordings/ApiGrabaciones.h"

#include <rapidjson/document.h>

#include <cstdarg>
#include <cstdio>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Http.h"
#include "common/HttpGlobals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Text.h"

const char* const kPinGrabaciones = "0";

namespace {

constexpr int kTimeoutConexion = 5;  // seconds; the client's default is 2
constexpr size_t kUrl = 1024;

// Sends one request and returns the answer's body, empty when there is none
// (or when it passes the size bound, which is logged).
std::string Pedir(const char* action, const std::string& url) {
  http cliente;
  cliente.EstablecerTimeoutConexion(kTimeoutConexion);
  std::string body;
  if (!cliente.conectarhttp(httpHostQuorvina, PuertoHttpQuorvina, url)) return body;
  char block[http::kBlock];
  for (;;) {
    const int count = cliente.Leerhttp(block, http::kBlock);
    if (count > 0) body.append(block, static_cast<size_t>(count));
    if (body.size() > kMaxRespuestaGrabaciones) {
      GenerarLogError(std::string(action) + ": respuesta de mas de 16 MiB descartada");
      body.clear();
      break;
    }
    if (count < http::kBlock || PararProceso) break;
  }
  cliente.desconectar();
  if (ModoDebug && !body.empty()) GenerarLogDebug(action + body);
  return body;
}

std::string Url(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Url(const char* format, ...) {
  char url[kUrl] = {};
  va_list args;
  va_start(args, format);
  vsnprintf(url, sizeof(url), format, args);
  va_end(args);
  return url;
}

std::string Host() {
  return httpHostQuorvina;
}

// The answer as a document with its result code; false when it is not a JSON
// object with one.
bool Analizar(const char* action, const std::string& body, rapidjson::Document& doc,
              std::string& code) {
  const std::string name(action);
  GenerarLogDebug(name + " Parse");
  doc.Parse(body.c_str(), body.size());
  GenerarLogDebug(name + " HasParseError");
  if (doc.HasParseError()) {
    GenerarLogError(name + ": respuesta no es JSON valido");
    return false;
  }
  if (!doc.IsObject()) {
    GenerarLogError(name + ": respuesta no es un objeto");
    return false;
  }
  GenerarLogDebug(name + " HasMember resultCode");
  if (!doc.HasMember("resultCode")) {
    GenerarLogError(name + ": respuesta sin resultCode");
    return false;
  }
  code = ObtenerValorJson(doc["resultCode"]);
  return true;
}

// "resultData" when the answer succeeded and carries it as an object.
const rapidjson::Value* Datos(const char* action, const rapidjson::Document& doc,
                              const std::string& code) {
  if (code != "0") return nullptr;
  const auto it = doc.FindMember("resultData");
  if (it == doc.MemberEnd()) return nullptr;
  if (!it->value.IsObject()) {
    GenerarLogError(std::string(action) + ": resultData no es un objeto");
    return nullptr;
  }
  return &it->value;
}

bool PeticionCodigo(const char* action, const std::string& url, std::string& code,
                    std::string& body) {
  body = Pedir(action, url);
  if (body.empty()) return false;
  rapidjson::Document doc;
  return Analizar(action, body, doc, code);
}

bool DatosReproduccion(const char* action, int extInfoID, int channelID, unsigned int* duration,
                       std::string* url) {
  const std::string body =
      Pedir(action, Url("http://%s:%d/appserver/bktv.do?action=%s&extInfoID=%d&channelID=%d",
                        Host().c_str(), PuertoHttpQuorvina, action, extInfoID, channelID));
  if (body.empty()) return false;
  rapidjson::Document doc;
  std::string code;
  if (!Analizar(action, body, doc, code)) return false;
  const rapidjson::Value* data = Datos(action, doc, code);
  if (data == nullptr) return false;
  const auto d = data->FindMember("duration");
  const auto u = data->FindMember("url");
  if ((d != data->MemberEnd() && !d->value.IsUint()) ||
      (u != data->MemberEnd() && !u->value.IsString())) {
    GenerarLogError(std::string(action) + ": duration o url de tipo erroneo");
    return false;
  }
  if (d != data->MemberEnd() && duration != nullptr) *duration = d->value.GetUint();
  if (u != data->MemberEnd() && url != nullptr) *url = u->value.GetString();
  return true;
}

std::string UrlReserva(const char* action, int extInfoID, int channelID) {
  return Url("http://%s:%d/appserver/bktv.do?action=%s&extInfoID=%d&PIN=%s&channelID=%d",
             Host().c_str(), PuertoHttpQuorvina, action, extInfoID, kPinGrabaciones, channelID);
}

// One entry of a recording list, its members checked.
struct Entrada {
  unsigned int id = 0;
  unsigned int service = 0;
  int64_t begin = 0;
  int64_t end = 0;
  std::string name;
  std::string seriesName;
  int season = 0;
  int episode = 0;
  bool hd = false;
};

// An optional member present with a value; null counts as absent.
bool Opcional(const rapidjson::Value& v, const char* name) {
  const auto it = v.FindMember(name);
  return it != v.MemberEnd() && !it->value.IsNull();
}

bool LeerEntrada(const rapidjson::Value& v, size_t index, Entrada& e) {
  const char* missing = nullptr;
  if (!v.IsObject()) {
    missing = "objeto";
  } else if (!v.HasMember("id") || !v["id"].IsUint()) {
    missing = "id";
  } else if (!v.HasMember("service_uid") || !v["service_uid"].IsUint()) {
    missing = "service_uid";
  } else if (!v.HasMember("begintime") || !v["begintime"].IsInt64()) {
    missing = "begintime";
  } else if (!v.HasMember("endtime") || !v["endtime"].IsInt64()) {
    missing = "endtime";
  } else if (!v.HasMember("name") || !v["name"].IsString()) {
    missing = "name";
  } else if (!v.HasMember("hd") || !v["hd"].IsUint()) {
    missing = "hd";
  } else if (v.HasMember("seriesName") && !v["seriesName"].IsString() &&
             !v["seriesName"].IsNull()) {
    missing = "seriesName";
  } else if (Opcional(v, "season") && !v["season"].IsString()) {
    missing = "season";
  } else if (Opcional(v, "episode") && !v["episode"].IsInt()) {
    missing = "episode";
  }
  if (missing != nullptr) {
    GenerarLogError("getRecordingList: entrada " +
                    convertInttoString(static_cast<long long>(index)) + " sin " + missing +
                    " valido, omitida");
    return false;
  }
  e.id = v["id"].GetUint();
  e.service = v["service_uid"].GetUint();
  e.begin = v["begintime"].GetInt64() / 1000;
  e.end = v["endtime"].GetInt64() / 1000;
  e.name = v["name"].GetString();
  if (v.HasMember("seriesName") && v["seriesName"].IsString())
    e.seriesName = v["seriesName"].GetString();
  if (Opcional(v, "season")) e.season = ConvertStringtoint(v["season"].GetString());
  if (Opcional(v, "episode")) e.episode = v["episode"].GetInt();
  e.hd = v["hd"].GetUint() != 0;
  return true;
}

// Walks "result" of a list answer; false when the answer is unusable.
template <typename Add>
bool LeerLista(const std::string& body, EntradasOmitidas* omitidas, Add add) {
  rapidjson::Document doc;
  std::string code;
  if (!Analizar("getRecordingList", body, doc, code)) return false;
  const rapidjson::Value* data = Datos("getRecordingList", doc, code);
  if (data == nullptr) return false;
  const auto result = data->FindMember("result");
  if (result == data->MemberEnd()) return true;
  if (!result->value.IsArray()) {
    GenerarLogError("getRecordingList: result no es una lista");
    return false;
  }
  size_t index = 0;
  for (const auto& v : result->value.GetArray()) {
    Entrada e;
    if (LeerEntrada(v, index++, e)) {
      add(e);
    } else if (omitidas != nullptr) {
      if (v.IsObject() && v.HasMember("id") && v["id"].IsUint())
        omitidas->ids.insert(convertInttoString(v["id"].GetUint()));
      else
        omitidas->sinId = true;
    }
  }
  return true;
}

std::string UrlLista(int stateList) {
  return Url(
      "http://%s:%d/appserver/"
      "bktv.do?action=getRecordingList&mode=0&stateList=%d&startDate=0000000000000&endDate="
      "9000000000000&first=0&max=999&sort=2&intervalFromLastUpdate=0",
      Host().c_str(), PuertoHttpQuorvina, stateList);
}

}  // namespace

std::string ObtenerValorJson(const rapidjson::Value& value) {
  if (value.IsArray()) {
    std::string text;
    for (const auto& item : value.GetArray()) {
      if (!item.IsString()) continue;
      if (!text.empty()) text += ", ";
      text += item.GetString();
    }
    return text;
  }
  if (value.IsString()) return value.GetString();
  if (value.IsInt()) return convertInttoString(value.GetInt());
  if (value.IsUint()) return convertInttoString(value.GetUint());
  // Wider integers keep their value; fractions are nothing the server sends.
  if (value.IsInt64()) return convertInttoString(value.GetInt64());
  if (value.IsUint64()) return std::to_string(value.GetUint64());
  return std::string();
}

bool getCatchUpUrl(int extInfoID, int channelID, unsigned int* duration, std::string* url) {
  return DatosReproduccion("getCatchUpUrl", extInfoID, channelID, duration, url);
}

bool getRecordingData(int extInfoID, int channelID, unsigned int* duration, std::string* url) {
  return DatosReproduccion("getRecordingData", extInfoID, channelID, duration, url);
}

bool setRecording(int extInfoID, int channelID) {
  std::string code, body;
  return PeticionCodigo("setRecording", UrlReserva("setRecording", extInfoID, channelID), code,
                        body) &&
         code == "0";
}

bool cancelRecording(int extInfoID, int channelID) {
  std::string code, body;
  const bool read = PeticionCodigo("cancelRecording",
                                   UrlReserva("cancelRecording", extInfoID, channelID), code, body);
  if (body.empty()) {
    GenerarLogError("cancel sin respuesta");
    return false;
  }
  if (read && (code == "0" || code == "-5")) return true;
  GenerarLogError(body);
  return false;
}

bool delRecording(int extInfoID, int channelID) {
  std::string code, body;
  const bool read =
      PeticionCodigo("delRecording", UrlReserva("delRecording", extInfoID, channelID), code, body);
  if (body.empty()) {
    GenerarLogError("del sin respuesta");
    return false;
  }
  if (read && code == "0") return true;
  if (read && code == "-2") return cancelRecording(extInfoID, channelID);
  GenerarLogError(body);
  return false;
}

bool LeerListaTemporizadores(const std::string& body, std::map<int, DatosTemporizador>* out,
                             int stateList) {
  std::map<int, DatosTemporizador> leidos;
  const bool ok = LeerLista(body, nullptr, [&](const Entrada& e) {
    DatosTemporizador t;
    t.iClientIndex = static_cast<int>(e.id);
    t.iClientChannelUid = static_cast<int>(e.service);
    t.startTime = static_cast<time_t>(e.begin);
    t.endTime = static_cast<time_t>(e.end);
    t.state = stateList + 1;
    t.strTitle = e.name;
    t.strDirectory = PathRecorded;
    t.iPriority = 50;
    t.iLifetime = 99;
    t.firstDay = 1;
    t.iEpgUid = static_cast<int>(e.id);
    t.idSerie = e.seriesName;
    NormalidarFileName(t.idSerie);
    t.StrDescripcionSerie = e.seriesName;
    t.iTemporada = e.season;
    t.iCapitulo = e.episode;
    t.iUniqueBroadcastId = static_cast<int>(e.id);
    t.HD = e.hd;
    t.Cloud = true;
    leidos.emplace(t.iClientIndex, std::move(t));
  });
  // A list that fails half way leaves the caller's map as it was.
  if (ok && out != nullptr) out->insert(leidos.begin(), leidos.end());
  return ok;
}

bool LeerListaGrabaciones(const std::string& body, std::map<std::string, DatosGrabacion>* out,
                          EntradasOmitidas* omitidas) {
  std::map<std::string, DatosGrabacion> leidas;
  const bool ok = LeerLista(body, omitidas, [&](const Entrada& e) {
    DatosGrabacion g;
    g.strRecordingId = convertInttoString(e.id);
    g.strTitle = e.name;
    g.iClientChannelUid = static_cast<int>(e.service);
    g.recordingTime = static_cast<time_t>(e.begin);
    g.iDuration = static_cast<int>(e.end - e.begin);
    g.iPriority = 50;
    g.iLifetime = 99;
    g.idSerie = e.seriesName;
    NormalidarFileName(g.idSerie);
    g.StrDescripcionSerie = e.seriesName;
    g.iTemporada = e.season;
    g.iCapitulo = e.episode;
    g.iUniqueBroadcastId = static_cast<int>(e.id);
    g.HD = e.hd;
    g.Cloud = true;
    leidas.emplace(g.strRecordingId, std::move(g));
  });
  if (ok && out != nullptr) out->insert(leidas.begin(), leidas.end());
  return ok;
}

bool RecordingListTemporizadores(std::map<int, DatosTemporizador>* timers, int stateList) {
  const std::string body = Pedir("getRecordingList", UrlLista(stateList));
  return !body.empty() && LeerListaTemporizadores(body, timers, stateList);
}

bool RecordingListGrabaciones(std::map<std::string, DatosGrabacion>* recordings,
                              EntradasOmitidas* omitidas) {
  const std::string body = Pedir("getRecordingList", UrlLista(2));
  return !body.empty() && LeerListaGrabaciones(body, recordings, omitidas);
}

std::string getBookmark(std::string productID, std::string& productType) {
  productType = "2";
  const std::string body = Pedir(
      "getBookmark", Url("http://%s:%d/appserver/bktv.do?action=getBookmark&service=1&productID=%s",
                         Host().c_str(), PuertoHttpQuorvina, productID.c_str()));
  if (body.empty()) return std::string();
  rapidjson::Document doc;
  std::string code;
  if (!Analizar("getBookmark", body, doc, code)) return std::string();
  const rapidjson::Value* data = Datos("getBookmark", doc, code);
  if (data == nullptr) return std::string();
  const auto mark = data->FindMember("bookmark");
  if (mark == data->MemberEnd()) return std::string();
  if (!mark->value.IsInt64()) {
    GenerarLogError("getBookmark: bookmark no es un entero");
    return std::string();
  }
  const auto type = data->FindMember("productType");
  if (type != data->MemberEnd() && type->value.IsString()) productType = type->value.GetString();
  return convertInttoString(mark->value.GetInt64());
}

bool setBookmark(std::string productID, std::string bookmark, std::string productType) {
  std::string code, body;
  const std::string url = Url(
      "http://%s:%d/appserver/"
      "bktv.do?action=setBookmark&productID=%s&audioID=0&subtitleID=-1&bookmark=%s&productType=%s",
      Host().c_str(), PuertoHttpQuorvina, productID.c_str(), bookmark.c_str(), productType.c_str());
  if (PeticionCodigo("setBookmark", url, code, body) && code == "0") return true;
  if (!body.empty()) GenerarLogError(body);
  return false;
}
