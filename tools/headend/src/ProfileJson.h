#pragma once

#include <rapidjson/document.h>

#include <string>

#include "ScenarioTypes.h"

namespace headend {

// Writes a profile answer, {"resultCode":0,"resultText":"OK","resultData":{...}},
// from the scenario's resultData, with the switches that remove members or
// turn numbers into strings applied.
class ProfileJson {
 public:
  static std::string Write(const rapidjson::Document& resultData, const HttpSwitches& switches);

 private:
  // The member that a dotted path under resultData names, and its parent.
  static rapidjson::Value* Resolve(rapidjson::Value* root, const std::string& path,
                                   rapidjson::Value** parent, std::string* last);
};

}  // namespace headend
