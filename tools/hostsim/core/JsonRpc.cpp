#include "core/JsonRpc.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>

#include "core/Host.h"

namespace hostsim {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

std::string compact(const rapidjson::Value& v) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  v.Accept(w);
  return buffer.GetString();
}

// {"id":..,"jsonrpc":"2.0","result":..} with the result written by `body`.
template <typename Body>
std::string reply(const rapidjson::Value* id, Body body) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  w.Key("id");
  if (id != nullptr)
    id->Accept(w);
  else
    w.Null();
  w.Key("jsonrpc");
  w.String("2.0");
  body(w);
  w.EndObject();
  return buffer.GetString();
}

std::string ok(const rapidjson::Value* id) {
  return reply(id, [](Writer& w) {
    w.Key("result");
    w.String("OK");
  });
}

std::string error(const rapidjson::Value* id, int code, const char* message) {
  return reply(id, [&](Writer& w) {
    w.Key("error");
    w.StartObject();
    w.Key("code");
    w.Int(code);
    w.Key("message");
    w.String(message);
    w.EndObject();
  });
}

std::string speedResult(const rapidjson::Value* id, int speed) {
  return reply(id, [&](Writer& w) {
    w.Key("result");
    w.StartObject();
    w.Key("speed");
    w.Int(speed);
    w.EndObject();
  });
}

const rapidjson::Value* member(const rapidjson::Value* v, const char* name) {
  if (v == nullptr || !v->IsObject()) return nullptr;
  auto m = v->FindMember(name);
  return m == v->MemberEnd() ? nullptr : &m->value;
}

}  // namespace

JsonRpc::JsonRpc(Host& host)
    : host_(host), listener_([this](const std::string& text) { return handle(text); }) {}

JsonRpc::~JsonRpc() {
  stop();
}

bool JsonRpc::start(uint16_t port, std::string& error) {
  return listener_.listen(port, error);
}

void JsonRpc::stop() {
  listener_.close();
}

std::vector<JsonRpcRequest> JsonRpc::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t JsonRpc::count(const std::string& method) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(
      std::count_if(requests_.begin(), requests_.end(),
                    [&](const JsonRpcRequest& r) { return r.method == method; }));
}

bool JsonRpc::waitFor(const std::string& method, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return std::any_of(requests_.begin(), requests_.end(),
                       [&](const JsonRpcRequest& r) { return r.method == method; });
  });
}

void JsonRpc::refreshChannelIds() {
  std::vector<ChannelEntry> channels = host_.pvr().channels();
  if (channels.empty() && host_.isRunning()) {
    host_.fetchChannels();
    channels = host_.pvr().channels();
  }
  std::stable_sort(
      channels.begin(), channels.end(),
      [](const ChannelEntry& a, const ChannelEntry& b) { return a.number < b.number; });
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ChannelEntry& c : channels) {
    if (idOfUid_.count(c.uniqueId) != 0) continue;
    auto id = static_cast<unsigned int>(idOfUid_.size() + 1);
    idOfUid_[c.uniqueId] = id;
    uidOfId_[id] = c.uniqueId;
  }
}

unsigned int JsonRpc::hostChannelId(unsigned int uid) {
  refreshChannelIds();
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = idOfUid_.find(uid);
  return found == idOfUid_.end() ? 0 : found->second;
}

std::string JsonRpc::handle(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse(text.c_str(), text.size());
  JsonRpcRequest request;
  request.text = text;
  const rapidjson::Value* id = nullptr;
  const rapidjson::Value* params = nullptr;
  if (!doc.HasParseError() && doc.IsObject()) {
    id = member(&doc, "id");
    const rapidjson::Value* method = member(&doc, "method");
    if (method != nullptr && method->IsString()) request.method = method->GetString();
    params = member(&doc, "params");
    if (params != nullptr) request.params = compact(*params);
  }
  host_.journal().host("JSON-RPC " + (request.method.empty() ? text : request.method) +
                       (request.params.empty() ? "" : " " + request.params));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  changed_.notify_all();
  if (doc.HasParseError() || !doc.IsObject()) return error(nullptr, -32700, "Parse error.");
  if (request.method.empty()) return error(id, -32600, "Invalid request.");

  LivePlayback& player = host_.playback();
  const std::string& m = request.method;
  const rapidjson::Value* playerId = member(params, "playerid");
  bool knownPlayer =
      player.active() && playerId != nullptr && playerId->IsInt() && playerId->GetInt() == 1;
  if (m == "Player.GetActivePlayers") {
    bool playing = player.active();
    return reply(id, [&](Writer& w) {
      w.Key("result");
      w.StartArray();
      if (playing) {
        w.StartObject();
        w.Key("playerid");
        w.Int(1);
        w.Key("type");
        w.String("video");
        w.EndObject();
      }
      w.EndArray();
    });
  }
  if (m == "Player.Open") {
    const rapidjson::Value* channel = member(member(params, "item"), "channelid");
    if (channel == nullptr || !channel->IsUint()) return error(id, -32602, "Invalid params.");
    refreshChannelIds();
    unsigned int uid = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = uidOfId_.find(channel->GetUint());
      if (found != uidOfId_.end()) uid = found->second;
    }
    if (uid == 0) return error(id, -32602, "Invalid params.");
    // The player opens it on its own thread, as the host's does: the reply
    // does not wait for the channel.
    player.openAsync(uid);
    return ok(id);
  }
  if (m == "Player.Stop") {
    if (!knownPlayer) return error(id, -32602, "Invalid params.");
    player.stopAsync();
    return ok(id);
  }
  if (m == "Player.PlayPause") {
    if (!knownPlayer) return error(id, -32602, "Invalid params.");
    bool pause = !player.paused();
    if (pause)
      player.pause();
    else
      player.resume();
    return speedResult(id, pause ? 0 : 1);
  }
  if (m == "Player.SetSpeed") {
    const rapidjson::Value* speed = member(params, "speed");
    if (!knownPlayer || speed == nullptr || !speed->IsInt())
      return error(id, -32602, "Invalid params.");
    player.setSpeed(speed->GetInt() * 1000);
    return speedResult(id, speed->GetInt());
  }
  if (m == "PVR.GetChannels") {
    const rapidjson::Value* group = member(params, "channelgroupid");
    if (group == nullptr) return error(id, -32602, "Invalid params.");
    bool radio = group->IsString() && std::string(group->GetString()) == "allradio";
    refreshChannelIds();
    std::vector<ChannelEntry> channels;
    for (const ChannelEntry& c : host_.pvr().channels())
      if (c.isRadio == radio) channels.push_back(c);
    std::stable_sort(channels.begin(), channels.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });
    std::map<unsigned int, unsigned int> ids;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ids = idOfUid_;
    }
    return reply(id, [&](Writer& w) {
      w.Key("result");
      w.StartObject();
      w.Key("channels");
      w.StartArray();
      for (const ChannelEntry& c : channels) {
        w.StartObject();
        w.Key("channel");
        w.String(c.name.c_str());
        w.Key("channelid");
        w.Uint(ids[c.uniqueId]);
        w.Key("label");
        w.String(c.name.c_str());
        w.EndObject();
      }
      w.EndArray();
      w.Key("limits");
      w.StartObject();
      w.Key("end");
      w.Uint(static_cast<unsigned>(channels.size()));
      w.Key("start");
      w.Uint(0);
      w.Key("total");
      w.Uint(static_cast<unsigned>(channels.size()));
      w.EndObject();
      w.EndObject();
    });
  }
  if (m == "VideoLibrary.Scan") {
    const rapidjson::Value* folder = member(params, "directory");
    host_.journal().host(std::string("VideoLibrary.Scan ") +
                         (folder != nullptr && folder->IsString() ? folder->GetString() : ""));
    return ok(id);
  }
  return error(id, -32601, "Method not found.");
}

}  // namespace hostsim
