#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

// RTSP 1.0 messages (RFC 2326) as the video server reads and writes them.
namespace headend {

struct RtspRequest {
  std::string method;
  std::string url;
  std::string version;
  std::map<std::string, std::string> headers;  // names in lower case; the first wins
  std::string body;
  std::string raw;  // the request's bytes, as they came
  int cseq = -1;

  std::string Header(const std::string& lowerName) const {
    auto h = headers.find(lowerName);
    return h == headers.end() ? std::string() : h->second;
  }
};

// Cuts requests out of the bytes of one connection: a head up to the blank
// line (16 KiB at most), then Content-Length bytes of body.
class RtspRequestReader {
 public:
  enum class Result { NeedMore, Request, Bad };
  static constexpr size_t kMaxHead = 16 * 1024;
  static constexpr size_t kMaxBody = 64 * 1024;

  void Feed(const char* data, size_t size) { buffer_.append(data, size); }
  Result Next(RtspRequest* out, std::string* error);

 private:
  std::string buffer_;
};

using RtspHeaders = std::vector<std::pair<std::string, std::string>>;

std::string RtspReason(int status);
// "RTSP/1.0 <status> <reason>", CSeq first, the headers in order, and
// Content-Length when there is a body.
std::string RtspAnswer(int status, int cseq, const RtspHeaders& headers, const std::string& body);
// The server's own request (ANNOUNCE) carrying a notice.
std::string RtspNotice(const std::string& url, int cseq, const std::string& session,
                       const std::string& header, const std::string& text);
// The description of one asset; without control and range when `bare`.
std::string RtspSdp(const std::string& serverIp, const std::string& control, int duration,
                    bool bare);
// "rtsp://host[:port]/path" -> "/path" (empty when not an rtsp URL).
std::string RtspPath(const std::string& url);
// Bytes made printable for a log line: CR, LF and other controls escaped.
std::string RtspEscape(const std::string& bytes);

}  // namespace headend
