// The application server's recording, catch-up and bookmark requests. Each
// function sends one GET to the server (httpHostQuorvina, PuertoHttpQuorvina)
// and reads its JSON answer; none keeps state, so any thread may call them.
// A call blocks for at most the 5 s connection time-out plus the client's
// receive time-outs.
#pragma once

#include <rapidjson/fwd.h>

#include <map>
#include <set>
#include <string>

#include "recordings/DatosGrabacion.h"
#include "recordings/DatosTemporizador.h"

// The fixed PIN the booking requests carry.
extern const char* const kPinGrabaciones;
// Answers past this size are refused.
constexpr size_t kMaxRespuestaGrabaciones = size_t{16} << 20;

// Address and length of a catch-up programme or a cloud recording. True when
// the answer carried "resultData"; *duration and *url change only for the
// members present.
bool getCatchUpUrl(int extInfoID, int channelID, unsigned int* duration, std::string* url);
bool getRecordingData(int extInfoID, int channelID, unsigned int* duration, std::string* url);

// Book, cancel and delete cloud recordings. Cancel accepts "0" and "-5" (no
// such booking); delete falls back to cancel on "-2" (not finished yet).
bool setRecording(int extInfoID, int channelID);
bool cancelRecording(int extInfoID, int channelID);
bool delRecording(int extInfoID, int channelID);

// The server's list of the given state (0 pending, 1 recording) added to
// *timers; an id already there keeps its entry. False leaves it untouched.
bool RecordingListTemporizadores(std::map<int, DatosTemporizador>* timers, int stateList);
// The entries a list reader passed over: their ids, and whether one had no
// readable id at all. A skipped entry is not gone from the server.
struct EntradasOmitidas {
  std::set<std::string> ids;
  bool sinId = false;
};

// The finished cloud recordings added to *recordings, the same way.
bool RecordingListGrabaciones(std::map<std::string, DatosGrabacion>* recordings,
                              EntradasOmitidas* omitidas = nullptr);

// The resume position in seconds as decimal text, or empty. productType is
// "2" unless the server sends one.
std::string getBookmark(std::string productID, std::string& productType);
bool setBookmark(std::string productID, std::string bookmark, std::string productType);

// A JSON value as text: strings as they are, 32-bit integers in decimal,
// arrays of strings joined with ", "; anything else empty.
std::string ObtenerValorJson(const rapidjson::Value& value);

// The list readers on an answer's text (the requests above use them).
bool LeerListaGrabaciones(const std::string& body, std::map<std::string, DatosGrabacion>* out,
                          EntradasOmitidas* omitidas = nullptr);
bool LeerListaTemporizadores(const std::string& body, std::map<int, DatosTemporizador>* out,
                             int stateList);
