// Process-wide values of the HTTP client: the operator's server addresses,
// the session cookie and this machine's address as the operator sees it.
#pragma once

#include <mutex>
#include <string>

// Text written by one thread and read by others. Readers get a copy taken
// under the lock, so no caller ever holds it across I/O.
class SharedText {
 public:
  std::string Get() const;
  void Set(const std::string& text);
  // Stores the text only when none is held yet, in one lock scope.
  bool SetIfEmpty(const std::string& text);
  bool Empty() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// Application server, and the address tried when its name does not resolve.
// Written only at start, before any request.
extern std::string httpHostQuorvina;
extern std::string httpHostQuorvinaConfiguracion;
// Server path of a programme's picture, filled with id / 10000 and id.
extern const char* const httpBaseLogosProgramas;

// The whole cookie header line without its line end ("Cookie:name=value"),
// taken from the last session cookie any request received; empty at start.
extern SharedText httpSessionID;
// Local IPv4 address of the first successful text request; empty at start.
extern SharedText IPAdaptador;
