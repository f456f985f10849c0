// Process-wide flags and sizes that every subsystem reads.
#pragma once

#include <atomic>

// Raised once to stop every worker; never cleared.
extern std::atomic<bool> PararProceso;
// Debug log lines are written only while this is set (setting "ModoDebug").
extern std::atomic<bool> ModoDebug;
// Socket and stream buffer size, a multiple of 188 (setting "BUFSIZE").
extern int BUFSIZE;
