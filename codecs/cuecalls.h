#pragma once
// libcue, which reads CUE sheets, as the sheet reader holds it: every entry
// point resolved by name from Plugins/Cue.so, never linked, so that a
// conversion without a sheet never loads it; once loaded it stays for the
// rest of the process.

#include <libcue.h>

#include <string>

#include "codecs/libraryloader.h"

namespace zelph {

#define ZELPH_CALL(name) decltype(&::name) name = nullptr

struct CueCalls {
    ZELPH_CALL(cue_parse_string);
    ZELPH_CALL(cd_delete);
    ZELPH_CALL(cd_get_ntrack);
    ZELPH_CALL(cd_get_cdtext);
    ZELPH_CALL(cd_get_rem);
    ZELPH_CALL(cd_get_track);
    ZELPH_CALL(cdtext_get);
    ZELPH_CALL(rem_get);
    ZELPH_CALL(track_get_filename);
    ZELPH_CALL(track_get_mode);
    ZELPH_CALL(track_get_index);
    ZELPH_CALL(track_get_cdtext);
    ZELPH_CALL(track_get_rem);
    ZELPH_CALL(track_get_isrc);
};

#undef ZELPH_CALL

inline bool LoadCueCalls(CodecLibraries& libraries, CueCalls& c) {
    return libraries.Load("Cue.so", {Bind("cue_parse_string", c.cue_parse_string), Bind("cd_delete", c.cd_delete),
                                     Bind("cd_get_ntrack", c.cd_get_ntrack), Bind("cd_get_cdtext", c.cd_get_cdtext),
                                     Bind("cd_get_rem", c.cd_get_rem), Bind("cd_get_track", c.cd_get_track),
                                     Bind("cdtext_get", c.cdtext_get), Bind("rem_get", c.rem_get),
                                     Bind("track_get_filename", c.track_get_filename),
                                     Bind("track_get_mode", c.track_get_mode), Bind("track_get_index", c.track_get_index),
                                     Bind("track_get_cdtext", c.track_get_cdtext), Bind("track_get_rem", c.track_get_rem),
                                     Bind("track_get_isrc", c.track_get_isrc)});
}

inline const CueCalls* LoadCue(std::string& error) { return LoadedForProcess(LoadCueCalls, error); }

}  // namespace zelph
