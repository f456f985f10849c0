#include "support/HeadendRunner.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

HeadendRunner::HeadendRunner(const std::string& scenario) {
  char name[] = "/tmp/quorvina-headend-XXXXXX";
  if (mkdtemp(name) == nullptr) return;
  dir_ = name;
  const std::string file = dir_ + "/scenario.json";
  const std::string log = dir_ + "/headend.log";
  std::ofstream(file) << scenario;
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(HEADEND_BIN, HEADEND_BIN, "--scenario", file.c_str(), "--log", log.c_str(), "--duration",
          "300", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!ready_ && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    ready_ = seen.find("headend ready") != std::string::npos;
  }
  close(out[0]);
}

HeadendRunner::~HeadendRunner() {
  if (pid_ > 0 && kill(pid_, SIGTERM) == 0) {
    int i = 0;  // it stops within a second; killed after two
    while (waitpid(pid_, nullptr, WNOHANG) != pid_ && ++i < 40) usleep(50000);
    if (i == 40 && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
  }
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
