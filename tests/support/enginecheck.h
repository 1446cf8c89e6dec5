#pragma once
// Running one engine on the test thread, reading back the WAV files the
// decoders write (checking that their header tells the truth), and a copy
// of the command-line program with a Plugins folder of the test's choosing.

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/job.h"
#include "settings/settings.h"
#include "formats/waveheader.h"

namespace zelph::test {

// What the engine left in the shared fields when it ended.
struct EngineResult {
    int32_t succeeded = 0;
    int32_t running = 0;
    int32_t progress = 0;
    std::string reason;
};

// How a job is run beyond its files and block.
struct RunOptions {
    bool stop = false;  // stop asked for before it starts
    int progressStart = 0;
    int progressSpan = 100;
    bool mayLinkSource = false;
};

// `engine` run on `source` → `target` on the calling thread.
EngineResult RunEngine(EngineProc engine, const std::string& source, const std::string& target,
                       EngineSettings settings = {}, RunOptions options = {});

// The job ended (no longer running) as `succeeded` says; a success filled
// its step of the bar up to `progressEnd`.
void ExpectEnded(const EngineResult& result, bool succeeded, int progressEnd = 100);

// A WAV file of `data` behind a canonical 44-byte header (any values the
// header can hold, so impossible ones too), and the header of such a file.
std::string CraftedWav(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data,
                       const std::string& trailer = "");
WaveHeader HeaderOf(const std::string& file);

// A WAV stage form as the record stores it: 1 mono or 8 bits, 2 stereo or
// 16 bits, so that unknown numbers can be tried too.
WavPcmSettings WavForm(int channelMode, int sampleSizeMode);

struct PcmWav {
    bool honest = false;  // a 44-byte header whose every field matches the file
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> pcm;  // interleaved
    std::size_t frames() const { return channels ? pcm.size() / channels : 0; }
};
PcmWav ReadPcmWav(const std::string& path);

// Any audio file decoded by sox (a WAV from mpg123 or oggdec) to raw PCM.
std::vector<int16_t> SoxPcm(const std::string& path);

// The frequency of a pure tone in one channel, from its zero crossings.
double ToneFrequency(const std::vector<int16_t>& pcm, int channels, int channel, int rate);

// zelph-convert run on `sources` with `target` into the folder `out` (made
// empty first); what it printed. GoGo (MPEG rates only) and Vorbis (up to
// 192 kHz) are told to resample, so that every source rate converts.
std::string ConvertAll(const std::string& target, const std::string& out, const std::string& sources);

// zelph-convert run on one source with `options` (one job, overwriting)
// into the folder `out`; what it printed.
std::string ConvertOne(const std::string& options, const std::string& out, const std::string& source);

// The checksum and, on its own line, the size of what a decoding command gives.
std::string DecodedDigest(const std::string& command);
// The command that decodes `path` with FFmpeg to 32-bit samples on its output.
std::string FfmpegS32(const std::string& path);

// Seconds of audio FFmpeg decodes from any audio file without an error, or -1.
double DecodedSeconds(const std::string& path);

// zelph-convert copied into `folder` with a Plugins folder holding links
// named `plugins[i].first` to `plugins[i].second` in the real Plugins
// folder. Returns the program's path.
std::string ConverterWithPlugins(const std::string& folder,
                                 const std::vector<std::pair<std::string, std::string>>& plugins);

}  // namespace zelph::test
