// Converts one WAV file with the ENCWAVPCM engine, as a job would, and
// prints the seconds it took. Usage: wav_pcm_bench IN OUT CHANNELS BITS
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "codecs/wavpcmengine.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s IN OUT CHANNELS BITS\n", argv[0]);
        return 2;
    }
    const zelph::WavPcmSettings form{
        std::atoi(argv[3]) == 1 ? zelph::WavChannels::kMono : zelph::WavChannels::kStereo,
        std::atoi(argv[4]) == 8 ? zelph::WavSampleSize::k8Bit : zelph::WavSampleSize::k16Bit};
    zelph::Job job;
    job.sourcePath = argv[1];
    job.targetPath = argv[2];
    job.settings = &form;
    job.progressSpan = 100;
    zelph::JobState state;
    const auto start = std::chrono::steady_clock::now();
    zelph::EncodeWavPcm(job, state);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", took.count());
    return state.succeeded == 1 ? 0 : 1;
}
