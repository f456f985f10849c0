#include "E2eFixture.h"

#include <fcntl.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/HeadendProcess.h"

namespace e2e {

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Merge(rapidjson::Value& target, rapidjson::Value& patch,
           rapidjson::Document::AllocatorType& allocator) {
  for (auto& member : patch.GetObject()) {
    auto found = target.FindMember(member.name);
    if (found != target.MemberEnd() && found->value.IsObject() && member.value.IsObject()) {
      Merge(found->value, member.value, allocator);
    } else if (found != target.MemberEnd()) {
      found->value.CopyFrom(member.value, allocator);
    } else {
      rapidjson::Value name(member.name, allocator);
      rapidjson::Value value(member.value, allocator);
      target.AddMember(name, value, allocator);
    }
  }
}

}  // namespace

std::string Scenario(const std::string& patch) {
  rapidjson::Document scenario;
  scenario.Parse(ReadFile(QUORVINA_SOURCE_DIR "/tools/headend/scenarios/default.json").c_str());
  // The guide's week is sent only to the tests that ask for it, so the
  // others don't share the machine with its carousels.
  rapidjson::Document noGuide;
  noGuide.Parse(R"({"guide":{"days":0}})");
  rapidjson::Document changes;
  changes.Parse(patch.c_str());
  if (!scenario.IsObject() || !changes.IsObject()) return std::string();
  Merge(scenario, noGuide, scenario.GetAllocator());
  Merge(scenario, changes, scenario.GetAllocator());
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  scenario.Accept(writer);
  return buffer.GetString();
}

Headend::Headend(const std::string& scenario) {
  char name[] = "/tmp/quorvina-scenario-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return;
  file_ = name;
  if (write(fd, scenario.data(), scenario.size()) != static_cast<ssize_t>(scenario.size())) {
    close(fd);
    return;
  }
  close(fd);
  pid_ = ::StartHeadend(HEADEND_BIN, file_, file_ + ".log", 600, ready_);
}

Headend::~Headend() {
  Stop();
  if (!file_.empty()) {
    unlink(file_.c_str());
    unlink((file_ + ".log").c_str());
  }
}

std::string Headend::Log() const {
  return file_.empty() ? std::string() : ReadFile(file_ + ".log");
}

void Headend::Stop() {
  StopHeadend(pid_);
}

void E2eTest::SetUp() {
  const char* inside = getenv("QUORVINA_NETNS");
  if (inside == nullptr || std::string(inside) != "1") {
    GTEST_SKIP() << "needs the private test network (scripts/netns-run.sh)";
  }
  char name[] = "/tmp/quorvina-e2e-XXXXXX";
  root_ = mkdtemp(name);
  userDir_ = root_ + "/user";
  addonDir_ = root_ + "/addons/pvr.quorvina";
  fs::create_directories(root_ + "/addons");
  fs::copy(QUORVINA_STAGE_DIR, addonDir_, fs::copy_options::recursive);
}

void E2eTest::TearDown() {
  StopHost();
  headend_.reset();
  if (!root_.empty()) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
}

hostsim::Host& E2eTest::StartHost(const std::string& hostLibDir) {
  StopHost();
  hostsim::HostOptions options;
  options.addonDir = addonDir_;
  options.userDir = userDir_;
  options.hostLibDir = hostLibDir;
  options.echo = getenv("E2E_ECHO") != nullptr;
  host_ = std::make_unique<hostsim::Host>(options);
  return *host_;
}

hostsim::Host& E2eTest::LoadWithSettings(const std::string& settings) {
  fs::create_directories(userDir_);
  std::ofstream(userDir_ + "/settings.xml") << "<settings>" << settings << "</settings>";
  hostsim::Host& host = StartHost();
  EXPECT_TRUE(host.load().ok);
  EXPECT_TRUE(host.waitForChannels(std::chrono::seconds(30)));
  return host;
}

void E2eTest::StopHost() {
  if (host_) {
    host_->unload();
    host_.reset();
  }
}

void E2eTest::StartHeadend(const std::string& scenario) {
  headend_.reset();  // one headend at a time: they share addresses and ports
  headend_ = std::make_unique<Headend>(scenario);
  ASSERT_TRUE(headend_->ready()) << "headend did not start";
}

std::string E2eTest::ReadUserFile(const std::string& relative) const {
  return ReadFile(userDir_ + "/" + relative);
}

bool E2eTest::WaitForUserFile(const std::string& relative,
                              std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  while (ReadUserFile(relative).empty()) {
    if (Clock::now() >= deadline) return false;
    usleep(100000);
  }
  return true;
}

bool E2eTest::Notified(const std::string& text) {
  return host_ && host_->journal().contains(hostsim::EntryKind::Notification, text);
}

}  // namespace e2e
