#pragma once

#include <netinet/in.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "RtpPacker.h"
#include "RtspMessage.h"
#include "TvStream.h"
#include "VodSettings.h"
#include "Worker.h"

namespace headend {

class Log;
class RtspServer;

// One control connection of the video server and its session: answers the
// requests, sends the asset's transport stream to the client port while
// playing (paced by its clock reference), reports the position and sends
// the end and start notices. One thread does both, so nothing is shared.
class RtspConnection : public Worker {
 public:
  RtspConnection(RtspServer& server, int socket, const std::string& peer, unsigned number,
                 Log& log);
  ~RtspConnection() override;

 protected:
  void Process() override;

 private:
  using Clock = std::chrono::steady_clock;

  bool Handle(const RtspRequest& r);
  bool Answer(const RtspRequest& r, const RtspSwitches& sw, int status, const RtspHeaders& headers,
              const std::string& body);
  bool SendAll(const std::string& bytes);
  bool Notice(const std::string& text);
  int Setup(const RtspRequest& r, RtspHeaders* headers);
  int Play(const RtspRequest& r, const RtspSwitches& sw, RtspHeaders* headers);
  double Position() const;
  void Freeze();
  void StartMedia();
  void SendDueMedia();
  void OpenNatSocket();
  void CountNat();

  RtspServer& server_;
  int socket_;
  std::string peer_;  // ip:port of the client's control connection
  std::string peerIp_;
  std::string localIp_;
  Log& log_;

  std::string sessionId_;
  std::string url_;
  RtspAsset asset_;
  bool expired_ = false;
  bool rtpAvp_ = false;  // the standard transport (always RTP)
  int clientPort_ = 0;
  int noticeCSeq_ = 0;
  Clock::time_point lastRequest_;
  Clock::time_point dropAt_ = Clock::time_point::max();

  // Playback: position = base + scale * (now - since) while playing.
  bool playing_ = false;
  int scale_ = 1;
  double basePosition_ = 0;
  Clock::time_point since_;
  std::unique_ptr<TvStream> stream_;
  std::unique_ptr<RtpPacker> rtp_;
  Clock::time_point mediaStart_;
  Clock::time_point nextDue_;
  uint8_t pending_[TvStream::kDatagramBytes];
  uint64_t datagrams_ = 0;
  // The transport stream bytes sent in this session, and their SHA-256.
  uint64_t tsBytes_ = 0;
  EVP_MD_CTX* sha_ = nullptr;
  int mediaSocket_ = -1;
  sockaddr_in to_{};
  int natSocket_ = -1;
};

}  // namespace headend
