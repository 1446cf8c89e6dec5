#include "core/engines.h"

#include "codecs/apeengines.h"
#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {{kEncWavPcm, EncodeWavPcm},
            {kDecApeMonkey, DecodeApe}, {kEncApeMonkey, EncodeApe}};
}

}  // namespace zelph
