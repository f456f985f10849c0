// Starting and stopping a headend child process, for the tests and the
// benchmarks that need the operator's servers.
#pragma once

#include <sys/types.h>

#include <string>

// Starts `binary` on a scenario file with its log in `log` (running for
// `durationSeconds`, 0: until stopped) and waits, at most 15 s, for its
// ready line. The child's pid (-1 if it could not start); `ready` tells
// whether the line came.
pid_t StartHeadend(const char* binary, const std::string& scenario, const std::string& log,
                   int durationSeconds, bool& ready);

// SIGTERM, then SIGKILL after 2.5 s; the pid becomes -1.
void StopHeadend(pid_t& pid);
