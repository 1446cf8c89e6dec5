#include "plugins/mp3enc/bestream.h"

#include <vector>

#include "plugins/mp3enc/cfile.h"
#include "plugins/mp3enc/tagframe.h"

namespace zelph::mp3enc {
namespace {

struct BeStream {
    LamePtr lame;
    int inputChannels;
    int mp3BufferSize;
};

BeStream* StreamOf(HBE_STREAM handle) { return static_cast<BeStream*>(handle); }

// The tag frame left by the last stream closed on the calling thread: the
// interface writes it with the next beWriteVBRHeader, which names no stream,
// so streams encoded side by side on other threads must not take its place.
class ClosedStreamTag {
public:
    static ClosedStreamTag& Instance() {
        thread_local ClosedStreamTag tag;
        return tag;
    }
    void Keep(std::vector<uint8_t> frame) { frame_ = std::move(frame); }
    std::vector<uint8_t> Take() { return std::move(frame_); }

private:
    std::vector<uint8_t> frame_;
};

}  // namespace

BE_ERR OpenBeStream(const EncoderOptions& options, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                    HBE_STREAM* stream) {
    if (!chunkSamples || !mp3BufferSize || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    LamePtr lame = OpenLame(options);
    if (!lame) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int frameSamples = lame_get_framesize(lame.get());
    auto* opened = new BeStream{std::move(lame), options.inputChannels, Mp3BufferBound(frameSamples)};
    *chunkSamples = static_cast<uint32_t>(frameSamples * options.inputChannels);
    *mp3BufferSize = static_cast<uint32_t>(opened->mp3BufferSize);
    *stream = opened;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR EncodeBeChunk(HBE_STREAM handle, uint32_t samples, const int16_t* pcm, uint8_t* mp3, uint32_t* mp3Bytes) {
    BeStream* stream = StreamOf(handle);
    if (!stream) return BE_ERR_INVALID_HANDLE;
    if (!mp3Bytes || !mp3 || (!pcm && samples > 0)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *mp3Bytes = 0;
    // A trailing sample of an incomplete stereo pair has no partner and is dropped.
    const int frames = static_cast<int>(samples / stream->inputChannels);
    const int room = Mp3BufferBound(frames);
    const int produced =
        stream->inputChannels == 2
            ? lame_encode_buffer_interleaved(stream->lame.get(), const_cast<int16_t*>(pcm), frames, mp3, room)
            : lame_encode_buffer(stream->lame.get(), pcm, pcm, frames, mp3, room);
    if (produced < 0) return BE_ERR_BUFFER_TOO_SMALL;
    *mp3Bytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR FlushBeStream(HBE_STREAM handle, uint8_t* mp3, uint32_t* mp3Bytes) {
    BeStream* stream = StreamOf(handle);
    if (!stream) return BE_ERR_INVALID_HANDLE;
    if (!mp3 || !mp3Bytes) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *mp3Bytes = 0;
    const int produced = lame_encode_flush(stream->lame.get(), mp3, stream->mp3BufferSize);
    if (produced < 0) return BE_ERR_BUFFER_TOO_SMALL;
    *mp3Bytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CloseBeStream(HBE_STREAM handle) {
    BeStream* stream = StreamOf(handle);
    if (!stream) return BE_ERR_INVALID_HANDLE;
    ClosedStreamTag::Instance().Keep(FinishedTagFrame(stream->lame.get()));
    delete stream;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR WriteClosedStreamTag(const char* mp3Path) {
    if (!mp3Path) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const std::vector<uint8_t> tag = ClosedStreamTag::Instance().Take();
    if (tag.empty()) return BE_ERR_SUCCESSFUL;
    FilePtr mp3 = OpenFile(mp3Path, "r+b");
    if (!mp3) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const bool written = WriteTagFrame(mp3.get(), tag);
    return CloseChecked(mp3) && written ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

}  // namespace zelph::mp3enc
