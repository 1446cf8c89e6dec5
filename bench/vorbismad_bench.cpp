// The MP3 and Ogg Vorbis engines against the command-line tools built on the
// same libraries, on files generated here, timed in the same run. Prints each
// time and the ratios ours / theirs (1 or less: as fast or faster), of wall
// time and of processor time.
// Usage: vorbismad_bench   (run from anywhere; zelph-convert beside it)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "settings/settings.h"

namespace {

// Wall-clock and processor seconds of one run; the processor time (this
// process and the children it waited for) is what a loaded machine disturbs
// least.
struct Cost {
    double wall = 0, cpu = 0;
};

double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        total += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

Cost Measure(const std::function<bool()>& work) {
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "a timed run failed\n");
        std::exit(1);
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds() - cpu};
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool Engine(zelph::EngineProc engine, const std::string& source, const std::string& target,
            zelph::EngineSettings settings = {}) {
    zelph::Job job;
    job.sourcePath = source;
    job.targetPath = target;
    job.settings = settings;
    job.progressSpan = 100;
    zelph::JobState state;
    engine(job, state);
    return state.succeeded == 1;
}

// The better of two runs, so that one disturbed run does not decide.
Cost Best(const std::function<bool()>& work) {
    const Cost first = Measure(work), second = Measure(work);
    return {std::min(first.wall, second.wall), std::min(first.cpu, second.cpu)};
}

void Report(const char* what, Cost ours, Cost theirs, const char* peer) {
    std::printf("%-25s zelph %6.2f s (cpu %6.2f s)  %-26s %6.2f s (cpu %6.2f s)  ratio %.2f (cpu %.2f)\n", what,
                ours.wall, ours.cpu, peer, theirs.wall, theirs.cpu, ours.wall / theirs.wall, ours.cpu / theirs.cpu);
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::filesystem::path(std::string(path, size > 0 ? size : 0)).parent_path().string();
}

}  // namespace

int main() {
    const std::string bin = ProgramFolder();
    char pattern[] = "/tmp/zelph-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = std::string(pattern) + "/";
    // Noise under a slow tremolo: material every codec has to work on.
    const auto make = [&](const std::string& name, int seconds) {
        return Shell("sox -n -r 44100 -c 2 -b 16 " + dir + name + " synth " + std::to_string(seconds) +
                     " pinknoise sine 300-3000 tremolo 2 60 vol 0.4");
    };
    if (!make("long.wav", 600) || !make("short.wav", 120) ||
        !Shell("lame --quiet -b 128 " + dir + "long.wav " + dir + "long.mp3") ||
        !Shell("oggenc -Q -q 3 -o " + dir + "long.ogg " + dir + "long.wav"))
        return 1;

    Report("MP3 -> WAV (10 min, 128k)", Best([&] { return Engine(zelph::DecodeMp3, dir + "long.mp3", dir + "a.wav"); }),
           Best([&] { return Shell("madplay -Q -o wave:" + dir + "b.wav " + dir + "long.mp3"); }), "madplay -o wave:");
    Report("Ogg -> WAV (10 min, q3)",
           Best([&] { return Engine(zelph::DecodeOggVorbis, dir + "long.ogg", dir + "a.wav"); }),
           Best([&] { return Shell("oggdec -Q -o " + dir + "b.wav " + dir + "long.ogg"); }), "oggdec");

    zelph::OggVorbisSettings q3{};
    q3.bitrateMode = zelph::OggBitrateMode::kVbr;
    q3.sampleRateMode = zelph::SampleRateMode::kFromSource;
    q3.channelMode = zelph::OggChannels::kStereo;
    q3.vbrQuality = 0.3f;
    Report("WAV -> Ogg (2 min, q 0.3)",
           Best([&] { return Engine(zelph::EncodeOggVorbis, dir + "short.wav", dir + "a.ogg", &q3); }),
           Best([&] { return Shell("oggenc -Q -q 3 -o " + dir + "b.ogg " + dir + "short.wav"); }), "oggenc -q 3");
    // Three jobs (decode, prepare, encode at the default quality 0.5) against
    // a pipe; a long file, so that the runner's job-start ticks weigh as they
    // do in real use. The pipe's two programs share the machine's cores while
    // the jobs run one after another, so the processor-time ratio is the one
    // that compares the work done.
    Report("CLI MP3 -> Ogg (10 min)",
           Best([&] {
               return Shell("cd " + dir + " && " + bin + "/zelph-convert --quiet --if-exists overwrite --target ogg long.mp3 >/dev/null");
           }),
           Best([&] { return Shell("mpg123 -q -w - " + dir + "long.mp3 | oggenc -Q -q 5 -o " + dir + "b.ogg -"); }),
           "mpg123 -w - | oggenc -q 5");
    std::filesystem::remove_all(dir);
    return 0;
}
