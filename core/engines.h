#pragma once
// The engine procedure behind each engine identifier.

#include "core/runner.h"

namespace zelph {

EngineTable StandardEngines();

}  // namespace zelph
