#include "RtspMessage.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace headend {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

}  // namespace

RtspRequestReader::Result RtspRequestReader::Next(RtspRequest* out, std::string* error) {
  // Blank lines between messages are allowed (RFC 2326, 4).
  while (buffer_.size() >= 2 && buffer_.compare(0, 2, "\r\n") == 0) buffer_.erase(0, 2);
  const size_t end = buffer_.find("\r\n\r\n");
  if (end == std::string::npos) {
    if (buffer_.size() > kMaxHead) {
      *error = "head over 16 KiB";
      return Result::Bad;
    }
    return Result::NeedMore;
  }
  RtspRequest r;
  const size_t lineEnd = buffer_.find("\r\n");
  const std::string line = buffer_.substr(0, lineEnd);
  const size_t s1 = line.find(' ');
  const size_t s2 = s1 == std::string::npos ? s1 : line.find(' ', s1 + 1);
  if (s2 == std::string::npos) {
    *error = "bad request line";
    return Result::Bad;
  }
  r.method = line.substr(0, s1);
  r.url = line.substr(s1 + 1, s2 - s1 - 1);
  r.version = line.substr(s2 + 1);
  size_t at = lineEnd + 2;
  while (at < end + 2) {
    const size_t next = buffer_.find("\r\n", at);
    const std::string h = buffer_.substr(at, next - at);
    at = next + 2;
    const size_t colon = h.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    std::string name = h.substr(0, colon);
    for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    r.headers.emplace(name, Trim(h.substr(colon + 1)));
  }
  const std::string length = r.Header("content-length");
  const long bodySize = length.empty() ? 0 : std::strtol(length.c_str(), nullptr, 10);
  if (bodySize < 0 || static_cast<size_t>(bodySize) > kMaxBody) {
    *error = "bad Content-Length " + length;
    return Result::Bad;
  }
  const size_t total = end + 4 + static_cast<size_t>(bodySize);
  if (buffer_.size() < total) return Result::NeedMore;
  r.body = buffer_.substr(end + 4, static_cast<size_t>(bodySize));
  r.raw = buffer_.substr(0, total);
  const std::string cseq = r.Header("cseq");
  r.cseq = cseq.empty() ? -1 : std::atoi(cseq.c_str());
  buffer_.erase(0, total);
  *out = std::move(r);
  return Result::Request;
}

std::string RtspReason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 454:
      return "Session Not Found";
    case 455:
      return "Method Not Valid in This State";
    case 461:
      return "Unsupported Transport";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

std::string RtspAnswer(int status, int cseq, const RtspHeaders& headers, const std::string& body) {
  std::string a = "RTSP/1.0 " + std::to_string(status) + " " + RtspReason(status) + "\r\n";
  a += "CSeq: " + std::to_string(cseq) + "\r\n";
  for (const auto& h : headers) a += h.first + ": " + h.second + "\r\n";
  if (!body.empty()) a += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return a + "\r\n" + body;
}

std::string RtspNotice(const std::string& url, int cseq, const std::string& session,
                       const std::string& header, const std::string& text) {
  return "ANNOUNCE " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: " + session + "\r\n" + header + ": " + text + "\r\n\r\n";
}

std::string RtspSdp(const std::string& serverIp, const std::string& control, int duration,
                    bool bare) {
  std::string s = "v=0\r\no=- 1 1 IN IP4 " + serverIp + "\r\ns=Quorvina VOD\r\n";
  s += "c=IN IP4 0.0.0.0\r\nt=0 0\r\n";
  if (!bare) {
    s += "a=control:" + control + "\r\n";
    s += "a=range:npt=0-" + std::to_string(duration) + "\r\n";
  }
  return s + "m=video 0 RTP/AVP 33\r\n";
}

std::string RtspPath(const std::string& url) {
  if (url.compare(0, 7, "rtsp://") != 0) return std::string();
  const size_t slash = url.find('/', 7);
  return slash == std::string::npos ? "/" : url.substr(slash);
}

std::string RtspEscape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace headend
