#include "core/engines.h"

#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {
        {kEncWavPcm, EncodeWavPcm},
        {kDecMp3, DecodeMp3},
        {kDecOggVorbis, DecodeOggVorbis},
        {kEncOggVorbis, EncodeOggVorbis},
    };
}

}  // namespace zelph
