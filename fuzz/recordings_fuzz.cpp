// The application server's recording lists and the recording metadata
// files: any list read is stored as metadata and read back unchanged, and
// the metadata reader takes any text.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "common/XMLNode.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/Recordings.h"

namespace {

// Texts XML keeps as they are: no control characters but line ends, no
// white space at the ends, valid UTF-8 is not checked here so only ASCII.
bool Plain(const std::string& text) {
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\r' && c != '\n') || c >= 0x7f) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::map<std::string, DatosGrabacion> recordings;
  if (LeerListaGrabaciones(text, &recordings)) {
    for (const auto& kv : recordings) {
      const DatosGrabacion& g = kv.second;
      if (kv.first != g.strRecordingId || !g.Cloud) __builtin_trap();
      const std::string xml = Recordings::GenerarXML(g);
      const DatosGrabacion back =
          Recordings::DesdeXML(XMLNode::parseString(xml.c_str(), "Recording"));
      if (back.strRecordingId != g.strRecordingId || back.recordingTime != g.recordingTime ||
          back.iDuration != g.iDuration || back.iCapitulo != g.iCapitulo || back.HD != g.HD)
        __builtin_trap();
      if (Plain(g.strTitle) && back.strTitle != g.strTitle) __builtin_trap();
      if (Plain(g.StrDescripcionSerie) && back.StrDescripcionSerie != g.StrDescripcionSerie)
        __builtin_trap();
    }
  }
  std::map<int, DatosTemporizador> timers;
  (void)LeerListaTemporizadores(text, &timers, 0);
  // The metadata reader on any text.
  (void)Recordings::DesdeXML(XMLNode::parseString(text.c_str(), "Recording"));
  return 0;
}
