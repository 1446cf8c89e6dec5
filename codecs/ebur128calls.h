#pragma once
// libebur128, the loudness meter, as the loudness step holds it: every entry
// point resolved by name from Plugins/EBUR128.so, never linked, so that a
// conversion that measures nothing never loads it. Once loaded it stays for
// the rest of the process: a meter lives on after the engine run that fed
// it, until its album is measured.

#include <ebur128.h>

#include <string>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct Ebur128Calls {
    ZELPH_CALL(ebur128_init);
    ZELPH_CALL(ebur128_destroy);
    ZELPH_CALL(ebur128_add_frames_float);
    ZELPH_CALL(ebur128_loudness_global);
    ZELPH_CALL(ebur128_loudness_global_multiple);
    ZELPH_CALL(ebur128_true_peak);
};

#undef ZELPH_CALL

inline bool LoadEbur128Calls(CodecLibraries& libraries, Ebur128Calls& e) {
    return libraries.Load("EBUR128.so", {Bind("ebur128_init", e.ebur128_init), Bind("ebur128_destroy", e.ebur128_destroy),
                                         Bind("ebur128_add_frames_float", e.ebur128_add_frames_float),
                                         Bind("ebur128_loudness_global", e.ebur128_loudness_global),
                                         Bind("ebur128_loudness_global_multiple", e.ebur128_loudness_global_multiple),
                                         Bind("ebur128_true_peak", e.ebur128_true_peak)});
}

inline const Ebur128Calls* LoadEbur128(std::string& error) { return LoadedForProcess(LoadEbur128Calls, error); }

}  // namespace zelph
