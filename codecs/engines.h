#pragma once
// The engine procedure behind each engine identifier: the standard table is
// built from the target and source rows (core/targets.h); tests put their own
// procedures in its place.

#include <map>

#include "codecs/job.h"

namespace zelph {

using EngineTable = std::map<EngineId, EngineProc>;

}  // namespace zelph
