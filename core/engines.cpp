#include "core/engines.h"

namespace zelph {

EngineTable StandardEngines() {
    return {};
}

}  // namespace zelph
