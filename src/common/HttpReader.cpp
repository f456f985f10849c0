#include "common/HttpReader.h"

#include <algorithm>
#include <cstring>

#include "common/HttpGlobals.h"
#include "common/Utils.h"

namespace {
constexpr char kLineEnd[] = "\r\n";
constexpr char kHeadEnd[] = "\r\n\r\n";

// Position of pattern inside the first length bytes of data, or -1.
int Find(const char* data, int length, const char* pattern) {
  const char* end = data + length;
  const char* at = std::search(data, end, pattern, pattern + std::strlen(pattern));
  return at == end ? -1 : static_cast<int>(at - data);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
}  // namespace

void ObtenerCabeceras(const std::string& text, HttpHeaders& headers) {
  headers.clear();
  std::string clean = text;
  clean.erase(std::remove(clean.begin(), clean.end(), '\r'), clean.end());
  for (const std::string& line : split(clean, '\n')) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    size_t value = colon + 1;
    while (value < line.size() && IsBlank(line[value])) ++value;
    headers.emplace(stringtolower(line.substr(0, colon)), line.substr(value));
  }
}

void HttpReader::Reset() {
  headers_.clear();
  contentLength_ = 0;
  bodyReceived_ = 0;
  headersRead_ = false;
}

int HttpReader::ReadHead(char* buffer, bool keepHead, const Receive& receive) {
  char segment[kHeadSegment];
  const int received = receive(segment, kHeadSegment);
  if (received <= 0) return received;
  const int length = std::min(received, kHeadSegment);

  // The status code is the three characters after "HTTP/1.x ".
  if (length < 12 || std::memcmp(segment + 9, "200", 3) != 0) {
    GenerarLogDebug("Http Error" + std::string(segment, length));
    return kNotOk;
  }
  const int statusEnd = Find(segment, length, kLineEnd);
  const int headEnd = Find(segment, length, kHeadEnd);
  if (statusEnd < 0 || headEnd < 0) return kUnusable;

  const int firstHeader = statusEnd + 2;
  ObtenerCabeceras(
      firstHeader < headEnd ? std::string(segment + firstHeader, headEnd - firstHeader) : "",
      headers_);
  headersRead_ = true;

  const int headLength = headEnd + 4;
  bodyReceived_ = length - headLength;
  int count;
  if (keepHead) {
    std::memcpy(buffer, segment, length);
    count = length;
  } else {
    std::memcpy(buffer, segment + headLength, length - headLength);
    count = length - headLength;
  }

  const auto contentLength = headers_.find("content-length");
  if (contentLength != headers_.end()) contentLength_ = ConvertStringtoint(contentLength->second);
  const auto cookie = headers_.find("set-cookie");
  if (cookie != headers_.end()) {
    const std::vector<std::string> pieces = split(cookie->second, ';');
    httpSessionID.Set("Cookie:" + (pieces.empty() ? std::string() : pieces.front()));
  }
  return count;
}

int HttpReader::Read(char* buffer, int size, bool keepHead, const Receive& receive) {
  if (buffer == nullptr || size < kHeadSegment) return kUnusable;

  int count = 0;
  if (!headersRead_) {
    count = ReadHead(buffer, keepHead, receive);
    if (count < 0 || !headersRead_) return count;
    if (contentLength_ > 0 && bodyReceived_ == contentLength_) return count;
  }
  // A length of 0 is not a complete body: read on until the peer stops.
  while (count < size && !BodyComplete()) {
    const int received = receive(buffer + count, size - count);
    if (received <= 0) return count;
    count += std::min(received, size - count);
    bodyReceived_ += received;
  }
  return count;
}
