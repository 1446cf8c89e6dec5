// Monkey's Audio library against its peers, at every level, on a music-like
// 16-bit stereo signal:
//   - decode: our decoder as a whole process (the file's PCM to /dev/null)
//     against `ffmpeg -i x.ape -f s16le -y /dev/null` on the same file;
//   - encode: our encoder as a whole process (WAV file to .ape) against our
//     decode of the file it wrote;
//   - size: against `flac -5` and `flac -8` of the same WAV.
// Times are the processes' CPU time (user + sys) with wall time beside it,
// the median of several runs.
//
// Usage: ape_bench [seconds of audio (120)] [runs (5)] [work folder (/tmp)]
// Two minutes keep the CPU times well above the clock's 10 ms grain.
// The program also serves as the timed child: `ape_bench --decode x.ape` and
// `ape_bench --encode x.wav x.ape LEVEL`.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/waveheader.h"
#include "plugins/macdll/compressor.h"
#include "plugins/macdll/decompressor.h"

extern char** environ;

using namespace zelph;

namespace {

constexpr uint32_t kRate = 44100;

// Notes with a few decaying harmonics, a new chord every half second, a little
// noise and a slow stereo drift: compresses roughly as real music does.
std::vector<uint8_t> MusicLikePcm(double seconds) {
    const std::size_t blocks = static_cast<std::size_t>(seconds * kRate);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 60);
    std::vector<uint8_t> pcm(blocks * 4);
    double freqs[3] = {220, 277, 330};
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t inNote = i % (kRate / 2);
        if (inNote == 0)
            for (double& f : freqs) f = 110 * std::pow(2.0, std::uniform_int_distribution<int>(0, 36)(random) / 12.0);
        const double t = double(i) / kRate, decay = std::exp(-3.0 * inNote / kRate);
        double v = 0;
        for (double f : freqs)
            for (int h = 1; h <= 4; ++h) v += std::sin(2 * M_PI * f * h * t) / (h * h);
        const double pan = 0.5 + 0.4 * std::sin(2 * M_PI * 0.05 * t);
        const double left = 6000 * decay * v * pan + noise(random), right = 6000 * decay * v * (1 - pan) + noise(random);
        for (int c = 0; c < 2; ++c) {
            const auto s = static_cast<int16_t>(std::clamp(std::lround(c ? right : left), -32768L, 32767L));
            pcm[i * 4 + c * 2] = static_cast<uint8_t>(s);
            pcm[i * 4 + c * 2 + 1] = static_cast<uint8_t>(s >> 8);
        }
    }
    return pcm;
}

bool WriteWav(const std::string& path, const std::vector<uint8_t>& pcm) {
    const WaveHeader h = MakeWaveHeader(2, kRate, 16, static_cast<uint32_t>(pcm.size()));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(&h, sizeof h, 1, f) == 1 && std::fwrite(pcm.data(), 1, pcm.size(), f) == pcm.size();
    return std::fclose(f) == 0 && ok;
}

// The timed children. Both move the data in 1024-unit pieces, as the engines do.

int DecodeToNull(const char* path) {
    int error = 0;
    auto d = ape::Decompressor::Open(ape::OpenFileSource(path), error);
    std::FILE* out = std::fopen("/dev/null", "wb");
    if (!d || !out) return 1;
    const auto align = static_cast<std::size_t>(d->Info(1007));
    std::vector<uint8_t> buffer(align * 1024);
    for (uint32_t got = 1; got > 0;) {
        if (d->GetData(buffer.data(), 1024, got) != 0) return 1;
        std::fwrite(buffer.data(), align, got, out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

int EncodeWav(const char* wav, const char* apePath, int level) {
    std::FILE* in = std::fopen(wav, "rb");
    WaveHeader h{};
    if (!in || std::fread(&h, sizeof h, 1, in) != 1) return 1;
    ape::Compressor c;
    ape::CompressOptions o;
    o.format = {h.channels, h.bitsPerSample, level};
    o.sampleRate = h.sampleRate;
    o.maxAudioBytes = h.dataSize;
    if (c.Start(apePath, o) != 0) return 1;
    uint8_t buffer[1024];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        if (c.AddData({buffer, n}) != 0) return 1;
    std::fclose(in);
    return c.Finish({}, 0);
}

struct Cost {
    double cpu = 0;   // user + sys, seconds
    double wall = 0;  // seconds
};

// Runs `argv` as a child process with its output discarded.
bool Run(const std::vector<std::string>& args, Cost& cost) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    cost.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    cost.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The median of `runs` runs, by CPU time and by wall time separately.
bool Median(const std::vector<std::string>& args, int runs, Cost& median) {
    std::vector<double> cpu, wall;
    for (int i = 0; i < runs; ++i) {
        Cost c;
        if (!Run(args, c)) return false;
        cpu.push_back(c.cpu);
        wall.push_back(c.wall);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    median = {cpu[cpu.size() / 2], wall[wall.size() / 2]};
    return true;
}

uint64_t SizeOf(const std::string& path) { return std::filesystem::file_size(path); }

}  // namespace

int main(int argc, char** argv) {
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    if (argc == 3 && std::string(argv[1]) == "--decode") return DecodeToNull(argv[2]);
    if (argc == 5 && std::string(argv[1]) == "--encode") return EncodeWav(argv[2], argv[3], std::atoi(argv[4]));

    const double seconds = argc > 1 ? std::atof(argv[1]) : 120;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string dir = std::string(argc > 3 ? argv[3] : "/tmp") + "/";
    const std::string wav = dir + "ape_bench.wav", ape = dir + "ape_bench.ape", flac = dir + "ape_bench.flac";

    const std::vector<uint8_t> pcm = MusicLikePcm(seconds);
    if (!WriteWav(wav, pcm)) return 1;
    std::printf("%.0f s of 16-bit stereo, median of %d runs; CPU = user + sys of the whole process\n\n", seconds,
                runs);

    Cost flacCost;
    uint64_t flacBytes[2] = {};
    for (int i = 0; i < 2; ++i) {
        const char* level = i == 0 ? "-5" : "-8";
        if (!Run({"flac", level, "-s", "-f", "-o", flac, wav}, flacCost)) return 1;
        flacBytes[i] = SizeOf(flac);
    }
    std::printf("flac -5 %llu bytes, flac -8 %llu bytes (PCM %zu bytes)\n\n",
                static_cast<unsigned long long>(flacBytes[0]), static_cast<unsigned long long>(flacBytes[1]),
                pcm.size());

    std::printf("level  decode CPU (wall)   ffmpeg CPU (wall)   ratio  |  encode CPU (wall)   ratio enc/dec  |"
                "  bytes      /flac-5  /flac-8\n");
    bool allMet = true;
    for (int level : {1000, 2000, 3000, 4000, 5000}) {
        Cost encode, decode, ffmpeg;
        if (!Median({self, "--encode", wav, ape, std::to_string(level)}, runs, encode) ||
            !Median({self, "--decode", ape}, runs, decode) ||
            !Median({"ffmpeg", "-v", "error", "-i", ape, "-f", "s16le", "-y", "/dev/null"}, runs, ffmpeg)) {
            std::printf("level %d: a run failed\n", level);
            return 1;
        }
        const double decodeRatio = decode.cpu / ffmpeg.cpu, encodeRatio = encode.cpu / decode.cpu;
        const double bytes = double(SizeOf(ape));
        allMet = allMet && decodeRatio <= 0.8 && encodeRatio <= 1.1;
        std::printf("%5d  %6.2f s (%6.2f)   %6.2f s (%6.2f)   %5.2f  |  %6.2f s (%6.2f)   %5.2f          |"
                    "  %9.0f  %6.3f   %6.3f\n",
                    level, decode.cpu, decode.wall, ffmpeg.cpu, ffmpeg.wall, decodeRatio, encode.cpu, encode.wall,
                    encodeRatio, bytes, bytes / double(flacBytes[0]), bytes / double(flacBytes[1]));
    }
    std::printf("\ntargets: decode/ffmpeg <= 0.80 and encode/decode <= 1.10 at every level: %s\n",
                allMet ? "met" : "NOT met");
    std::filesystem::remove(ape);
    std::filesystem::remove(wav);
    std::filesystem::remove(flac);
    return 0;
}
