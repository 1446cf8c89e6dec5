// WAV to MP3 through each encoder library, and through each MP3 engine as
// the runner starts it, timed against the lame command line on the same file
// in the same run: 128 kbit/s CBR, then VBR quality 2. Times are processor
// seconds. Usage: mp3enc_bench [--engines] [source.wav]; --engines times the
// engines only; without a source, ten minutes of stereo 44.1 kHz audio are
// made with sox.

#include <dlfcn.h>
#include <sys/resource.h>

#include <array>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "plugins/gogo/gogointerface.h"
#include "plugins/mp3enc/bladeinterface.h"
#include "settings/settings.h"

using namespace zelph;
namespace fs = std::filesystem;

namespace {

const fs::path kPlugins = fs::read_symlink("/proc/self/exe").parent_path() / "Plugins";

struct Library {
    explicit Library(const std::string& file) : handle(dlopen((kPlugins / file).c_str(), RTLD_NOW)) {
        if (!handle) std::fprintf(stderr, "%s\n", dlerror()), std::exit(1);
    }
    ~Library() { dlclose(handle); }
    template <typename Fn>
    Fn Get(const char* name) const {
        auto fn = reinterpret_cast<Fn>(dlsym(handle, name));
        if (!fn) std::fprintf(stderr, "missing %s\n", name), std::exit(1);
        return fn;
    }
    void* handle;
};

// Processor time of this process and its finished children: the machine is
// shared, and wall time would count the other users' work as well.
double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime}) total += t.tv_sec + t.tv_usec / 1e6;
    }
    return total;
}

double Seconds(const std::function<bool()>& work) {
    const double start = CpuSeconds();
    if (!work()) std::fprintf(stderr, "encoding failed\n"), std::exit(1);
    return CpuSeconds() - start;
}

// The LAME and Blade engines' loop: the whole file from its first byte, in
// the chunks the library asks for.
bool EncodeBe(const std::string& file, BE_CONFIG config, const fs::path& wav, const fs::path& mp3) {
    Library lib(file);
    const auto init = lib.Get<BEINITSTREAM>("beInitStream");
    const auto encode = lib.Get<BEENCODECHUNK>("beEncodeChunk");
    const auto deinit = lib.Get<BEDEINITSTREAM>("beDeinitStream");
    const auto close = lib.Get<BECLOSESTREAM>("beCloseStream");
    uint32_t chunk = 0, room = 0, bytes = 0;
    HBE_STREAM stream = nullptr;
    if (init(&config, &chunk, &room, &stream) != BE_ERR_SUCCESSFUL) return false;
    std::FILE* in = std::fopen(wav.c_str(), "rb");
    std::FILE* out = std::fopen(mp3.c_str(), "wb");
    std::vector<int16_t> pcm(chunk);
    std::vector<uint8_t> buffer(room);
    bool ok = in && out;
    for (std::size_t got; ok && (got = std::fread(pcm.data(), 2, chunk, in)) > 0;) {
        ok = encode(stream, static_cast<uint32_t>(got), pcm.data(), buffer.data(), &bytes) == BE_ERR_SUCCESSFUL &&
             std::fwrite(buffer.data(), 1, bytes, out) == bytes;
    }
    ok = ok && deinit(stream, buffer.data(), &bytes) == BE_ERR_SUCCESSFUL &&
         std::fwrite(buffer.data(), 1, bytes, out) == bytes;
    close(stream);
    if (in) std::fclose(in);
    if (out) ok = std::fclose(out) == 0 && ok;
    return ok;
}

bool EncodeGoGo(const std::vector<std::array<UPARAM, 3>>& settings, const fs::path& wav, const fs::path& mp3) {
    Library lib("GoGo.so");
    const auto set = lib.Get<MPGE_SETCONFIGURE>("MPGE_setConfigure");
    lib.Get<MPGE_INITIALIZEWORK>("MPGE_initializeWork")();
    set(MC_INPUTFILE, MC_INPDEV_FILE, reinterpret_cast<UPARAM>(wav.c_str()));
    set(MC_OUTPUTFILE, MC_OUTDEV_FILE, reinterpret_cast<UPARAM>(mp3.c_str()));
    for (const auto& [code, first, second] : settings) set(code, first, second);
    lib.Get<MPGE_DETECTCONFIGURE>("MPGE_detectConfigure")();
    const auto frame = lib.Get<MPGE_PROCESSFRAME>("MPGE_processFrame");
    MERET result;
    while ((result = frame()) == ME_NOERR) {
    }
    lib.Get<MPGE_CLOSECODER>("MPGE_closeCoder")();
    lib.Get<MPGE_ENDCODER>("MPGE_endCoder")();
    return result == ME_EMPTYSTREAM;
}

BE_CONFIG LameCbr128() {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_LAME;
    c.format.LHV1.dwStructVersion = CURRENT_STRUCT_VERSION;
    c.format.LHV1.dwStructSize = CURRENT_STRUCT_SIZE;
    c.format.LHV1.dwSampleRate = 44100;
    c.format.LHV1.nMode = BE_MP3_MODE_JSTEREO;
    c.format.LHV1.dwBitrate = 128;
    c.format.LHV1.nPreset = LQP_NORMAL_QUALITY;
    c.format.LHV1.bOriginal = 1;
    return c;
}

BE_CONFIG LameVbr2() {
    BE_CONFIG c = LameCbr128();
    c.format.LHV1.dwBitrate = 0;
    c.format.LHV1.bEnableVBR = 1;
    c.format.LHV1.nVBRQuality = 2;
    c.format.LHV1.nVbrMethod = VBR_METHOD_DEFAULT;
    return c;
}

BE_CONFIG BladeCbr128() {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_MP3;
    c.format.mp3.dwSampleRate = 44100;
    c.format.mp3.byMode = BE_MP3_MODE_STEREO;
    c.format.mp3.wBitrate = 128;
    return c;
}

bool RunEngine(EngineProc engine, EngineSettings settings, const fs::path& wav, const fs::path& mp3) {
    Job job;
    job.sourcePath = wav;
    job.targetPath = mp3;
    job.settings = settings;
    job.progressSpan = 100;
    JobState state;
    engine(job, state);
    return state.succeeded == 1;
}

// The engines' settings for the same encodings as the peer's: joint stereo
// where LAME would choose it, LAME's own quality and low-pass, no resampling.
struct BenchSettings {
    BenchSettings() {
        ApplyDefaults(record, "/");
        record.lame.channelMode = Mp3Channels::kJointStereo;
        record.lame.cbrBitrate = 128;
        lameVbr = record.lame;
        lameVbr.bitrateMode = Mp3BitrateMode::kVbr;
        lameVbr.quality = 2;
        lameVbr.vbrMinBitrate = 32;
        lameVbr.vbrMaxBitrate = 320;
        record.blade.bitrate = 128;
        record.blade.sampleRate = 44100;
        record.gogo.channelMode = Mp3Channels::kJointStereo;
        record.gogo.bitrate = 128;
        record.gogo.quality = 3;
        record.gogo.lowPassFilter = 0;
    }
    ConverterSettings record{};
    LameSettings lameVbr{};
};

bool Lame(const std::string& options, const fs::path& wav, const fs::path& mp3) {
    return std::system(("lame --silent " + options + " '" + wav.string() + "' '" + mp3.string() + "'").c_str()) == 0;
}

void Report(const char* what, double library, double peer, double target) {
    const double ratio = library / peer;
    std::printf("%-28s %7.2f s   lame %7.2f s   ratio %.3f (target <= %.2f) %s\n", what, library, peer, ratio, target,
                ratio <= target ? "ok" : "SLOW");
}

}  // namespace

int main(int argc, char** argv) {
    const bool enginesOnly = argc > 1 && std::string(argv[1]) == "--engines";
    if (enginesOnly) --argc, ++argv;
    const fs::path work = fs::temp_directory_path() / "zelph-mp3enc-bench";
    fs::create_directories(work);
    fs::path wav = argc > 1 ? fs::path(argv[1]) : work / "source.wav";
    if (argc <= 1 &&
        std::system(("sox -n -r 44100 -c 2 -b 16 '" + wav.string() +
                     "' synth 600 pinknoise synth 600 sine mix 110-3520 gain -9 tremolo 3 60").c_str()) != 0)
        return 1;

    BenchSettings engine;
    struct Row {
        const char* name;
        std::function<bool()> job;
        int peer;  // row of the peer run it is measured against, -1 for a peer
        double target;
        bool library;
    };
    const std::vector<Row> rows = {
        {"lame -b 128", [&] { return Lame("-b 128", wav, work / "cli-cbr.mp3"); }, -1, 0, false},
        {"lame -V 2", [&] { return Lame("-V 2", wav, work / "cli-vbr.mp3"); }, -1, 0, false},
        {"Lame_Enc.so CBR 128", [&] { return EncodeBe("Lame_Enc.so", LameCbr128(), wav, work / "lame-cbr.mp3"); },
         0, 1.05, true},
        {"BladeEnc.so CBR 128", [&] { return EncodeBe("BladeEnc.so", BladeCbr128(), wav, work / "blade.mp3"); }, 0,
         1.10, true},
        {"GoGo.so CBR 128", [&] { return EncodeGoGo({{MC_BITRATE, 128, 0}}, wav, work / "gogo-cbr.mp3"); }, 0, 1.05,
         true},
        {"Lame_Enc.so VBR quality 2", [&] { return EncodeBe("Lame_Enc.so", LameVbr2(), wav, work / "lame-vbr.mp3"); },
         1, 1.05, true},
        {"GoGo.so VBR quality 2", [&] { return EncodeGoGo({{MC_VBR, 2, 0}}, wav, work / "gogo-vbr.mp3"); }, 1, 1.05,
         true},
        {"EncodeMp3Lame CBR 128",
         [&] { return RunEngine(EncodeMp3Lame, &engine.record.lame, wav, work / "engine-lame-cbr.mp3"); }, 0, 1.05,
         false},
        {"EncodeMp3Blade CBR 128",
         [&] { return RunEngine(EncodeMp3Blade, &engine.record.blade, wav, work / "engine-blade.mp3"); }, 0, 1.10,
         false},
        {"EncodeMp3GoGo CBR 128",
         [&] { return RunEngine(EncodeMp3GoGo, &engine.record.gogo, wav, work / "engine-gogo.mp3"); }, 0, 1.05,
         false},
        {"EncodeMp3Lame VBR quality 2",
         [&] { return RunEngine(EncodeMp3Lame, &engine.lameVbr, wav, work / "engine-lame-vbr.mp3"); }, 1, 1.05,
         false},
    };

    // Each encoding runs three times in turn with the others; the fastest
    // run counts, which keeps passing load on the shared machine out.
    std::vector<double> best(rows.size(), 1e30);
    for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!(enginesOnly && rows[i].library)) best[i] = std::min(best[i], Seconds(rows[i].job));
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].peer >= 0 && !(enginesOnly && rows[i].library))
            Report(rows[i].name, best[i], best[rows[i].peer], rows[i].target);
    fs::remove_all(work);
    return 0;
}
