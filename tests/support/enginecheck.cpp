#include "tests/support/enginecheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/bytereader.h"
#include "tests/support/scratch.h"

namespace zelph::test {

EngineResult RunEngine(EngineProc engine, const std::string& source, const std::string& target,
                       EngineSettings settings, RunOptions options) {
    Job job;
    job.sourcePath = source;
    job.targetPath = target;
    job.settings = settings;
    job.mayLinkSource = options.mayLinkSource;
    job.progressStart = options.progressStart;
    job.progressSpan = options.progressSpan;
    JobState state;
    state.stopRequested = options.stop;
    engine(job, state);
    return {state.succeeded, state.running, state.progress, state.reason};
}

void ExpectEnded(const EngineResult& result, bool succeeded, int progressEnd) {
    EXPECT_EQ(result.succeeded, succeeded ? 1 : 0) << result.reason;
    EXPECT_EQ(result.running, 0);
    if (succeeded) {
        EXPECT_EQ(result.progress, progressEnd);
    }
}

std::string CraftedWav(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data,
                       const std::string& trailer) {
    const WaveHeader h = MakeWaveHeader(channels, rate, bits, static_cast<uint32_t>(data.size()));
    return std::string(reinterpret_cast<const char*>(&h), sizeof h) + data + trailer;
}

WaveHeader HeaderOf(const std::string& file) {
    WaveHeader h{};
    std::memcpy(&h, file.data(), std::min(file.size(), sizeof h));
    return h;
}

WavPcmSettings WavForm(int channelMode, int sampleSizeMode) {
    return {static_cast<WavChannels>(channelMode), static_cast<WavSampleSize>(sampleSizeMode)};
}

PcmWav ReadPcmWav(const std::string& path) {
    const std::string bytes = ReadFile(path);
    PcmWav wav;
    ByteReader in({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    const bool riff = in.Tag("RIFF");
    const uint32_t riffSize = in.U32();
    const bool ids = in.Tag("WAVE") && in.Tag("fmt ");
    const uint32_t fmtSize = in.U32();
    const uint16_t tag = in.U16(), channels = in.U16();
    const uint32_t rate = in.U32(), byteRate = in.U32();
    const uint16_t blockAlign = in.U16(), bits = in.U16();
    const bool data = in.Tag("data");
    const uint32_t dataSize = in.U32();
    wav.honest = in.ok() && riff && ids && data && fmtSize == 16 && tag == 1 && bits == 16 && channels > 0 &&
                 blockAlign == channels * 2 && byteRate == rate * blockAlign && dataSize == bytes.size() - 44 &&
                 riffSize == bytes.size() - 8 && dataSize % blockAlign == 0;
    wav.channels = channels;
    wav.rate = static_cast<int>(rate);
    wav.pcm.resize(in.remaining() / 2);
    std::memcpy(wav.pcm.data(), bytes.data() + in.position(), wav.pcm.size() * 2);
    return wav;
}

std::vector<int16_t> SoxPcm(const std::string& path) {
    const std::string raw = path + ".s16";
    RunCommand("sox -V0 '" + path + "' -t raw -e signed -b 16 -L '" + raw + "'");
    const std::string bytes = ReadFile(raw);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

double ToneFrequency(const std::vector<int16_t>& pcm, int channels, int channel, int rate) {
    std::size_t crossings = 0, first = 0, last = 0;
    for (std::size_t i = channel + channels; i < pcm.size(); i += channels) {
        if ((pcm[i - channels] < 0) == (pcm[i] < 0)) continue;
        if (crossings++ == 0) first = i / channels;
        last = i / channels;
    }
    return crossings > 1 ? (crossings - 1) / 2.0 * rate / static_cast<double>(last - first) : 0.0;
}

std::string ConvertAll(const std::string& target, const std::string& out, const std::string& sources) {
    RunCommand("rm -rf " + out + " && mkdir " + out);
    return ConvertOne("--target " + target + " --set gogo.sampleRateMode=2 --set gogo.resampleRate=44100"
                      " --set ogg.sampleRateMode=2 --set ogg.resampleRate=48000", out + "/", sources);
}

std::string ConvertOne(const std::string& options, const std::string& out, const std::string& source) {
    return RunCommand(BinDir() + "/zelph-convert --quiet --jobs 1 --if-exists overwrite " + options + " --output-dir " + out +
                      " " + source)
        .out;
}

std::string DecodedDigest(const std::string& command) {
    return RunCommand("(" + command + ") | md5sum; (" + command + ") | wc -c").out;
}

std::string FfmpegS32(const std::string& path) { return "ffmpeg -v error -i '" + path + "' -f s32le -"; }

double DecodedSeconds(const std::string& path) {
    const auto decoded = RunCommand("ffmpeg -v error -xerror -i '" + path +
                                    "' -f s16le -ac 1 -ar 8000 - 2>&1 >/dev/null | head -c 1; echo; "
                                    "ffmpeg -v quiet -i '" + path + "' -f s16le -ac 1 -ar 8000 - | wc -c");
    if (decoded.out.empty() || decoded.out[0] != '\n') return -1;  // FFmpeg complained
    return std::atof(decoded.out.c_str() + 1) / 16000.0;
}

std::string ConverterWithPlugins(const std::string& folder,
                                 const std::vector<std::pair<std::string, std::string>>& plugins) {
    namespace fs = std::filesystem;
    fs::create_directories(folder + "/Plugins");
    for (const auto& [name, real] : plugins)
        fs::create_symlink(fs::absolute(BinDir() + "/Plugins/" + real), folder + "/Plugins/" + name);
    const std::string program = folder + "/zelph-convert";
    fs::copy_file(BinDir() + "/zelph-convert", program);
    fs::permissions(program, fs::perms::owner_exec, fs::perm_options::add);
    return program;
}

}  // namespace zelph::test
