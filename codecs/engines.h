#pragma once
// The engine procedure behind each engine identifier.

#include <map>

#include "codecs/job.h"

namespace zelph {

using EngineTable = std::map<EngineId, EngineProc>;

EngineTable StandardEngines();

}  // namespace zelph
