#include "codecs/engines.h"

#include "codecs/apeengines.h"
#include "codecs/flacdecoder.h"
#include "codecs/flacencoder.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "codecs/opusdecoder.h"
#include "codecs/opusencoder.h"
#include "codecs/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
    return {
        {EngineId::kEncWavPcm, EncodeWavPcm},
        {EngineId::kDecMp3, DecodeMp3},
        {EngineId::kDecOggVorbis, DecodeOggVorbis},
        {EngineId::kEncOggVorbis, EncodeOggVorbis},
        {EngineId::kEncMp3Lame, EncodeMp3Lame},
        {EngineId::kEncMp3Blade, EncodeMp3Blade},
        {EngineId::kEncMp3GoGo, EncodeMp3GoGo},
        {EngineId::kDecApeMonkey, DecodeApe},
        {EngineId::kEncApeMonkey, EncodeApe},
        {EngineId::kDecFlac, DecodeFlac},
        {EngineId::kEncFlac, EncodeFlac},
        {EngineId::kDecOpus, DecodeOpus},
        {EngineId::kEncOpus, EncodeOpus},
    };
}

}  // namespace zelph
