#include "metadata/gaintags.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelph {

namespace {

// R128 gains are relative to -23 LUFS, ReplayGain's to -18 LUFS.
constexpr double kR128BelowReplayGain = 5.0;

std::optional<double> Decibels(const std::string& text) {
    double value = 0;
    const char* begin = text.data();
    while (begin != text.data() + text.size() && (*begin == ' ' || *begin == '+')) ++begin;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> Q78(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < -32768 || value > 32767) return std::nullopt;
    return value;
}

std::string ReplayGainText(double decibels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", decibels);
    return text;
}

std::string R128Text(double decibels) {
    const long q = std::lround((decibels - kR128BelowReplayGain) * 256);
    return std::to_string(std::clamp(q, -32768L, 32767L));
}

// Takes the first value of `name` out of `tags`.
std::optional<std::string> Take(Tags& tags, const std::string& name) {
    const auto field = tags.fields.find(name);
    if (field == tags.fields.end()) return std::nullopt;
    std::optional<std::string> value;
    if (!field->second.empty()) value = field->second.front();
    tags.fields.erase(field);
    return value;
}

constexpr const char* kGainFields[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                                      "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_REFERENCE_LOUDNESS", "R128_TRACK_GAIN",
                                      "R128_ALBUM_GAIN"};

std::string PeakText(double peak) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

}  // namespace

void DropGainTags(Tags& tags) {
    for (const char* field : kGainFields) tags.fields.erase(field);
}

std::vector<std::string> SetMeasuredGains(Tags& tags, const MeasuredGains& gains, GainConvention to) {
    DropGainTags(tags);
    std::vector<std::string> written;
    auto set = [&](const std::string& name, std::string value) {
        tags.fields[name] = {std::move(value)};
        written.push_back(name);
    };
    const bool r128 = to == GainConvention::kR128;
    const std::pair<const char*, const std::optional<double>&> gainsOf[] = {{"TRACK", gains.trackGain},
                                                                            {"ALBUM", gains.albumGain}};
    for (const auto& [scope, gain] : gainsOf) {
        if (!gain) continue;
        if (r128)
            set(std::string("R128_") + scope + "_GAIN", R128Text(*gain));
        else
            set(std::string("REPLAYGAIN_") + scope + "_GAIN", ReplayGainText(*gain));
    }
    if (r128) return written;
    set("REPLAYGAIN_TRACK_PEAK", PeakText(gains.trackPeak));
    if (gains.albumPeak) set("REPLAYGAIN_ALBUM_PEAK", PeakText(*gains.albumPeak));
    return written;
}

void ConvertGainTags(Tags& tags, GainConvention to) {
    const bool toR128 = to == GainConvention::kR128;
    for (const std::string scope : {"TRACK", "ALBUM"}) {
        const std::string replayGain = "REPLAYGAIN_" + scope + "_GAIN", r128 = "R128_" + scope + "_GAIN";
        const std::optional<std::string> rg = Take(tags, replayGain), q = Take(tags, r128);
        if (toR128) {
            tags.fields.erase("REPLAYGAIN_" + scope + "_PEAK");
            if (const std::optional<int> value = q ? Q78(*q) : std::nullopt)
                tags.fields[r128] = {std::to_string(*value)};
            else if (const std::optional<double> db = rg ? Decibels(*rg) : std::nullopt)
                tags.fields[r128] = {R128Text(*db)};
        } else {
            if (const std::optional<double> db = rg ? Decibels(*rg) : std::nullopt)
                tags.fields[replayGain] = {ReplayGainText(*db)};
            else if (const std::optional<int> value = q ? Q78(*q) : std::nullopt)
                tags.fields[replayGain] = {ReplayGainText(*value / 256.0 + kR128BelowReplayGain)};
        }
    }
    if (toR128) tags.fields.erase("REPLAYGAIN_REFERENCE_LOUDNESS");
}

}  // namespace zelph
