#include "HttpRequest.h"

#include <algorithm>
#include <cctype>

namespace headend {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Value of name in "a=1<sep>b=2"; empty when absent.
std::string Pick(const std::string& list, const std::string& name, char separator) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string::npos) end = list.size();
    std::string item = Trim(list.substr(start, end - start));
    size_t equals = item.find('=');
    if (equals != std::string::npos && item.substr(0, equals) == name)
      return item.substr(equals + 1);
    start = end + 1;
  }
  return {};
}

}  // namespace

HttpRequest HttpRequest::Parse(const std::string& head) {
  HttpRequest r;
  size_t lineEnd = head.find("\r\n");
  if (lineEnd == std::string::npos) lineEnd = head.find('\n');
  std::string line = head.substr(0, lineEnd);
  size_t first = line.find(' ');
  size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) {
    r.error_ = "bad request line";
    return r;
  }
  r.method_ = line.substr(0, first);
  r.target_ = line.substr(first + 1, second - first - 1);
  std::string version = Trim(line.substr(second + 1));
  // Absolute form (RFC 9112, 3.2.2): the path and query follow the authority.
  std::string origin = r.target_;
  if (Lower(origin.substr(0, 7)) == "http://") {
    size_t at = origin.find_first_of("/?", 7);
    if (at == std::string::npos)
      origin = "/";
    else
      origin = origin[at] == '?' ? "/" + origin.substr(at) : origin.substr(at);
  }
  if (version.compare(0, 7, "HTTP/1.") != 0 || origin.empty() || origin[0] != '/') {
    r.error_ = "bad request line";
    return r;
  }
  size_t question = origin.find('?');
  r.path_ = origin.substr(0, question);
  if (question != std::string::npos) r.query_ = origin.substr(question + 1);
  size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 1;
  while (at < head.size()) {
    size_t end = head.find('\n', at);
    if (end == std::string::npos) end = head.size();
    std::string header = head.substr(at, end - at);
    at = end + 1;
    if (Trim(header).empty()) continue;
    size_t colon = header.find(':');
    if (colon == std::string::npos || colon == 0) {
      r.error_ = "bad header line";
      return r;
    }
    r.headers_[Lower(header.substr(0, colon))] = Trim(header.substr(colon + 1));
  }
  return r;
}

std::string HttpRequest::Param(const std::string& name) const {
  return Pick(query_, name, '&');
}

std::string HttpRequest::Cookie(const std::string& name) const {
  return Pick(Header("cookie"), name, ';');
}

std::string HttpRequest::Header(const std::string& name) const {
  auto it = headers_.find(Lower(name));
  return it == headers_.end() ? std::string() : it->second;
}

}  // namespace headend
