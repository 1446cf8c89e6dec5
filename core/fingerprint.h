#pragma once
// What an output is made from, in short hashes a re-run compares: the
// source's audio, the tags carried with it and the target's settings. Each
// changes when, and only when, the output would come out different.

#include <string>

#include "core/cuesheet.h"
#include "core/targets.h"

namespace zelph {

// The audio of `source` as its container holds it, read without decoding:
// a WAV's data chunk, the MD5 of the decoded samples where the container
// stores one, else a hash of the stream's encoded packets as FFmpeg's
// demuxer hands them (tags and headers left out). The same packets decode to the same samples, so a
// changed tag never looks like changed audio. "" when it cannot be read.
std::string AudioHash(const std::string& source);

// The tags and pictures carried from `source` to its outputs; "-" when tags
// are not copied.
std::string TagsHash(const std::string& source, bool copyTags);

// The target and every setting its chain reads: the record's fields of the
// target's block and its tuning's keys in the preferences.
std::string SettingsHash(const TargetRow& target, const ConverterSettings& settings, const TargetTuning& tuning);

// Where a track of a CD image is cut and the tags its sheet gives it.
std::string TrackHash(const CueTrack& track);

// What a plain copy records in place of the settings.
inline constexpr const char* kCopySettings = "copy";

}  // namespace zelph
