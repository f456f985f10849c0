#pragma once

#include <map>
#include <string>

namespace headend {

// One parsed HTTP/1.x request head. Parse never fails hard: a head it can't
// read gives an object whose Ok() is false and whose Error() says why.
class HttpRequest {
 public:
  static HttpRequest Parse(const std::string& head);

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const std::string& Method() const { return method_; }
  const std::string& Target() const { return target_; }
  const std::string& Path() const { return path_; }
  // Query parameter or cookie value; empty when absent.
  std::string Param(const std::string& name) const;
  std::string Cookie(const std::string& name) const;
  // Header value by case-insensitive name; empty when absent.
  std::string Header(const std::string& name) const;

 private:
  std::string error_;
  std::string method_, target_, path_, query_;
  std::map<std::string, std::string> headers_;  // lower-case names
};

}  // namespace headend
