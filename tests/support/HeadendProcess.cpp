#include "support/HeadendProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

pid_t StartHeadend(const char* binary, const std::string& scenario, const std::string& log,
                   int durationSeconds, bool& ready) {
  ready = false;
  int out[2];
  if (pipe(out) != 0) return -1;
  const std::string duration = std::to_string(durationSeconds);
  std::vector<const char*> args = {binary, "--scenario", scenario.c_str(), "--log", log.c_str()};
  if (durationSeconds > 0) args.insert(args.end(), {"--duration", duration.c_str()});
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execv(binary, const_cast<char* const*>(args.data()));
    _exit(127);
  }
  close(out[1]);
  if (pid < 0) {
    close(out[0]);
    return -1;
  }
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!ready && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[512];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    ready = seen.find("headend ready") != std::string::npos;
  }
  // Nothing more is read: headend writes little once ready.
  close(out[0]);
  return pid;
}

void StopHeadend(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    usleep(50000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}
