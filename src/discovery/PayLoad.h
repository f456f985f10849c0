// One payload id of one DVB-STP group: its segments, which of them are still
// awaited, and the files written as they complete.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "discovery/Segment.h"
#include "discovery/Trama.h"

class PayLoad {
 public:
  // Seconds a payload waits for its pending segments before it settles for
  // what it has.
  static constexpr time_t kPlazo = 2400;

  PayLoad();
  explicit PayLoad(const std::string& id);
  // Accepts only the given segments.
  PayLoad(const std::string& id, const std::vector<std::string>& segments);
  PayLoad(const PayLoad&) = default;
  PayLoad(PayLoad&&) = default;
  PayLoad& operator=(const PayLoad&) = default;
  PayLoad& operator=(PayLoad&&) = default;
  virtual ~PayLoad() = default;

  void PutIDPayloadySegmentos(const std::string& id, const std::vector<std::string>& segments);
  void ProcesarTrama(const Trama& trama);
  void CrearFichero(const Segment& segment);
  // The bodies of all segments in ascending segment id.
  std::string GetXML() const;
  // Guide mode: the channel a guide segment describes, from its TVAMain
  // "serviceIDRef"; empty when the segment does not say.
  std::string ObtenerCanal(const Segment& segment) const;
  void Inicializar();
  void Limpiar() { Inicializar(); }

  // Copied from the receiver when the payload is created.
  void SetFolder(const std::string& folder) { folder_ = folder; }
  void SetFileTag(const std::string& tag) { fileTag_ = tag; }
  void SetGuideMode(bool on) { guideMode_ = on; }
  void SetWantedChannels(const std::vector<int>& channels) { wanted_ = channels; }
  void SetDeadline(time_t deadline) { deadline_ = deadline; }

  const std::string& Id() const { return id_; }
  bool Complete() const { return complete_; }
  bool SegmentListFixed() const { return fixed_; }
  const std::map<std::string, Segment>& Segments() const { return segments_; }
  const std::vector<std::string>& Pending() const { return pending_; }
  const std::vector<int>& WantedChannels() const { return wanted_; }
  time_t Deadline() const { return deadline_; }

 private:
  std::string FileName(const Segment& segment);

  std::string id_;
  std::map<std::string, Segment> segments_;
  bool complete_ = false;
  bool fixed_ = false;
  std::string folder_;
  std::string fileTag_ = "XX";
  bool guideMode_ = false;
  std::vector<int> wanted_;
  std::vector<std::string> pending_;
  time_t deadline_ = 0;
};
