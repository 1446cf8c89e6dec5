#include "core/engines.h"

#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {{kEncWavPcm, EncodeWavPcm}};
}

}  // namespace zelph
