#pragma once
// WavPack's blocks as a written .wv (or its .wvc correction file) holds
// them: each starts with a 32-byte "wvpk" header saying its size, the
// stream's total samples, and where its own samples fall.

#include <cstdint>
#include <optional>

namespace zelph {

class ReadOnlyFile;

// Every block whole and in sequence, followed by nothing but an APEv2 or
// ID3v1 tag: the sample frames the stream holds, which its first block must
// state as its total.
std::optional<uint64_t> WavPackAudioExtent(const ReadOnlyFile& file);

}  // namespace zelph
