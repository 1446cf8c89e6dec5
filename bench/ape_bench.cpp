// Monkey's Audio library against its peers: decode and encode speed of a
// 10-minute 16-bit stereo file at Normal against FFmpeg's decoder, and the
// size at every level against `flac -5`, on a music-like signal.
//
// Usage: ape_bench [work folder]   (default: /tmp)

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

using namespace zelph;
using Clock = std::chrono::steady_clock;

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

bool EncodeApe(const std::string& path, const std::vector<uint8_t>& pcm, int level) {
    ape::Compressor c;
    ape::CompressOptions o;
    o.format = {2, 16, level};
    o.maxAudioBytes = static_cast<int64_t>(pcm.size());
    if (c.Start(path, o) != 0) return false;
    for (std::size_t at = 0; at < pcm.size(); at += 1024)
        if (c.AddData(std::span(pcm).subspan(at, std::min<std::size_t>(1024, pcm.size() - at))) != 0) return false;
    return c.Finish({}, 0) == 0;
}

bool DecodeApe(const std::string& path, uint64_t& blocks) {
    int error = 0;
    auto d = ape::Decompressor::Open(ape::OpenFileSource(path), error);
    if (!d) return false;
    std::vector<uint8_t> buffer(4 * 1024);
    blocks = 0;
    for (uint32_t got = 1; got > 0; blocks += got)
        if (d->GetData(buffer.data(), 1024, got) != 0) return false;
    return true;
}

void WriteWav(const std::string& path, const std::vector<uint8_t>& pcm) {
    const WaveHeader h = MakeWaveHeader(2, kRate, 16, static_cast<uint32_t>(pcm.size()));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(&h, sizeof h, 1, f);
    std::fwrite(pcm.data(), 1, pcm.size(), f);
    std::fclose(f);
}

template <typename Work>
double Seconds(Work work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t SizeOf(const std::string& path) { return std::filesystem::file_size(path); }

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = std::string(argc > 1 ? argv[1] : "/tmp") + "/";
    const std::string ape = dir + "bench.ape", wav = dir + "bench.wav", flac = dir + "bench.flac";

    std::printf("10-minute 16-bit stereo, Normal (2000):\n");
    const std::vector<uint8_t> pcm = MusicLikePcm(600);
    bool ok = true;
    const double encode = Seconds([&] { ok = EncodeApe(ape, pcm, 2000); });
    uint64_t blocks = 0;
    const double decode = Seconds([&] { ok = ok && DecodeApe(ape, blocks); });
    const std::string ffmpeg = "ffmpeg -v error -i " + ape + " -f s16le -y /dev/null";
    const double peer = Seconds([&] { ok = ok && std::system(ffmpeg.c_str()) == 0; });
    if (!ok || blocks != pcm.size() / 4) {
        std::printf("coding failed\n");
        return 1;
    }
    std::printf("  our decode   %7.2f s   ffmpeg decode %7.2f s   ratio ours/ffmpeg %.2f\n", decode, peer, decode / peer);
    std::printf("  our encode   %7.2f s   ratio encode/ffmpeg decode %.2f\n", encode, encode / peer);

    // Sizes on one minute of the same signal, so that Insane stays quick.
    const std::vector<uint8_t> minute(pcm.begin(), pcm.begin() + 60 * kRate * 4);
    WriteWav(wav, minute);
    if (std::system(("flac -5 -s -f -o " + flac + " " + wav).c_str()) != 0) return 1;
    const double flacBytes = double(SizeOf(flac));
    std::printf("Size of one minute (PCM %zu bytes), flac -5: %.0f bytes\n", minute.size(), flacBytes);
    for (int level : {1000, 2000, 3000, 4000, 5000}) {
        double seconds = Seconds([&] { ok = EncodeApe(ape, minute, level); });
        if (!ok) return 1;
        std::printf("  level %d: %9llu bytes   ratio to flac -5 %.3f   (encode %.2f s)\n", level,
                    static_cast<unsigned long long>(SizeOf(ape)), SizeOf(ape) / flacBytes, seconds);
    }
    std::filesystem::remove(ape);
    std::filesystem::remove(wav);
    std::filesystem::remove(flac);
    return 0;
}
