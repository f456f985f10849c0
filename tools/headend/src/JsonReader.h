#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace headend {

// A handle on one JSON value of the scenario. Lookups of absent members give
// defaults or empty handles; wrong types are recorded as errors with the path
// of the value, so one pass reports every mistake of a scenario file.
class JsonReader {
 public:
  JsonReader(const rapidjson::Value* value, std::string path, std::vector<std::string>* errors);

  bool Empty() const { return value_ == nullptr; }
  bool Has(const char* name) const;
  const rapidjson::Value* Raw() const { return value_; }
  const std::string& Path() const { return path_; }

  JsonReader Object(const char* name) const;
  std::vector<JsonReader> Array(const char* name) const;
  std::string String(const char* name, const std::string& fallback) const;
  int64_t Int(const char* name, int64_t fallback, int64_t min, int64_t max) const;
  bool Bool(const char* name, bool fallback) const;
  std::vector<std::string> Strings(const char* name) const;
  std::vector<int64_t> Ints(const char* name) const;

  // Members outside the list are errors: a typo must not go unnoticed.
  // "comment" is always allowed.
  void Only(std::initializer_list<const char*> known) const;
  void Error(const std::string& message) const;

 private:
  const rapidjson::Value* Find(const char* name) const;
  std::string PathOf(const char* name) const;

  const rapidjson::Value* value_;
  std::string path_;
  std::vector<std::string>* errors_;
};

}  // namespace headend
