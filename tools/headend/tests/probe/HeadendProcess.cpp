#include "HeadendProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace probe {

HeadendProcess::~HeadendProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (stdout_ >= 0) close(stdout_);
}

bool HeadendProcess::Start(const std::vector<std::string>& argv, int timeoutMs,
                           std::string* error) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipeFds[1], 1);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  stdout_ = pipeFds[0];
  if (pid_ < 0) {
    *error = "fork failed";
    return false;
  }
  std::string out;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.find("headend ready\n") == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{stdout_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      *error = "no \"headend ready\" line in time";
      return false;
    }
    char buffer[256];
    ssize_t n = read(stdout_, buffer, sizeof(buffer));
    if (n <= 0) {
      *error = "the headend ended before it was ready";
      return false;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

bool HeadendProcess::Terminate(int timeoutMs, long* tookMs, int* exitCode) {
  auto start = std::chrono::steady_clock::now();
  kill(pid_, SIGTERM);
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    *tookMs = static_cast<long>(took.count());
    if (done == pid_) {
      pid_ = -1;
      *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    }
    if (took.count() > timeoutMs) return false;  // the destructor kills it
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace probe
