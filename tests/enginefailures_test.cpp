// Every engine of the standard table given what it cannot convert: a source
// that is gone, one that is not its kind, a full disk (from the first byte and
// midway), a WAV header no encoder can take, no settings block. Each ends
// without success and no longer running, says why in the plain words both
// front ends show, and an encoder refusing a header leaves no target. The engines
// come from the target and source rows, so a new one is tried at once; its
// words go in kWords.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/wavpcmengine.h"
#include "core/applygain.h"
#include "core/targets.h"
#include "settings/appliedgain.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// What an engine says; a reason is checked by its start, "" takes any.
struct Words {
    std::string_view engine;
    const char* missing;     // the source is gone.wav (or gone.<its kind>)
    const char* notItsKind;  // the source is noise; nullptr: any bytes are its kind
    const char* fullDisk;
};
constexpr Words kWords[] = {
    {"ENCWAVPCM", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCMP3LAME", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCMP3BLADE", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCMP3GOGO", "cannot read gone.wav: no such file", "not a WAV file", "Plugins/GoGo.so stopped with error"},
    {"ENCOGGVORBIS", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    // Monkey's Audio writes through its own library, which only says it could not.
    {"ENCAPEMONKEY", "cannot read gone.wav: no such file", "not a WAV file", "cannot write the Monkey's Audio file"},
    {"ENCFLAC", "the source could not be read as a PCM WAV file", "the source could not be read as a PCM WAV file",
     "the FLAC file could not be written"},
    {"ENCOPUS", "the source could not be read as a 16-bit mono or stereo WAV file",
     "the source could not be read as a 16-bit mono or stereo WAV file", "the Opus file could not be written"},
    {"DECMP3", "cannot read gone.mp3: no such file", "not an MPEG audio stream", "cannot write: disk full"},
    {"DECOGGVORBIS", "cannot read gone.ogg: no such file", "no Ogg Vorbis audio", "cannot write: disk full"},
    // The library opens Monkey's Audio files itself and cannot say more.
    {"DECAPEMONKEY", "", "not a Monkey's Audio file it can read", "cannot write: disk full"},
    {"DECFLAC", "cannot read gone.flac: no such file", "no FLAC stream", "cannot write: disk full"},
    {"DECOPUS", "cannot read gone.opus: no such file", "no Opus stream", "cannot write: disk full"},
    {"COPYFILE", "cannot read gone.wav: no such file", nullptr, "cannot write: disk full"},
    {"DECFFMPEG", "cannot read gone.m4a: no such file", "not a file of a format it reads", "cannot write: disk full"},
    {"ENCAIFF", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCAAC", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCALAC", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"GAIN", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"ENCWAVPACK", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
    {"CUT", "cannot read gone.wav: no such file", "not a WAV file", "cannot write: disk full"},
};

// Values no encoder can take, each put in the canonical 44-byte header.
struct Field {
    const char* name;
    std::size_t offset;
    uint32_t value;
    int width;
};
constexpr Field kImpossible[] = {
    {"rate 0", 24, 0, 4},           {"rate 1 Hz", 24, 1, 4},          {"rate 999 Hz", 24, 999, 4},
    {"rate 768001 Hz", 24, 768001, 4}, {"rate 0xFFFFFFFF", 24, 0xFFFFFFFFu, 4}, {"0 channels", 22, 0, 2},
    {"block align 0", 32, 0, 2},    {"block align 0xFFFF", 32, 0xFFFF, 2}, {"block align 3", 32, 3, 2},
    {"0 bits", 34, 0, 2},
};

// One engine with what it is given: an encoder its target row's block and
// a WAV; a decoder a file of its kind, written by the target of that kind.
struct Engine {
    EngineId id;
    std::string kind;  // the extension of its input
    EngineSettings settings;
    bool encoder = false;
    const Words* words = nullptr;
};

class EngineFailures : public ::testing::Test {
protected:
    EngineFailures() {
        ApplyDefaults(record, dir.path());
        tuning.Of<AppliedGain>().targetLufs = -20;
        WriteFile(dir / "song.wav", WavFile(SineSweep(44100, 2, 1), 44100, 2));
        for (const auto& [id, run] : StandardEngines()) {
            Engine engine{id, ".wav"};
            for (const TargetRow& row : Targets())
                if (row.encoder == id) engine.settings = row.settings(record, tuning), engine.encoder = true;
            if (id == &kApplyGain) engine.settings = &tuning.Of<AppliedGain>();
            // A decoder is given its kind that a target writes.
            for (const SourceRow& row : Sources())
                for (const std::string_view kind : ExtensionsOf(row))
                    if (row.decoder == id && !engine.encoder && engine.kind == ".wav" &&
                        FindTargetByOutput("song" + std::string(kind)))
                        engine.kind = kind;
            for (const Words& words : kWords)
                if (words.engine == EngineName(id)) engine.words = &words;
            engines.push_back(engine);
        }
    }

    // A file `engine` converts: the WAV (for an encoder, or the plain copy),
    // or the WAV encoded by the target whose outputs are of the decoder's kind.
    std::string GoodSource(const Engine& engine) {
        if (engine.encoder || engine.kind == ".wav") return dir / "song.wav";
        const std::string path = dir / ("song" + engine.kind);
        const TargetRow* writer = FindTargetByOutput(path);
        EXPECT_NE(writer, nullptr) << "no target writes " << engine.kind << " files for " << EngineName(engine.id);
        if (!writer) return path;
        const EngineResult made = RunEngine(writer->encoder->run, dir / "song.wav", path, writer->settings(record, tuning));
        EXPECT_EQ(made.succeeded, 1) << made.reason;
        return path;
    }

    EngineResult Run(const Engine& engine, const std::string& source, const std::string& target) {
        return RunEngine(engine.id->run, source, target, engine.settings);
    }

    ScratchDir dir;
    ConverterSettings record{};
    TargetTuning tuning;
    std::vector<Engine> engines;
};

void ExpectFailure(const EngineResult& result, const char* reason, const std::string& what) {
    EXPECT_EQ(result.succeeded, 0) << what;
    EXPECT_EQ(result.running, 0) << what;
    EXPECT_FALSE(result.reason.empty()) << what;
    EXPECT_TRUE(result.reason.starts_with(reason)) << what << ": " << result.reason;
}

}  // namespace

TEST_F(EngineFailures, EveryEngineSaysWhyItCannotConvert) {
    ASSERT_GE(engines.size(), std::size(kWords));
    // Keeping the source's shape is for a target's input form, not the record's WAV block.
    const WavPcmSettings asSource{WavChannels::kAsSource, WavSampleSize::k16Bit};
    ExpectFailure(RunEngine(EncodeWavPcm, dir / "song.wav", dir / "out.wav", &asSource),
                  "the WAV settings name no known channel count or sample size", "WAV stage");
    WriteFile(dir / "noise.bin", std::string(6000, '\x5a'));
    for (const Engine& engine : engines) {
        const std::string name(EngineName(engine.id));
        ASSERT_NE(engine.words, nullptr) << name << " has no words in kWords";
        ExpectFailure(Run(engine, dir / ("gone" + engine.kind), dir / "out"), engine.words->missing, name + ", gone");
        WriteFile(dir / ("noise" + engine.kind), ReadFile(dir / "noise.bin"));
        if (engine.words->notItsKind)
            ExpectFailure(Run(engine, dir / ("noise" + engine.kind), dir / "out"), engine.words->notItsKind,
                          name + ", noise");
        // Without a block the WAV stage makes 16-bit stereo; every other encoder refuses.
        if (engine.encoder && engine.id != &kEncWavPcm)
            ExpectFailure(RunEngine(engine.id->run, dir / "song.wav", dir / "out"), "the engine was given no settings block",
                          name + ", no block");

        // The truth: the same engine converts a good source, so the failures
        // here are the disk's doing.
        const std::string source = GoodSource(engine);
        const EngineResult good = Run(engine, source, dir / "good");
        ASSERT_EQ(good.succeeded, 1) << name << ": " << good.reason;
        const std::size_t size = ReadFile(dir / "good").size();
        ExpectFailure(Run(engine, source, "/dev/full"), engine.words->fullDisk, name + ", /dev/full");
        for (const std::size_t limit : {size / 2, size - 1}) {
            const EngineResult cut = WithFileSizeLimit(limit, [&] { return Run(engine, source, dir / "cut"); });
            ExpectFailure(cut, "", name + ", full after " + std::to_string(limit) + " of " + std::to_string(size));
        }
    }
}

TEST_F(EngineFailures, ImpossibleHeadersFailEveryEncoderBeforeItWrites) {
    const std::string wav = ReadFile(dir / "song.wav");
    for (const Engine& engine : engines) {
        if (!engine.encoder) continue;
        for (const Field& field : kImpossible) {
            const std::string what = std::string(EngineName(engine.id)) + ", " + field.name;
            std::string bad = wav;
            std::memcpy(&bad[field.offset], &field.value, static_cast<std::size_t>(field.width));
            WriteFile(dir / "in.wav", bad);
            const std::string target = dir / "out";
            // A size limit turns an endless writer into a quick failure.
            ExpectFailure(WithFileSizeLimit(8u << 20, [&] { return Run(engine, dir / "in.wav", target); }), "", what);
            // The WAV stage writes into a target the runner has made, and leaves it to the runner.
            if (engine.id != &kEncWavPcm) { EXPECT_FALSE(Exists(target)) << what; }
            std::remove(target.c_str());
        }
    }
}

}  // namespace zelph::test
