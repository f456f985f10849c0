#include "support/HeadendRunner.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/HeadendProcess.h"

HeadendRunner::HeadendRunner(const std::string& scenario) {
  char name[] = "/tmp/quorvina-headend-XXXXXX";
  if (mkdtemp(name) == nullptr) return;
  dir_ = name;
  const std::string file = dir_ + "/scenario.json";
  const std::string log = dir_ + "/headend.log";
  std::ofstream(file) << scenario;
  pid_ = StartHeadend(HEADEND_BIN, file, log, 300, ready_);
}

HeadendRunner::~HeadendRunner() {
  StopHeadend(pid_);
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

std::string HeadendRunner::Log() const {
  std::ifstream in(dir_ + "/headend.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int HeadendRunner::Count(const std::string& fragment) const {
  std::istringstream lines(Log());
  int count = 0;
  for (std::string line; std::getline(lines, line);)
    count += line.find(fragment) != std::string::npos;
  return count;
}
