#include "JsonReader.h"

#include <cstring>

namespace headend {

JsonReader::JsonReader(const rapidjson::Value* value, std::string path,
                       std::vector<std::string>* errors)
    : value_(value), path_(std::move(path)), errors_(errors) {
  if (value_ != nullptr && !value_->IsObject()) {
    Error("expected an object");
    value_ = nullptr;
  }
}

const rapidjson::Value* JsonReader::Find(const char* name) const {
  if (value_ == nullptr) return nullptr;
  auto it = value_->FindMember(name);
  return it == value_->MemberEnd() ? nullptr : &it->value;
}

std::string JsonReader::PathOf(const char* name) const {
  return path_ + "/" + name;
}

bool JsonReader::Has(const char* name) const {
  return Find(name) != nullptr;
}

void JsonReader::Error(const std::string& message) const {
  errors_->push_back((path_.empty() ? std::string("/") : path_) + ": " + message);
}

JsonReader JsonReader::Object(const char* name) const {
  return JsonReader(Find(name), PathOf(name), errors_);
}

std::vector<JsonReader> JsonReader::Array(const char* name) const {
  std::vector<JsonReader> out;
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return out;
  if (!v->IsArray()) {
    errors_->push_back(PathOf(name) + ": expected an array");
    return out;
  }
  for (rapidjson::SizeType i = 0; i < v->Size(); ++i)
    out.emplace_back(&(*v)[i], PathOf(name) + "/" + std::to_string(i), errors_);
  return out;
}

std::string JsonReader::String(const char* name, const std::string& fallback) const {
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return fallback;
  if (!v->IsString()) {
    errors_->push_back(PathOf(name) + ": expected a string");
    return fallback;
  }
  return std::string(v->GetString(), v->GetStringLength());
}

int64_t JsonReader::Int(const char* name, int64_t fallback, int64_t min, int64_t max) const {
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return fallback;
  if (!v->IsInt64()) {
    errors_->push_back(PathOf(name) + ": expected an integer");
    return fallback;
  }
  int64_t n = v->GetInt64();
  if (n < min || n > max) {
    errors_->push_back(PathOf(name) + ": " + std::to_string(n) + " is outside " +
                       std::to_string(min) + ".." + std::to_string(max));
    return fallback;
  }
  return n;
}

bool JsonReader::Bool(const char* name, bool fallback) const {
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return fallback;
  if (!v->IsBool()) {
    errors_->push_back(PathOf(name) + ": expected true or false");
    return fallback;
  }
  return v->GetBool();
}

std::vector<std::string> JsonReader::Strings(const char* name) const {
  std::vector<std::string> out;
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return out;
  if (!v->IsArray()) {
    errors_->push_back(PathOf(name) + ": expected an array of strings");
    return out;
  }
  for (const auto& item : v->GetArray()) {
    if (item.IsString())
      out.emplace_back(item.GetString(), item.GetStringLength());
    else
      errors_->push_back(PathOf(name) + ": expected an array of strings");
  }
  return out;
}

std::vector<int64_t> JsonReader::Ints(const char* name) const {
  std::vector<int64_t> out;
  const rapidjson::Value* v = Find(name);
  if (v == nullptr) return out;
  if (!v->IsArray()) {
    errors_->push_back(PathOf(name) + ": expected an array of integers");
    return out;
  }
  for (const auto& item : v->GetArray()) {
    if (item.IsInt64())
      out.push_back(item.GetInt64());
    else
      errors_->push_back(PathOf(name) + ": expected an array of integers");
  }
  return out;
}

void JsonReader::Only(std::initializer_list<const char*> known) const {
  if (value_ == nullptr) return;
  for (const auto& member : value_->GetObject()) {
    bool found = std::strcmp(member.name.GetString(), "comment") == 0;
    for (const char* k : known) found = found || std::strcmp(k, member.name.GetString()) == 0;
    if (!found) errors_->push_back(PathOf(member.name.GetString()) + ": unknown member");
  }
}

}  // namespace headend
