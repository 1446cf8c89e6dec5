#include "core/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/naming.h"
#include "core/targets.h"
#include "metadata/tags.h"

namespace zelph {

namespace {

// ReplayGain 2.0's reference: a track at -18 LUFS plays unchanged.
constexpr double kReplayGainReference = -18.0;

std::optional<double> Finite(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// The largest magnitude among `samples`. Eight lanes kept apart let the
// compiler hold them in one vector register: this costs a tenth of what
// libebur128's sample peak does, which scans each channel on its own.
float LargestMagnitude(std::span<const float> samples) {
    constexpr std::size_t kLanes = 8;
    float lanes[kLanes] = {};
    std::size_t i = 0;
    for (; i + kLanes <= samples.size(); i += kLanes)
        for (std::size_t lane = 0; lane < kLanes; ++lane)
            lanes[lane] = std::max(lanes[lane], std::abs(samples[i + lane]));
    float largest = 0;
    for (; i < samples.size(); ++i) largest = std::max(largest, std::abs(samples[i]));
    for (const float lane : lanes) largest = std::max(largest, lane);
    return largest;
}

}  // namespace

struct LoudnessMeter::State {
    ebur128_state* meter;
    ~State() { ebur128_destroy(&meter); }
};

LoudnessMeter::LoudnessMeter(int channels, unsigned long rate, bool truePeak)
    : channels_(channels), truePeak_(truePeak) {
    if (channels <= 0 || rate == 0) return;
    const int mode = EBUR128_MODE_I | (truePeak ? EBUR128_MODE_TRUE_PEAK : 0);
    if (ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), rate, mode))
        state_ = std::make_unique<State>(meter);
}

LoudnessMeter::~LoudnessMeter() = default;

bool LoudnessMeter::Add(std::span<const float> samples) {
    if (!truePeak_) samplePeak_ = std::max(samplePeak_, LargestMagnitude(samples));
    return state_ &&
           ebur128_add_frames_float(state_->meter, samples.data(), samples.size() / static_cast<std::size_t>(channels_)) ==
               EBUR128_SUCCESS;
}

std::optional<double> LoudnessMeter::Loudness() const {
    double loudness = 0;
    if (!state_ || ebur128_loudness_global(state_->meter, &loudness) != EBUR128_SUCCESS) return std::nullopt;
    return Finite(loudness);
}

double LoudnessMeter::Peak() const {
    if (!truePeak_) return samplePeak_;
    double peak = 0;
    for (int channel = 0; state_ && channel < channels_; ++channel) {
        double one = 0;
        if (ebur128_true_peak(state_->meter, static_cast<unsigned>(channel), &one) == EBUR128_SUCCESS)
            peak = std::max(peak, one);
    }
    return peak;
}

std::optional<double> LoudnessMeter::Joint(std::span<const LoudnessMeter* const> tracks) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* track : tracks)
        if (track && track->state_) states.push_back(track->state_->meter);
    double loudness = 0;
    if (states.empty() || ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS)
        return std::nullopt;
    return Finite(loudness);
}

MeasuredGains GainsOf(const LoudnessMeter& track, std::span<const LoudnessMeter* const> album) {
    MeasuredGains gains;
    if (const std::optional<double> loudness = track.Loudness()) gains.trackGain = kReplayGainReference - *loudness;
    gains.trackPeak = track.Peak();
    if (album.empty()) return gains;
    if (const std::optional<double> loudness = LoudnessMeter::Joint(album))
        gains.albumGain = kReplayGainReference - *loudness;
    double peak = 0;
    for (const LoudnessMeter* other : album) peak = std::max(peak, other ? other->Peak() : 0.0);
    gains.albumPeak = peak;
    return gains;
}

std::string AlbumOf(const std::string& source) {
    const SourceRow* row = FindSource(source);
    const TagReadResult read = row && row->tags ? ReadTags(source, *row->tags) : TagReadResult{};
    auto first = [&](const char* field) {
        const auto found = read.tags.fields.find(field);
        return found == read.tags.fields.end() || found->second.empty() ? std::string() : found->second.front();
    };
    // Separated by a character no tag or path holds.
    return FolderOf(source) + '\0' + first("ALBUM") + '\0' + first("ALBUMARTIST");
}

}  // namespace zelph
