#include "core/engines.h"

#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {{kEncWavPcm, EncodeWavPcm},
            {kEncMp3Lame, EncodeMp3Lame},
            {kEncMp3Blade, EncodeMp3Blade},
            {kEncMp3GoGo, EncodeMp3GoGo}};
}

}  // namespace zelph
