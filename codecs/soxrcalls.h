#pragma once
// libsoxr as the resampler holds it: every entry point resolved by name
// from Plugins/Soxr.so, never linked, so that a conversion that keeps its
// rate never loads it (nor the OpenMP runtime it brings).

#include <soxr.h>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct SoxrCalls {
    ZELPH_CALL(soxr_io_spec);
    ZELPH_CALL(soxr_quality_spec);
    ZELPH_CALL(soxr_create);
    ZELPH_CALL(soxr_process);
    ZELPH_CALL(soxr_delete);
};

#undef ZELPH_CALL

inline bool LoadSoxrCalls(CodecLibraries& libraries, SoxrCalls& s) {
    return libraries.Load("Soxr.so", {Bind("soxr_io_spec", s.soxr_io_spec), Bind("soxr_quality_spec", s.soxr_quality_spec),
                                      Bind("soxr_create", s.soxr_create), Bind("soxr_process", s.soxr_process),
                                      Bind("soxr_delete", s.soxr_delete)});
}

}  // namespace zelph
