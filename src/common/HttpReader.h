// The read step of one HTTP response: the status and head, which must come
// whole in the first segment, then the body by Content-Length or until the
// peer stops. Bytes come through a receive function, so the same code runs
// on a socket and on any bytes a test or fuzzer hands it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

using HttpHeaders = std::map<std::string, std::string>;

// Parses header lines (separated by "\n", any "\r" dropped) into headers:
// names lower-cased, leading blanks of values skipped, first of a name wins.
void ObtenerCabeceras(const std::string& text, HttpHeaders& headers);

class HttpReader {
 public:
  // Receives at most size bytes into buffer, as recv does: the count, or 0
  // or less when the peer closed, timed out or failed.
  using Receive = std::function<int(char* buffer, int size)>;

  // Largest first segment; the whole response head must fit in it.
  static constexpr int kHeadSegment = 1500;
  static constexpr int kUnusable = -1;
  static constexpr int kNotOk = -2;

  // Forgets the previous response, before a new request.
  void Reset();
  // The connection ended: a later response starts with its head again.
  void EndResponse() { headersRead_ = false; }

  // Fills buffer with body bytes (with the head too on the first call when
  // keepHead is set). Returns the count; 0 or less when the peer closed or
  // timed out; kUnusable for a buffer under kHeadSegment or a head that is
  // not whole in the first segment; kNotOk for a status other than 200.
  int Read(char* buffer, int size, bool keepHead, const Receive& receive);

  const HttpHeaders& headers() const { return headers_; }
  int contentLength() const { return contentLength_; }
  int64_t bodyReceived() const { return bodyReceived_; }
  bool headersRead() const { return headersRead_; }

 private:
  int ReadHead(char* buffer, bool keepHead, const Receive& receive);
  bool BodyComplete() const { return contentLength_ > 0 && bodyReceived_ >= contentLength_; }

  HttpHeaders headers_;
  int contentLength_ = 0;
  int64_t bodyReceived_ = 0;
  bool headersRead_ = false;
};
