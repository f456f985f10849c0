#include "RtspConnection.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Log.h"
#include "RtspServer.h"

namespace headend {

namespace {

constexpr int kBurst = 64;  // datagrams sent at most per turn of the loop

std::string SessionOf(const std::string& header) {
  return header.substr(0, header.find(';'));
}

std::string IpOf(const sockaddr_in& a) {
  char ip[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
  return ip;
}

}  // namespace

RtspConnection::RtspConnection(RtspServer& server, int socket, const std::string& peer,
                               unsigned number, Log& log)
    : Worker("rtsp-" + std::to_string(number)),
      server_(server),
      socket_(socket),
      peer_(peer),
      peerIp_(peer.substr(0, peer.rfind(':'))),
      log_(log) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
  localIp_ = IpOf(local);
}

RtspConnection::~RtspConnection() {
  Stop();
  close(socket_);
  if (mediaSocket_ >= 0) close(mediaSocket_);
  if (natSocket_ >= 0) close(natSocket_);
  EVP_MD_CTX_free(sha_);
}

void RtspConnection::Process() {
  lastRequest_ = Clock::now();
  RtspRequestReader reader;
  char buffer[4096];
  bool open = true;
  while (open && !Stopping()) {
    int timeout = 100;
    if (playing_) {
      const auto wait =
          std::chrono::duration_cast<std::chrono::milliseconds>(nextDue_ - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, 100));
    }
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, timeout) > 0) {
      const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        log_.Write("rtsp %s: closed by the client", peer_.c_str());
        break;
      }
      reader.Feed(buffer, static_cast<size_t>(n));
      RtspRequest request;
      std::string error;
      for (;;) {
        const auto result = reader.Next(&request, &error);
        if (result == RtspRequestReader::Result::NeedMore) break;
        if (result == RtspRequestReader::Result::Bad) {
          log_.Write("rtsp %s: %s, closing", peer_.c_str(), error.c_str());
          SendAll(RtspAnswer(400, 0, {}, ""));
          open = false;
          break;
        }
        if (!Handle(request)) {
          open = false;
          break;
        }
      }
    }
    const auto now = Clock::now();
    if (playing_) SendDueMedia();
    if (playing_) {
      const double at = basePosition_ +
                        scale_ * asset_.pace * std::chrono::duration<double>(now - since_).count();
      if (at >= asset_.duration) {
        basePosition_ = asset_.duration;
        playing_ = false;
        Notice("2101 End-of-Stream Reached");
      } else if (scale_ < 0 && at <= 0) {
        basePosition_ = 0;
        playing_ = false;
        Notice("2104 Start-of-Stream Reached");
      }
    }
    if (now >= dropAt_) {
      log_.Write("rtsp %s: session %s dropped at npt %d", peer_.c_str(), sessionId_.c_str(),
                 static_cast<int>(Position()));
      break;
    }
    const int expiry = server_.Settings().sessionTimeoutSeconds;
    if (expiry >= 0 && !sessionId_.empty() && !expired_ &&
        now - lastRequest_ > std::chrono::seconds(expiry)) {
      Freeze();
      playing_ = false;
      expired_ = true;
      log_.Write("rtsp %s: session %s expired after %d s without a request", peer_.c_str(),
                 sessionId_.c_str(), expiry);
    }
  }
  log_.Write("rtsp %s: session %s ends, %llu datagrams sent", peer_.c_str(), sessionId_.c_str(),
             static_cast<unsigned long long>(datagrams_));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  std::string hex;
  if (sha_ != nullptr && EVP_DigestFinal_ex(sha_, digest, &length) == 1) {
    char two[3];
    for (unsigned int i = 0; i < length; ++i) {
      std::snprintf(two, sizeof two, "%02x", digest[i]);
      hex += two;
    }
  }
  log_.Write("rtsp %s: session %s sent %llu TS bytes, sha256 %s", peer_.c_str(), sessionId_.c_str(),
             static_cast<unsigned long long>(tsBytes_), hex.c_str());
  shutdown(socket_, SHUT_RDWR);
}

bool RtspConnection::Handle(const RtspRequest& r) {
  log_.Write("rtsp %s > \"%s\"", peer_.c_str(), RtspEscape(r.raw).c_str());
  if (!expired_) lastRequest_ = Clock::now();
  const RtspSwitches sw = server_.SwitchesFor(r.method);
  if (sw.silence) {
    log_.Write("rtsp %s: %s left unanswered", peer_.c_str(), r.method.c_str());
    return true;
  }
  if (sw.status != 200) return Answer(r, sw, sw.status, {}, "");
  const bool inSession = r.method == "PLAY" || r.method == "PAUSE" || r.method == "TEARDOWN" ||
                         r.method == "GET_PARAMETER";
  if (inSession && (sessionId_.empty() || expired_ || SessionOf(r.Header("session")) != sessionId_))
    return Answer(r, sw, 454, {}, "");
  RtspHeaders headers;
  if (inSession) headers.emplace_back("Session", sessionId_);
  if (r.method == "OPTIONS") {
    headers.emplace_back(
        "Public", "OPTIONS, DESCRIBE, SETUP, PLAY, PAUSE, TEARDOWN, GET_PARAMETER, ANNOUNCE");
    return Answer(r, sw, 200, headers, "");
  }
  if (r.method == "DESCRIBE") {
    const std::string path = RtspPath(r.url);
    if (path.empty()) return Answer(r, sw, 404, {}, "");
    std::string token;
    const RtspAsset asset = server_.AssetOf(path, &token);
    const std::string control =
        asset.controlToken.empty() ? r.url : r.url + "/" + asset.controlToken;
    headers.emplace_back("Content-Type", "application/sdp");
    headers.emplace_back("Content-Base", r.url + "/");
    return Answer(r, sw, 200, headers, RtspSdp(localIp_, control, asset.duration, sw.bareSdp));
  }
  if (r.method == "SETUP") {
    const int status = Setup(r, &headers);
    return Answer(r, sw, status, headers, "");
  }
  if (r.method == "PLAY") {
    const int status = Play(r, sw, &headers);
    return Answer(r, sw, status, headers, "");
  }
  if (r.method == "PAUSE") {
    Freeze();
    playing_ = false;
    OpenNatSocket();
    log_.Write("rtsp %s: session %s paused at npt %d", peer_.c_str(), sessionId_.c_str(),
               static_cast<int>(basePosition_));
    return Answer(r, sw, 200, headers, "");
  }
  if (r.method == "GET_PARAMETER") {
    std::string body;
    if (r.body.find("position") != std::string::npos)
      body = "position: " + std::to_string(static_cast<int>(Position())) + "\r\n";
    if (!body.empty()) headers.emplace_back("Content-Type", "text/parameters");
    return Answer(r, sw, 200, headers, body);
  }
  if (r.method == "TEARDOWN") {
    Freeze();
    playing_ = false;
    const int at = static_cast<int>(basePosition_);
    log_.Write("rtsp %s: session %s torn down at npt %d", peer_.c_str(), sessionId_.c_str(), at);
    headers.emplace_back("Content-Type", "text/parameters");
    const bool ok = Answer(r, sw, 200, headers, "current_npt=" + std::to_string(at) + "\r\n");
    sessionId_.clear();
    return ok;
  }
  return Answer(r, sw, 405, {}, "");
}

bool RtspConnection::Answer(const RtspRequest& r, const RtspSwitches& sw, int status,
                            const RtspHeaders& headers, const std::string& body) {
  const int cseq = sw.wrongCSeq ? r.cseq + 100 : r.cseq;
  std::string text = RtspAnswer(status, cseq, headers, body);
  const int head = static_cast<int>(text.find("\r\n\r\n") + 4);
  if (sw.headBytes > head) {
    // "X-Padding: " and its line end take 13 bytes.
    RtspHeaders padded = headers;
    padded.emplace_back("X-Padding", std::string(std::max(0, sw.headBytes - head - 13), 'x'));
    text = RtspAnswer(status, cseq, padded, body);
    log_.Write("rtsp %s: head padded to %d bytes", peer_.c_str(),
               static_cast<int>(text.find("\r\n\r\n") + 4));
  }
  if (sw.noise > 0) {
    // Letters only: a reader never finds the end of this "message".
    for (int i = 0; i < sw.noise; ++i) text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    log_.Write("rtsp %s: %d bytes of noise after the answer", peer_.c_str(), sw.noise);
  }
  if (!sw.coalesce.empty()) {
    text =
        RtspNotice(url_, ++noticeCSeq_, sessionId_, server_.Settings().noticeHeader, sw.coalesce) +
        text;
    log_.Write("rtsp %s: notice \"%s\" in the answer's segment", peer_.c_str(),
               sw.coalesce.c_str());
  }
  log_.Write("rtsp %s < %d CSeq %d", peer_.c_str(), status, cseq);
  if (!sw.splitHead) return SendAll(text);
  const size_t half = text.find("\r\n\r\n") / 2;
  if (!SendAll(text.substr(0, half))) return false;
  SleepFor(std::chrono::milliseconds(100));
  return SendAll(text.substr(half));
}

bool RtspConnection::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool RtspConnection::Notice(const std::string& text) {
  const std::string full = text + " npt=" + std::to_string(static_cast<int>(basePosition_));
  log_.Write("rtsp %s: session %s notice %s: %s", peer_.c_str(), sessionId_.c_str(),
             server_.Settings().noticeHeader.c_str(), full.c_str());
  return SendAll(
      RtspNotice(url_, ++noticeCSeq_, sessionId_, server_.Settings().noticeHeader, full));
}

int RtspConnection::Setup(const RtspRequest& r, RtspHeaders* headers) {
  const std::string transport = r.Header("transport");
  const size_t portAt = transport.find("client_port=");
  const int port = portAt == std::string::npos ? 0 : std::atoi(transport.c_str() + portAt + 12);
  if (transport.compare(0, 14, "MP2T/H2221/UDP") == 0) {
    rtpAvp_ = false;
  } else if (transport.compare(0, 7, "RTP/AVP") == 0 &&
             transport.compare(0, 11, "RTP/AVP/TCP") != 0) {
    rtpAvp_ = true;
  } else {
    return 461;
  }
  if (port <= 0 || port > 65535) return 461;
  std::string token;
  asset_ = server_.AssetOf(RtspPath(r.url), &token);
  url_ = r.url;
  sessionId_ = token.empty() ? server_.NewSessionId() : token;
  expired_ = false;
  clientPort_ = port;
  basePosition_ = 0;
  playing_ = false;
  if (mediaSocket_ < 0) {
    mediaSocket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, localIp_.c_str(), &from.sin_addr);
    bind(mediaSocket_, reinterpret_cast<sockaddr*>(&from), sizeof from);
    const int size = 4 * 1024 * 1024;
    setsockopt(mediaSocket_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  }
  to_.sin_family = AF_INET;
  to_.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, peerIp_.c_str(), &to_.sin_addr);
  if (!rtpAvp_) OpenNatSocket();
  log_.Write("rtsp %s: session %s set up for %s (%d s, %s, %s), client port %d", peer_.c_str(),
             sessionId_.c_str(), asset_.path.c_str(), asset_.duration, asset_.clip.c_str(),
             rtpAvp_ ? "RTP/AVP" : asset_.transport.c_str(), port);
  headers->emplace_back("Transport", transport);
  headers->emplace_back(
      "Session", sessionId_ + ";timeout=" + std::to_string(server_.Settings().sessionTimeout));
  return 200;
}

int RtspConnection::Play(const RtspRequest& r, const RtspSwitches& sw, RtspHeaders* headers) {
  const std::string range = r.Header("range");
  const std::string scale = r.Header("scale");
  const int k = scale.empty() ? 1 : static_cast<int>(std::strtol(scale.c_str(), nullptr, 10));
  if (k == 0) return 400;
  double start = Position();
  const size_t npt = range.find("npt=");
  if (npt != std::string::npos) {
    const size_t dash = range.find('-', npt + 4);
    const std::string from = range.substr(npt + 4, dash - npt - 4);
    if (!from.empty()) start = std::atof(from.c_str());
  }
  start = std::clamp(start, 0.0, static_cast<double>(asset_.duration));
  CountNat();
  basePosition_ = start;
  since_ = Clock::now();
  scale_ = k;
  playing_ = true;
  if (sw.dropAfterSeconds >= 0) dropAt_ = since_ + std::chrono::seconds(sw.dropAfterSeconds);
  StartMedia();
  log_.Write("rtsp %s: session %s plays from npt %d at scale %d", peer_.c_str(), sessionId_.c_str(),
             static_cast<int>(start), k);
  headers->emplace_back("Range", "npt=" + std::to_string(static_cast<int>(start)) + "-" +
                                     std::to_string(asset_.duration));
  headers->emplace_back("Scale", std::to_string(k) + ".000");
  return 200;
}

double RtspConnection::Position() const {
  double at = basePosition_;
  if (playing_)
    at += scale_ * asset_.pace * std::chrono::duration<double>(Clock::now() - since_).count();
  return std::clamp(at, 0.0, static_cast<double>(asset_.duration));
}

void RtspConnection::Freeze() {
  basePosition_ = Position();
  since_ = Clock::now();
}

void RtspConnection::StartMedia() {
  const TsClip& clip = server_.Clip(asset_.clip);
  // The clock reference starts at the position, so time stamps tell it.
  const auto origin27 = static_cast<int64_t>(std::llround(basePosition_ * 27000000.0));
  stream_ = std::make_unique<TvStream>(clip, asset_.bitrate, origin27);
  RtpSettings settings;
  settings.ssrc = 0x51A7E000u + static_cast<uint32_t>(clientPort_);
  settings.firstSequence = static_cast<uint16_t>(clientPort_ * 31u);
  rtp_ = std::make_unique<RtpPacker>(settings);
  mediaStart_ = Clock::now();
  nextDue_ = mediaStart_ + std::chrono::nanoseconds(stream_->Next(pending_) / asset_.pace);
  if (sha_ == nullptr) {
    sha_ = EVP_MD_CTX_new();
    if (sha_ != nullptr) EVP_DigestInit_ex(sha_, EVP_sha256(), nullptr);
  }
}

void RtspConnection::SendDueMedia() {
  const bool withRtp = rtpAvp_ || asset_.transport == "rtp";
  for (int k = 0; k < kBurst && playing_ && Clock::now() >= nextDue_; ++k) {
    const int64_t dueNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(nextDue_ - mediaStart_).count() *
        asset_.pace;
    uint8_t header[RtpPacker::kMaxHeader];
    iovec parts[2];
    int count = 0;
    if (withRtp)
      parts[count++] = {header,
                        rtp_->Write(header, static_cast<uint32_t>(stream_->PcrAt(dueNs) / 300))};
    parts[count++] = {pending_, sizeof pending_};
    msghdr m{};
    m.msg_name = &to_;
    m.msg_namelen = sizeof to_;
    m.msg_iov = parts;
    m.msg_iovlen = static_cast<size_t>(count);
    if (sendmsg(mediaSocket_, &m, 0) > 0) {
      ++datagrams_;
      tsBytes_ += sizeof pending_;
      if (sha_ != nullptr) EVP_DigestUpdate(sha_, pending_, sizeof pending_);
    }
    nextDue_ = mediaStart_ + std::chrono::nanoseconds(stream_->Next(pending_) / asset_.pace);
  }
}

void RtspConnection::OpenNatSocket() {
  if (natSocket_ >= 0 || clientPort_ == 0 || rtpAvp_) return;
  // The client opens its path through NAT with datagrams to our address at
  // its own port number; listen there until the next PLAY.
  natSocket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(natSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(clientPort_));
  inet_pton(AF_INET, localIp_.c_str(), &a.sin_addr);
  if (bind(natSocket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    log_.Write("rtsp %s: nat: cannot listen on %s:%d: %s", peer_.c_str(), localIp_.c_str(),
               clientPort_, std::strerror(errno));
    close(natSocket_);
    natSocket_ = -1;
  }
}

void RtspConnection::CountNat() {
  if (natSocket_ < 0) return;
  int datagrams = 0, zeros = 0;
  uint8_t b[1500];
  for (;;) {
    const ssize_t n = recv(natSocket_, b, sizeof b, MSG_DONTWAIT);
    if (n < 0) break;
    ++datagrams;
    if (n == 2 && b[0] == 0 && b[1] == 0) ++zeros;
  }
  close(natSocket_);
  natSocket_ = -1;
  log_.Write("rtsp %s: nat: %d datagrams to %s:%d, %d of two zero bytes", peer_.c_str(), datagrams,
             localIp_.c_str(), clientPort_, zeros);
}

}  // namespace headend
