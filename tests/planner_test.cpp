#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "core/naming.h"
#include "core/planner.h"
#include "core/readback.h"
#include "core/targets.h"
#include "formats/waveheader.h"
#include "settings/settingsfields.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

class Planning : public ::testing::Test {
protected:
    Planning() { ApplyDefaults(settings, dir.path()); }

    void Touch(const std::string& name) { WriteFile(dir / name, "x"); }
    std::string At(const std::string& name) const { return dir / name; }
    void Plan(int32_t target, std::vector<std::string> names) {
        for (auto& name : names) name = At(name);
        plan = PlanJobs(settings, tuning, target, names);
    }
    // "ENGINE source>target progress/span" with the folder left out.
    std::vector<std::string> Queue() const {
        std::vector<std::string> rows;
        auto strip = [&](std::string path) {
            return path.rfind(dir.path(), 0) == 0 ? path.substr(dir.path().size()) : path;
        };
        for (const Job& job : Jobs())
            rows.push_back(std::to_string(job.fileIndex) + " " + std::string(EngineName(job.engine)) + " " +
                           strip(job.sourcePath) + ">" + strip(job.targetPath) + " " +
                           std::to_string(job.progressStart) + "/" + std::to_string(job.progressSpan));
        return rows;
    }

    // Every planned job, file after file.
    std::vector<Job> Jobs() const {
        std::vector<Job> jobs;
        for (const PlannedFile& file : plan.files) jobs.insert(jobs.end(), file.chain.begin(), file.chain.end());
        return jobs;
    }

    ScratchDir dir;
    ConverterSettings settings{};
    TargetTuning tuning{};
    BatchPlan plan;
};

using Rows = std::vector<std::string>;

}  // namespace

TEST(MakeUniqueName, CountsAfterTheTitleOfTheFileName) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "x.y");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.wav");  // present but unreadable: still taken
    // Each name is asked for once the file before it (if any) was made.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "song.mp3", "song.mp3"},           {"song.mp3", "song.mp3", "song(1).mp3"},
        {"song(1).mp3", "song.mp3", "song(2).mp3"}, {"Temp-QOR-File", "Temp-QOR-File", "Temp-QOR-File(1)"},
        {".hidden", ".hidden", ".hidden(1)"},   {"a.b.c", "a.b.c", "a.b(1).c"},
        {"x.y/name", "x.y/name", "x.y/name(1)"}, {"", "dangling.wav", "dangling(1).wav"},
    };
    for (const auto& [made, asked, expected] : cases) {
        if (!made.empty()) WriteFile(dir / made, "");
        EXPECT_EQ(MakeUniqueName(dir / asked), dir / expected);
    }
    // Taken by the batch.
    EXPECT_EQ(MakeUniqueName(dir / "new.ogg", [&](const std::string& name) { return name == dir / "new.ogg"; }),
              dir / "new(1).ogg");
}

TEST_F(Planning, JobTableForEverySourceAndTargetKind) {
    Plan(kTargetOgg, {"a.wav", "b.MP3", "c.mp2", "d.ape", "e.vqf", "f.Ogg", "noext", "g.h.WAV"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM a.wav>Temp-QOR-File 0/10",
        "0 ENCOGGVORBIS Temp-QOR-File>a.ogg 10/90",
        "1 DECMP3 b.MP3>Temp-QOR-File 0/30",
        "1 ENCWAVPCM Temp-QOR-File> 30/10",
        "1 ENCOGGVORBIS Temp-QOR-File>b.ogg 40/60",
        "3 DECAPEMONKEY d.ape>Temp-QOR-File 0/30",
        "3 ENCWAVPCM Temp-QOR-File> 30/10",
        "3 ENCOGGVORBIS Temp-QOR-File>d.ogg 40/60",
        "5 DECOGGVORBIS f.Ogg>Temp-QOR-File 0/30",
        "5 ENCWAVPCM Temp-QOR-File> 30/10",
        "5 ENCOGGVORBIS Temp-QOR-File>f.ogg 40/60",
        "7 ENCWAVPCM g.h.WAV>Temp-QOR-File 0/10",
        "7 ENCOGGVORBIS Temp-QOR-File>g.h.ogg 10/90",
    }));
    EXPECT_EQ(plan.fileCount, 8u);
    EXPECT_EQ(plan.files[0].temporary, At("Temp-QOR-File"));
    // The preparing step makes 16-bit stereo (no parameters); the encoder gets its block.
    EXPECT_EQ(Jobs()[0].settings, EngineSettings{});
    EXPECT_EQ(Jobs()[1].settings, EngineSettings{&settings.ogg});
    EXPECT_EQ(Jobs()[3].settings, EngineSettings{});
}

TEST(Targets, EveryRowsRecordValueIsStoredAndNoOtherIs) {
    ConverterSettings s{};
    for (const TargetRow& row : Targets())
        EXPECT_EQ(SetSettingsField(s, "targetFormat", std::to_string(row.format)), "") << row.cliName;
    EXPECT_NE(SetSettingsField(s, "targetFormat", "0"), "");
}

TEST_F(Planning, WavAndApeTargets) {
    Plan(kTargetWav, {"a.wav", "b.mp3"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM a.wav>a(1).wav 0/100",
        "1 DECMP3 b.mp3>Temp-QOR-File 0/90",
        "1 ENCWAVPCM Temp-QOR-File>b.wav 90/10",
    }));
    EXPECT_EQ(Jobs()[0].settings, EngineSettings{&settings.wav});
    EXPECT_EQ(Jobs()[2].settings, EngineSettings{&settings.wav});

    Plan(kTargetApe, {"a.wav", "b.ogg"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM a.wav>Temp-QOR-File 0/10",
        "0 ENCAPEMONKEY Temp-QOR-File>a.ape 10/90",
        "1 DECOGGVORBIS b.ogg>Temp-QOR-File 0/30",
        "1 ENCWAVPCM Temp-QOR-File> 30/10",
        "1 ENCAPEMONKEY Temp-QOR-File>b.ape 40/60",
    }));
    EXPECT_EQ(Jobs()[0].settings, EngineSettings{&settings.ape.pcm});
    EXPECT_EQ(Jobs()[3].settings, EngineSettings{&settings.ape.pcm});
    EXPECT_EQ(Jobs()[4].settings, EngineSettings{&settings.ape});
}

TEST_F(Planning, ChosenOutputFolderTakesTargetsAndTemporaryFile) {
    const std::string out = dir / "out/";
    std::filesystem::create_directory(out);
    settings.general.outputFolderMode = OutputFolderMode::kInFolder;
    SetOutputFolder(settings.general, out.substr(0, out.size() - 1));  // stored without "/"
    Plan(kTargetLame, {"in/song.wav"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM in/song.wav>out/Temp-QOR-File 0/10",
        "0 ENCMP3LAME out/Temp-QOR-File>out/song.mp3 10/90",
    }));
}

// Where each planned file's output goes, under each rule for existing
// files: a batch never writes two files to one name, no source is ever its
// own or another file's target (however its folder is spelled), and one
// folder reached through a link is one place.
TEST_F(Planning, EachOutputNameUnderEachRuleForExistingFiles) {
    for (const char* name : {"song.mp3", "song(1).mp3", "own.mp3", "a.wav", "real/a.wav", "real/a.ogg"}) {
        std::filesystem::create_directories(std::filesystem::path(At(name)).parent_path());
        Touch(name);
    }
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    using enum ExistingFileAction;
    struct Case {
        ExistingFileAction action;
        int32_t target;
        std::vector<std::string> sources;
        Rows outputs;  // "row name" per planned file
    };
    const Case cases[] = {
        {kRename, kTargetBlade, {"song.wav"}, {"0 song(2).mp3"}},
        {kOverwrite, kTargetBlade, {"song.wav"}, {"0 song.mp3"}},
        {kSkip, kTargetBlade, {"song.wav", "other.wav"}, {"1 other.mp3"}},
        {kOverwrite, kTargetGoGo, {"x.wav", "x.ogg", "x.ape"}, {"0 x.mp3", "1 x(1).mp3", "2 x(2).mp3"}},
        {kRename, kTargetGoGo, {"x.wav", "x.ogg", "x.ape"}, {"0 x.mp3", "1 x(1).mp3", "2 x(2).mp3"}},
        {kSkip, kTargetGoGo, {"x.wav", "x.ogg"}, {"0 x.mp3"}},
        {kOverwrite, kTargetLame, {"own.mp3"}, {"0 own(1).mp3"}},
        {kOverwrite, kTargetWav, {"a.wav"}, {"0 a(1).wav"}},
        {kOverwrite, kTargetLame, {"./own.mp3"}, {"0 ./own(1).mp3"}},
        {kOverwrite, kTargetWav, {"a.mp3", "a.wav"}, {"0 a(1).wav", "1 a(2).wav"}},
        {kSkip, kTargetLame, {"own.mp3"}, {}},
        // real/a.wav and link/a.ogg would both become a.mp3 if names were compared by their spelling.
        {kOverwrite, kTargetLame, {"real/a.wav", "link/a.ogg"}, {"0 real/a.mp3", "1 link/a(1).mp3"}},
        {kRename, kTargetLame, {"real/a.wav", "link/a.ogg"}, {"0 real/a.mp3", "1 link/a(1).mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sources[0] + " " + std::to_string(static_cast<int>(c.action)));
        settings.general.existingFileAction = c.action;
        Plan(c.target, c.sources);
        Rows outputs;
        for (const PlannedFile& file : plan.files) {
            EXPECT_EQ(file.chain.back().targetPath, file.finalTarget);
            outputs.push_back(std::to_string(file.row) + " " + file.finalTarget.substr(dir.path().size()));
        }
        EXPECT_EQ(outputs, c.outputs);
        EXPECT_EQ(plan.fileCount, c.sources.size());
    }
}

TEST_F(Planning, EveryTargetPlansItsChainFromEverySource) {
    // Each row's chain ends in its own encoder with its own block and
    // extension, from a WAV and from every compressed source.
    for (const TargetRow& target : Targets()) {
        Plan(target.format, {"a.wav", "b.mp3", "c.ogg", "d.ape"});
        const EngineSettings block = target.settings(settings, tuning);
        std::vector<std::string> finals;
        for (const PlannedFile& file : plan.files) {
            const Job& job = file.chain.back();
            EXPECT_EQ(job.engine, target.encoder) << target.cliName;
            EXPECT_EQ(job.settings, block) << target.cliName;
            finals.push_back(job.targetPath.substr(job.targetPath.rfind('.')));
        }
        EXPECT_EQ(finals, std::vector<std::string>(4, target.extension)) << target.cliName;
        EXPECT_EQ(FindTargetByCliName(target.cliName), &target);
    }
}

TEST(SourceRows, TheAddFileFilterKeepsItsEntriesAndListsEverySource) {
    EXPECT_EQ(MusicFileFilter(),
              "Music Files (*.wav,*.mp2,*.mp3,*.ogg,*.ape,*.vqf,*.flac,*.oga,*.opus,*.m4a,*.m4b,*.mp4,*.aac,*.wma,*.aif,"
              "*.aiff,*.aifc,*.wv,*.tta,*.mpc,*.dsf,*.dff,*.caf,*.w64,*.ac3,*.mka,*.cue)|"
              "*.wav;*.mp2;*.mp3;*.ogg;*.ape;*.vqf;*.flac;*.oga;*.opus;*.m4a;*.m4b;*.mp4;*.aac;*.wma;*.aif;*.aiff;*.aifc;"
              "*.wv;*.tta;*.mpc;*.dsf;*.dff;*.caf;*.w64;*.ac3;*.mka;*.cue|"
              "PCM Wave Files (*.wav)|*.wav|Mp2 Files (*.mp2)|*.mp2|Mp3 Files (*.mp3)|*.mp3|"
              "OggVorbis Files (*.ogg)|*.ogg|MonkeysAudio Files (*.ape)|*.ape|"
              "TwinVQ Files (*.vqf)|*.vqf|FLAC Files (*.flac,*.oga)|*.flac;*.oga|Opus Files (*.opus)|*.opus|"
              "Other Audio Files (*.m4a,*.m4b,*.mp4,*.aac,*.wma,*.aif,*.aiff,*.aifc,*.wv,*.tta,*.mpc,*.dsf,*.dff,*.caf,"
              "*.w64,*.ac3,*.mka)|*.m4a;*.m4b;*.mp4;*.aac;*.wma;*.aif;*.aiff;*.aifc;*.wv;*.tta;*.mpc;*.dsf;*.dff;*.caf;"
              "*.w64;*.ac3;*.mka|CUE Sheets (*.cue)|*.cue|All Files (*.*)|*.*||");
}

TEST_F(Planning, AnUnknownTargetPlansNothingAndSaysWhy) {
    for (int32_t unknown : {0, 99, -1}) {
        Plan(unknown, {"a.wav"});
        EXPECT_TRUE(plan.files.empty()) << unknown;
        EXPECT_NE(plan.error, "") << unknown;
    }
    Plan(kTargetOgg, {"a.wav"});
    EXPECT_EQ(plan.error, "");
}

// A WAV output whose RIFF size fits the file but whose data chunk claims more
// than the file holds is not whole, however its sizes agree otherwise.
TEST(ReadBack, ADataChunkRunningPastTheFileIsNoAudio) {
    ScratchDir dir;
    const WaveHeader h = MakeWaveHeader(2, 44100, 16, 400);
    const std::string header(reinterpret_cast<const char*>(&h), sizeof h);
    WriteFile(dir / "whole.wav", header + std::string(400, '\1'));
    EXPECT_EQ(AudioExtentOf(dir / "whole.wav"), std::optional<uint64_t>(400));
    std::string cut = header + std::string(300, '\1');
    const uint32_t riff = static_cast<uint32_t>(cut.size() - 8);
    std::memcpy(&cut[4], &riff, 4);
    WriteFile(dir / "cut.wav", cut);
    EXPECT_EQ(AudioExtentOf(dir / "cut.wav"), std::nullopt);
}

}  // namespace zelph::test
