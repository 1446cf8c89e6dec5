#include "core/fingerprint.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "codecs/ffmpegcalls.h"
#include "core/worddigest.h"
#include "formats/waveheader.h"
#include "metadata/tags.h"
#include "settings/appliedgain.h"
#include "settings/preferences.h"
#include "settings/settingsfields.h"

namespace zelph {

namespace {

std::string HexOf(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// FNV-1a, 64 bits: enough to tell one version of a file's audio from the next.
class Hash {
public:
    Hash& Add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) value_ = (value_ ^ bytes[i]) * 1099511628211ull;
        return *this;
    }
    // Each text ends with a NUL, so "ab"+"c" and "a"+"bc" differ.
    Hash& Add(const std::string& text) { return Add(text.c_str(), text.size() + 1); }
    std::string Text() const { return HexOf(value_); }

private:
    uint64_t value_ = 14695981039346656037ull;
};

constexpr std::size_t kStreamInfoMd5At = 18, kMd5Size = 16;

// A descriptor closed when it goes.
struct OpenedForReading {
    explicit OpenedForReading(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenedForReading() {
        if (fd >= 0) ::close(fd);
    }
    OpenedForReading(const OpenedForReading&) = delete;
    OpenedForReading& operator=(const OpenedForReading&) = delete;
    const int fd;
};

// A WAV's audio is its data chunk, hashed as it lies, so that converting
// the commonest source needs no demuxer at all (nor FFmpeg's libraries in
// memory). Not a WAV we read: nullopt, and FFmpeg's demuxer has its turn.
std::optional<std::string> WaveAudioHash(const std::string& source) {
    const OpenedForReading file(source);
    WaveFormat format;
    if (file.fd < 0 || ReadWaveFormat(file.fd, format) == 0) return std::nullopt;
    WordDigest digest;
    std::vector<uint8_t> buffer(1 << 16);
    for (uint64_t left = format.audioBytes; left > 0;) {
        const ssize_t got = ::read(file.fd, buffer.data(), static_cast<std::size_t>(std::min<uint64_t>(left, buffer.size())));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return "";
        if (got == 0) break;  // a file that ends before its data chunk says
        digest.Add(buffer.data(), static_cast<std::size_t>(got));
        left -= static_cast<uint64_t>(got);
    }
    // Each name is apart from the hashes of earlier records ("pcm:", "words:"),
    // which the four-lane digest never equals by design: such a source, once
    // touched, is converted again.
    return "pcm4:" + HexOf(digest.Finish());
}

}  // namespace

std::string AudioHash(const std::string& source) {
    if (std::optional<std::string> wave = WaveAudioHash(source)) return *wave;
    std::string error;
    const FfmpegCalls* av = LoadFfmpeg(error);
    if (!av) return "";
    AvInput file{*av};
    // Sources are untrusted: whatever a demuxer finds inside one, it may open
    // no other file and no network address.
    AvOptions options{*av};
    av->av_dict_set(&options.dictionary, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + source;
    if (av->avformat_open_input(&file.context, url.c_str(), nullptr, &options.dictionary) < 0) return "";
    int stream = -1;
    for (unsigned i = 0; i < file.context->nb_streams && stream < 0; ++i)
        if (file.context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) stream = static_cast<int>(i);
    if (stream < 0) return "";
    const AVCodecParameters& form = *file.context->streams[stream]->codecpar;
    if (form.codec_id == AV_CODEC_ID_FLAC && form.extradata_size >= static_cast<int>(kStreamInfoMd5At + kMd5Size)) {
        const uint8_t* md5 = form.extradata + kStreamInfoMd5At;
        // All zero: the encoder did not work it out.
        if (std::any_of(md5, md5 + kMd5Size, [](uint8_t byte) { return byte != 0; })) {
            std::string text = "md5:";
            for (std::size_t i = 0; i < kMd5Size; ++i) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", md5[i]);
                text += hex;
            }
            return text;
        }
    }
    AvPacket packet{*av};
    WordDigest digest;
    for (;;) {
        const int read = av->av_read_frame(file.context, packet.packet);
        if (read == AVERROR_EOF) break;
        if (read < 0) return "";
        if (packet.packet->stream_index == stream)
            digest.Add(packet.packet->data, static_cast<std::size_t>(packet.packet->size));
        av->av_packet_unref(packet.packet);
    }
    return "words4:" + HexOf(digest.Finish());
}

std::string TagsHash(const std::string& source, bool copyTags) {
    if (!copyTags) return "-";
    const SourceRow* row = FindSource(source);
    Hash hash;
    if (!row || !row->tags) return hash.Text();
    TagReadResult read = ReadTags(source, *row->tags);
    DropFileDescription(read.tags);
    for (const auto& [name, values] : read.tags.fields) {
        hash.Add(name);
        for (const std::string& value : values) hash.Add(value);
    }
    for (const auto& [name, labels] : read.tags.labels)
        for (const TextLabel& label : labels) hash.Add(name).Add(label.language).Add(label.description);
    for (const TagPicture& picture : read.tags.pictures)
        hash.Add(&picture.type, sizeof picture.type).Add(picture.mimeType).Add(picture.description).Add(picture.data);
    return hash.Text();
}

std::string TrackHash(const CueTrack& track) {
    Hash hash;
    hash.Add(&track.firstFrame, sizeof track.firstFrame).Add(&track.endFrame, sizeof track.endFrame);
    for (const auto& [field, values] : track.tags) {
        hash.Add(field);
        for (const std::string& value : values) hash.Add(value);
    }
    return hash.Text();
}

std::string SettingsHash(const TargetRow& target, const ConverterSettings& settings, const TargetTuning& tuning) {
    const std::string prefix = std::string(target.cliName) + ".";
    Hash hash;
    hash.Add(prefix);
    const auto* record = reinterpret_cast<const unsigned char*>(&settings);
    for (const SettingsField& field : SettingsFields()) {
        if (std::strncmp(field.name, prefix.c_str(), prefix.size()) != 0) continue;
        const std::size_t size = field.type == FieldType::Int16 ? 2 : field.type == FieldType::Folder ? 0 : 4;
        hash.Add(field.name).Add(record + field.offset, size);
    }
    // A tuned target's block, as the preferences would keep it.
    Preferences kept("");
    StoreTuning(tuning, kept);
    for (const PreferenceKey& key : PreferenceKeys())
        if (key.name.starts_with(prefix)) hash.Add(std::string(key.name)).Add(kept.GetText(key.name));
    // Audio brought to a loudness is other audio.
    if (const AppliedGain& gain = tuning.Of<AppliedGain>(); gain.on())
        hash.Add(std::string(kApplyGainLufs)).Add(std::to_string(gain.targetLufs));
    return hash.Text();
}

}  // namespace zelph
