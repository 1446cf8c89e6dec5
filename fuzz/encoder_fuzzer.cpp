// One encoder engine (chosen at build time) fed a WAV file made of the fuzz
// input: header fields and audio alike come from the fuzzer, the settings
// are the defaults.

#include "codecs/apeengines.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggencoder.h"
#include "fuzz/enginefuzz.h"
#include "settings/settings.h"

namespace {

zelph::ConverterSettings& Settings() {
    static zelph::ConverterSettings settings = [] {
        zelph::ConverterSettings s{};
        zelph::ApplyDefaults(s, "/dev/shm/");
        return s;
    }();
    return settings;
}

#if defined(ZELPH_FUZZ_LAME)
constexpr zelph::EngineProc kEngine = zelph::EncodeMp3Lame;
zelph::EngineSettings Block() { return &Settings().lame; }
#define ZELPH_FUZZ_LIBRARIES {"Lame_Enc.so"}
#elif defined(ZELPH_FUZZ_BLADE)
constexpr zelph::EngineProc kEngine = zelph::EncodeMp3Blade;
zelph::EngineSettings Block() { return &Settings().blade; }
#define ZELPH_FUZZ_LIBRARIES {"BladeEnc.so"}
#elif defined(ZELPH_FUZZ_GOGO)
constexpr zelph::EngineProc kEngine = zelph::EncodeMp3GoGo;
zelph::EngineSettings Block() { return &Settings().gogo; }
#define ZELPH_FUZZ_LIBRARIES {"GoGo.so"}
#elif defined(ZELPH_FUZZ_OGG)
constexpr zelph::EngineProc kEngine = zelph::EncodeOggVorbis;
zelph::EngineSettings Block() { return &Settings().ogg; }
#define ZELPH_FUZZ_LIBRARIES {"Ogg.so", "Vorbis.so", "VorbisEnc.so"}
#else
constexpr zelph::EngineProc kEngine = zelph::EncodeApe;
zelph::EngineSettings Block() { return &Settings().ape; }
#define ZELPH_FUZZ_LIBRARIES {"MACDll.so"}
#endif

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zelph::fuzz::HoldLibraries(ZELPH_FUZZ_LIBRARIES);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return zelph::fuzz::RunEngineOnBytes(kEngine, Block(), data, size);
}
