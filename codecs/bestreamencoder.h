#pragma once
// The chunk loop shared by the engines that drive a BladeEnc-style encoder
// library (Lame_Enc.so, BladeEnc.so): the source's audio, brought to the
// channel count and rate the stream was configured for, handed over in the
// chunks the library asks for, and every byte it gives written to the target.

#include <cstdint>
#include <string>

#include "codecs/engine.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"
#include "plugins/mp3enc/bladeinterface.h"

namespace zelph {

struct BeStreamCalls {
    BEINITSTREAM init = nullptr;
    BEENCODECHUNK encode = nullptr;
    BEDEINITSTREAM deinit = nullptr;
    BECLOSESTREAM close = nullptr;
};

// Loads `file` and resolves the four stream calls, and `beWriteVBRHeader`
// into `writeTag` when one is given; false when any of them is missing.
bool LoadBeLibrary(CodecLibraries& libraries, const std::string& file, BeStreamCalls& calls,
                   BEWRITEVBRHEADER* writeTag = nullptr);

struct BeStreamShape {
    int channels = 2;      // what the stream takes: 1 for a mono stream, else 2
    uint32_t rate = 0;     // what the stream takes, in Hz; another source rate is resampled
    bool progressFirst = false;  // publish the block's progress before looking at a stop
};

// Opens the stream with `config`, encodes the whole of the source's audio,
// flushes, and closes the stream again. True when every block was encoded
// and every byte written; false on a rejected configuration, a source that
// is not 16-bit mono or stereo, a short read, a library error, a failed
// write, or a stop (no flush then).
bool EncodeWithBeStream(EngineRun& run, WavSource& source, ExclusiveFile& target, const BeStreamCalls& calls,
                        BE_CONFIG config, const BeStreamShape& shape);

// Why an encode through `library` failed: the source, the target, or else
// the library itself.
std::string BeStreamProblem(const WavSource& source, const ExclusiveFile& target, const std::string& library);

}  // namespace zelph
