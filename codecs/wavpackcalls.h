#pragma once
// libwavpack's packing side as the WavPack encoder holds it: every entry
// point resolved by name from Plugins/WavPack.so, never linked.

#include <wavpack/wavpack.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct WavPackCalls {
    ZELPH_CALL(WavpackOpenFileOutput);
    ZELPH_CALL(WavpackSetConfiguration64);
    ZELPH_CALL(WavpackPackInit);
    ZELPH_CALL(WavpackPackSamples);
    ZELPH_CALL(WavpackFlushSamples);
    ZELPH_CALL(WavpackGetErrorMessage);
    ZELPH_CALL(WavpackCloseFile);
};

#undef ZELPH_CALL

inline bool LoadWavPackCalls(CodecLibraries& libraries, WavPackCalls& w) {
    return libraries.Load("WavPack.so", {Bind("WavpackOpenFileOutput", w.WavpackOpenFileOutput),
                                         Bind("WavpackSetConfiguration64", w.WavpackSetConfiguration64),
                                         Bind("WavpackPackInit", w.WavpackPackInit),
                                         Bind("WavpackPackSamples", w.WavpackPackSamples),
                                         Bind("WavpackFlushSamples", w.WavpackFlushSamples),
                                         Bind("WavpackGetErrorMessage", w.WavpackGetErrorMessage),
                                         Bind("WavpackCloseFile", w.WavpackCloseFile)});
}

}  // namespace zelph
