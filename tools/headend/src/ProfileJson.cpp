#include "ProfileJson.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace headend {

rapidjson::Value* ProfileJson::Resolve(rapidjson::Value* root, const std::string& path,
                                       rapidjson::Value** parent, std::string* last) {
  rapidjson::Value* at = root;
  *parent = nullptr;
  size_t start = 0;
  while (true) {
    size_t dot = path.find('.', start);
    std::string name =
        path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!at->IsObject()) return nullptr;
    auto it = at->FindMember(name.c_str());
    if (it == at->MemberEnd()) return nullptr;
    *parent = at;
    *last = name;
    at = &it->value;
    if (dot == std::string::npos) return at;
    start = dot + 1;
  }
}

std::string ProfileJson::Write(const rapidjson::Document& resultData,
                               const HttpSwitches& switches) {
  rapidjson::Document answer;
  answer.SetObject();
  auto& a = answer.GetAllocator();
  answer.AddMember("resultCode", 0, a);
  answer.AddMember("resultText", "OK", a);
  answer.AddMember("resultData", rapidjson::Value(resultData, a), a);
  for (const auto& path : switches.stringMembers) {
    rapidjson::Value* parent = nullptr;
    std::string name;
    rapidjson::Value* v = Resolve(&answer["resultData"], path, &parent, &name);
    if (v != nullptr && v->IsNumber()) {
      std::string text =
          v->IsInt64() ? std::to_string(v->GetInt64()) : std::to_string(v->GetDouble());
      v->SetString(text.c_str(), a);
    }
  }
  for (const auto& path : switches.missingMembers) {
    if (path == "resultData") {
      answer.RemoveMember("resultData");
      continue;
    }
    if (!answer.HasMember("resultData")) continue;
    rapidjson::Value* parent = nullptr;
    std::string name;
    if (Resolve(&answer["resultData"], path, &parent, &name) != nullptr)
      parent->RemoveMember(name.c_str());
  }
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  answer.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace headend
