#include "HttpConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "Log.h"

namespace headend {

namespace {

const size_t kMaxHead = size_t{16} * 1024;
const int kSlice = 100;  // ms between looks at the stop flag

std::string HttpDate() {
  char text[64];
  time_t now = time(nullptr);
  tm utc{};
  gmtime_r(&now, &utc);
  strftime(text, sizeof(text), "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return text;
}

}  // namespace

HttpConnection::HttpConnection(int socket, std::string peer, int number, int readTimeoutMs,
                               AppAnswers& answers, Log& log)
    : Worker("http-" + std::to_string(number)),
      socket_(socket),
      peer_(std::move(peer)),
      readTimeoutMs_(readTimeoutMs),
      answers_(answers),
      log_(log) {}

HttpConnection::~HttpConnection() {
  Stop();
  if (socket_ >= 0) close(socket_);
}

HttpConnection::Wait HttpConnection::WaitReadable(int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += kSlice) {
    if (Stopping()) return Wait::kStopped;
    pollfd p{socket_, POLLIN, 0};
    int n = poll(&p, 1, std::min(kSlice, timeoutMs - waited));
    if (n > 0) return Wait::kReady;
    if (n < 0 && errno != EINTR) return Wait::kTimeout;
  }
  return Wait::kTimeout;
}

bool HttpConnection::ReadHead(std::string* head) {
  char buffer[4096];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readTimeoutMs_);
  while (head->find("\r\n\r\n") == std::string::npos && head->find("\n\n") == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || head->size() > kMaxHead) return false;
    if (WaitReadable(static_cast<int>(left.count())) != Wait::kReady) return false;
    ssize_t n = recv(socket_, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    head->append(buffer, static_cast<size_t>(n));
  }
  return true;
}

bool HttpConnection::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    if (Stopping()) return false;
    ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void HttpConnection::Hold(int ms) {
  // Keep the socket open without answering until the client gives up.
  char buffer[512];
  for (int held = 0; held < ms; held += kSlice) {
    Wait w = WaitReadable(kSlice);
    if (w == Wait::kStopped) return;
    if (w == Wait::kReady && recv(socket_, buffer, sizeof(buffer), 0) <= 0) return;
  }
}

std::string HttpConnection::Head(const HttpReply& reply) const {
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
  head += "Server: Quorvina-AppServer/1.0\r\n";
  head += "Date: " + HttpDate() + "\r\n";
  head += "Content-Type: " + reply.contentType + "\r\n";
  if (!reply.switches.omitContentLength)
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  for (const auto& h : reply.headers) head += h + "\r\n";
  head += "Connection: close\r\n\r\n";
  return head;
}

void HttpConnection::Process() {
  std::string head;
  if (!ReadHead(&head)) {
    if (!Stopping()) log_.Write("http %s: no complete request head", peer_.c_str());
    return;
  }
  HttpRequest request = HttpRequest::Parse(head);
  HttpReply reply = answers_.Answer(request);
  const HttpSwitches& w = reply.switches;
  std::string what = request.Ok() ? request.Method() + " " + request.Target() : request.Error();
  if (w.delayMs > 0 && !SleepFor(std::chrono::milliseconds(w.delayMs))) return;
  if (w.noAnswer == "close") {
    log_.Write("http %s: %s -> closed without answer", peer_.c_str(), what.c_str());
    return;
  }
  if (w.noAnswer == "hold") {
    log_.Write("http %s: %s -> held without answer", peer_.c_str(), what.c_str());
    Hold(w.holdMs);
    return;
  }
  std::string text = Head(reply);
  std::string body = reply.headOnly ? std::string() : reply.body;
  bool ok;
  if (w.splitHead) {
    // Two TCP segments: Nagle off, and a pause between the halves.
    int one = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    size_t half = text.size() / 2;
    ok = SendAll(text.substr(0, half)) && SleepFor(std::chrono::milliseconds(w.splitDelayMs)) &&
         SendAll(text.substr(half) + body);
  } else {
    ok = SendAll(text + body);
  }
  log_.Write("http %s: %s -> %d, %zu bytes%s%s", peer_.c_str(), what.c_str(), reply.status,
             body.size(), reply.note.empty() ? "" : (", " + reply.note).c_str(),
             ok ? "" : " (send failed)");
  shutdown(socket_, SHUT_WR);
  // Let the client read everything before the close (no reset on unread input).
  Hold(200);
}

}  // namespace headend
