// Converts one WAV file with the ENCWAVPCM engine, as a job would, and
// prints the seconds it took. Usage: wav_pcm_bench IN OUT CHANNELS BITS
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/wavpcmengine.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s IN OUT CHANNELS BITS\n", argv[0]);
        return 2;
    }
    zelph::WavPcmSettings form{static_cast<int16_t>(std::atoi(argv[3])),
                               static_cast<int16_t>(std::atoi(argv[4]) == 8 ? 1 : 2)};
    zelph::Job job;
    job.sourcePath = argv[1];
    job.targetPath = argv[2];
    job.engineParams = &form;
    job.progressSpan = 100;
    const auto start = std::chrono::steady_clock::now();
    zelph::EncodeWavPcm(&job);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", took.count());
    return job.succeeded == 1 ? 0 : 1;
}
