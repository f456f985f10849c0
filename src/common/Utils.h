// The common utilities in one include.
#pragma once

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/Socket.h"
#include "common/Text.h"
