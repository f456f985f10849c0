#include "discovery/PayLoad.h"

#include "common/HostServices.h"
#include "common/Utils.h"
#include "common/XMLNode.h"

PayLoad::PayLoad() {
  Inicializar();
}

PayLoad::PayLoad(const std::string& id) {
  Inicializar();
  id_ = id;
}

PayLoad::PayLoad(const std::string& id, const std::vector<std::string>& segments) {
  Inicializar();
  PutIDPayloadySegmentos(id, segments);
}

void PayLoad::Inicializar() {
  id_.clear();
  segments_.clear();
  complete_ = false;
  fixed_ = false;
  folder_.clear();
  fileTag_ = "XX";
  guideMode_ = false;
  wanted_.clear();
  pending_.clear();
  deadline_ = time(nullptr) + kPlazo;
}

void PayLoad::PutIDPayloadySegmentos(const std::string& id,
                                     const std::vector<std::string>& segments) {
  id_ = id;
  for (const std::string& segment : segments) {
    segments_.emplace(segment, Segment(segment));
    pending_.push_back(segment);
  }
  fixed_ = true;
}

void PayLoad::ProcesarTrama(const Trama& trama) {
  auto it = segments_.find(trama.segmentId);
  if (it == segments_.end()) {
    if (fixed_) return;
    it = segments_.emplace(trama.segmentId, Segment(trama.segmentId)).first;
    pending_.push_back(trama.segmentId);
  }
  Segment& segment = it->second;
  segment.AddFragment(trama);

  // Written once, on the frame that completes it; the carousel's later
  // repetitions find it no longer pending.
  if (segment.Complete() && ExistInvector(pending_, segment.Id())) {
    if (!folder_.empty()) CrearFichero(segment);
    Deletevector(pending_, segment.Id());
    if (pending_.empty()) complete_ = true;
  }

  if (time(nullptr) > deadline_) {
    GenerarLogError("Timeout Payload " + id_);
    pending_.clear();
    complete_ = true;
  }
}

std::string PayLoad::FileName(const Segment& segment) {
  if (!guideMode_) return folder_ + id_ + "_" + segment.Id() + ".xml";

  const std::string channel = ObtenerCanal(segment);
  // A segment naming no channel cannot be wanted, whatever number 0 means.
  if (channel.empty()) return std::string();
  const int number = ConvertStringtoint(channel);
  if (!ExistInvector(wanted_, number)) return std::string();
  Deletevector(wanted_, number);
  if (wanted_.empty()) complete_ = true;
  return folder_ + channel + "_" + fileTag_ + ".xml";
}

void PayLoad::CrearFichero(const Segment& segment) {
  const std::string path = FileName(segment);
  if (path.empty()) return;
  HostServices& host = TheHost();
  if (!host.DirectoryExists(folder_)) host.CreateDirectory(folder_);
  EscribirFichero(path, segment.getSegment());
}

std::string PayLoad::GetXML() const {
  std::string text;
  for (const auto& segment : segments_) text += segment.second.getSegment();
  return text;
}

std::string PayLoad::ObtenerCanal(const Segment& segment) const {
  const std::string text = segment.getSegment();
  const XMLNode main = XMLNode::parseString(text.c_str(), "TVAMain");
  const XMLNode node = main.getChildNode(0).getChildNode(0).getChildNode(0);
  if (node.isEmpty()) return std::string();
  const char* ref = node.getAttribute("serviceIDRef");
  if (ref == nullptr) return std::string();
  std::string channel(ref);
  const size_t dot = channel.find('.');
  if (dot != std::string::npos && dot > 0) channel.erase(dot);
  return channel;
}
