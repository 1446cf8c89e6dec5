#include "core/engines.h"

<<<<<<< HEAD
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
=======
#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
>>>>>>> ogg
#include "core/wavpcmengine.h"

namespace zelph {

EngineTable StandardEngines() {
<<<<<<< HEAD
    return {{kEncWavPcm, EncodeWavPcm},
            {kEncMp3Lame, EncodeMp3Lame},
            {kEncMp3Blade, EncodeMp3Blade},
            {kEncMp3GoGo, EncodeMp3GoGo}};
=======
    return {
        {kEncWavPcm, EncodeWavPcm},
        {kDecMp3, DecodeMp3},
        {kDecOggVorbis, DecodeOggVorbis},
        {kEncOggVorbis, EncodeOggVorbis},
    };
>>>>>>> ogg
}

}  // namespace zelph
