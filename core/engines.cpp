#include "core/engines.h"

#include "codecs/apeengines.h"
#include "codecs/flacdecoder.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "codecs/opusdecoder.h"
#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {
        {kEncWavPcm, EncodeWavPcm},
        {kDecMp3, DecodeMp3},
        {kDecOggVorbis, DecodeOggVorbis},
        {kEncOggVorbis, EncodeOggVorbis},
        {kEncMp3Lame, EncodeMp3Lame},
        {kEncMp3Blade, EncodeMp3Blade},
        {kEncMp3GoGo, EncodeMp3GoGo},
        {kDecApeMonkey, DecodeApe},
        {kEncApeMonkey, EncodeApe},
        {kDecFlac, DecodeFlac},
        {kDecOpus, DecodeOpus},
    };
}

}  // namespace zelph
