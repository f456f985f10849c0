#include "common/Globals.h"

std::atomic<bool> PararProceso{false};
std::atomic<bool> ModoDebug{false};
int BUFSIZE = 127840;
