// DVB-STP receiver: joins one multicast group, rebuilds the payloads sent
// there from their sections and writes each completed segment to a file.
// Used synchronously for service discovery and as a thread of its own for
// each day of guide.
#pragma once

#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/Socket.h"
#include "common/Thread.h"
#include "discovery/PayLoad.h"
#include "discovery/Trama.h"

class PayLoads : public PLATFORM::CThread {
 public:
  // Seconds from construction after which whatever has arrived is the outcome.
  static constexpr time_t kPlazo = 2700;
  // The receive buffer: longer datagrams are cut to it.
  static constexpr int kTamanoBuffer = 2000;
  // Receive time-outs in a row that end one attempt on the group.
  static constexpr int kMaxTimeouts = 10;
  // Silent attempts in a row after which the group is given up.
  static constexpr int kMaxIntentos = 3;

  PayLoads();
  PayLoads(const std::string& address, int port, const std::string& folder);
  PayLoads(const std::string& address, int port, const std::vector<std::string>& segments,
           const std::string& folder);
  ~PayLoads() override;

  void Inicializar();
  // Receives until every payload seen is complete, the group stays silent,
  // the overall deadline passes or the stop flag is raised. False when
  // stopped or given up.
  bool CargarPayLoads();
  void* Process() override;
  // Releases the payloads; address, port and folder stay.
  void Limpiar();

  std::string ObtenerXMLTotal() const;
  std::vector<std::string> ObtenerXMLPayLoads() const;
  std::string ObtenerXMLPayLoad(const std::string& id) const;
  void ComprobarRestoPayLoad();

  // Parses one datagram of `length` bytes. A datagram too short for its
  // header gives a frame that is not valid, with a debug line.
  Trama GenerarTrama(int length, const unsigned char* buffer) const;
  void ProcesarTrama(const Trama& trama);
  void GenerarPayLoad(const std::string& id);

  // Hex text of `count` bytes from `offset`; bytes at or past `length` are
  // not read, so the text is shorter.
  static std::string ConvertHex(int offset, int count, const unsigned char* buffer, size_t length);
  static uint32_t Converttoint(int offset, int count, const unsigned char* buffer, size_t length);

  // Set by the guide download before the thread starts.
  void SetFileTag(const std::string& tag) { fileTag_ = tag; }
  void SetGuideMode(bool on) { guideMode_ = on; }
  void SetWantedChannels(const std::vector<int>& channels) { wanted_ = channels; }

  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  const std::string& Folder() const { return folder_; }
  bool Finished() const { return finished_; }
  // Outcome of the reception run by the thread.
  bool Result() const { return result_; }
  const std::map<std::string, PayLoad>& PayLoadMap() const { return payloads_; }
  time_t Deadline() const { return deadline_; }
  void SetDeadline(time_t deadline) { deadline_ = deadline; }

 protected:
  // The socket side of the reception, kept apart so that datagrams can also
  // come from memory. Receive returns the bytes stored (at most `size`), or
  // 0 or less for a time-out or an error.
  virtual bool OpenGroup();
  virtual int Receive(unsigned char* buffer, int size);
  virtual void CloseGroup();

 private:
  // One attempt on an open group; true when it ended on time-outs.
  bool ReceiveUntilSilent(unsigned char* buffer);
  bool StopFlag();

  std::string address_;
  int port_ = 0;
  std::map<std::string, PayLoad> payloads_;
  bool finished_ = false;
  std::string fileTag_ = "XX";
  bool guideMode_ = false;
  std::vector<int> wanted_;
  std::string folder_;
  std::vector<std::string> segments_;
  bool result_ = false;
  time_t deadline_ = 0;
  UdpSocket socket_;
};
