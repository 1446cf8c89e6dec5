// Every engine says why it failed, in the plain words both front ends show:
// a source it cannot read, a source that is not its format, a full disk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/apeengines.h"
#include "codecs/flacdecoder.h"
#include "codecs/flacencoder.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "codecs/opusdecoder.h"
#include "codecs/opusencoder.h"
#include "codecs/wavpcmengine.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

struct Engine {
    const char* name;
    EngineProc proc;
    EngineSettings settings;
};

class Reasons : public ::testing::Test {
protected:
    Reasons() {
        ApplyDefaults(record, dir.path());
        WriteFile(dir / "song.wav", WavFile(SineSweep(44100, 2, 1), 44100, 2));
        WriteFile(dir / "noise.bin", std::string(6000, '\x5a'));
    }
    ScratchDir dir;
    ConverterSettings record{};
};

}  // namespace

TEST_F(Reasons, DecodersNameTheSourceTheyCannotReadOrDoNotRecognise) {
    const std::vector<std::pair<EngineProc, std::string>> decoders = {
        {zelph::DecodeMp3, "not an MPEG audio stream"},  {DecodeOggVorbis, "no Ogg Vorbis audio"},
        {DecodeApe, "not a Monkey's Audio file it can read"}, {DecodeFlac, "no FLAC stream"},
        {DecodeOpus, "no Opus stream"},           {EncodeWavPcm, "not a WAV file"},
    };
    for (const auto& [decoder, notItsFormat] : decoders) {
        EXPECT_EQ(RunEngine(decoder, dir / "noise.bin", dir / "out.wav").reason, notItsFormat);
        const EngineResult missing = RunEngine(decoder, dir / "gone.bin", dir / "out.wav");
        EXPECT_EQ(missing.succeeded, 0);
        // The library reads Monkey's Audio files itself and cannot say more.
        if (decoder != DecodeApe) EXPECT_EQ(missing.reason, "cannot read gone.bin: no such file");
    }
}

TEST_F(Reasons, EncodersOnAFullDiskSaySo) {
    const std::vector<Engine> encoders = {
        {"wav", EncodeWavPcm, &record.wav},       {"lame", EncodeMp3Lame, &record.lame},
        {"blade", EncodeMp3Blade, &record.blade}, {"ogg", EncodeOggVorbis, &record.ogg},
        {"ape", EncodeApe, &record.ape},
    };
    for (const Engine& encoder : encoders) {
        const EngineResult full = RunEngine(encoder.proc, dir / "song.wav", "/dev/full", encoder.settings);
        EXPECT_EQ(full.succeeded, 0) << encoder.name;
        // Monkey's Audio writes through its own library, which only says it could not.
        EXPECT_EQ(full.reason, encoder.proc == EncodeApe ? "cannot write the Monkey's Audio file" : "cannot write: disk full")
            << encoder.name;
        // The WAV reader says why it refuses a source, for every engine alike.
        EXPECT_EQ(RunEngine(encoder.proc, dir / "noise.bin", dir / "out", encoder.settings).reason, "not a WAV file")
            << encoder.name;
    }
    const EngineResult gogo = RunEngine(EncodeMp3GoGo, dir / "song.wav", "/dev/full", &record.gogo);
    EXPECT_TRUE(gogo.reason.starts_with("Plugins/GoGo.so stopped with error")) << gogo.reason;
}

TEST_F(Reasons, EncodersGivenNoSettingsBlockSaySo) {
    for (const EngineProc encoder :
         {EncodeMp3Lame, EncodeMp3Blade, EncodeMp3GoGo, EncodeOggVorbis, EncodeApe, EncodeFlac, EncodeOpus}) {
        const EngineResult result = RunEngine(encoder, dir / "song.wav", dir / "out");
        EXPECT_EQ(result.succeeded, 0);
        EXPECT_EQ(result.reason, "the engine was given no settings block");
    }
    // Keeping the source's shape is for a target's input form, not the record's WAV block.
    const WavPcmSettings asSource{WavChannels::kAsSource, WavSampleSize::k16Bit};
    EXPECT_EQ(RunEngine(EncodeWavPcm, dir / "song.wav", dir / "out.wav", &asSource).reason,
              "the WAV settings name no known channel count or sample size");
}

}  // namespace zelph::test
