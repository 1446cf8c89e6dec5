#include <gtest/gtest.h>

#include <filesystem>

#include "core/naming.h"
#include "core/planner.h"
#include "tests/support/scratch.h"

using namespace zelph;
using zelph::test::ScratchDir;
using zelph::test::WriteFile;

namespace {

class Planning : public ::testing::Test {
protected:
    Planning() { ApplyDefaults(settings, dir.path()); }

    void Touch(const std::string& name) { WriteFile(dir / name, "x"); }
    std::string At(const std::string& name) const { return dir / name; }
    void Plan(const char* target, std::vector<std::string> names) {
        for (auto& name : names) name = At(name);
        planner.PlanJobs(target, names);
    }
    // "ENGINE source>target progress/span" with the folder left out.
    std::vector<std::string> Queue() const {
        std::vector<std::string> rows;
        auto strip = [&](std::string path) {
            return path.rfind(dir.path(), 0) == 0 ? path.substr(dir.path().size()) : path;
        };
        for (const Job& job : planner.jobQueue)
            rows.push_back(std::to_string(job.fileIndex) + " " + job.engineId + " " +
                           strip(job.sourcePath) + ">" + strip(job.targetPath) + " " +
                           std::to_string(job.progress) + "/" + std::to_string(job.progressSpan));
        return rows;
    }

    ScratchDir dir;
    ConverterSettings settings{};
    JobPlanner planner{&settings};
};

using Rows = std::vector<std::string>;

}  // namespace

TEST(MakeUniqueName, CountsAfterTheTitleOfTheFileName) {
    ScratchDir dir;
    EXPECT_EQ(MakeUniqueName(dir / "song.mp3"), dir / "song.mp3");
    WriteFile(dir / "song.mp3", "");
    EXPECT_EQ(MakeUniqueName(dir / "song.mp3"), dir / "song(1).mp3");
    WriteFile(dir / "song(1).mp3", "");
    EXPECT_EQ(MakeUniqueName(dir / "song.mp3"), dir / "song(2).mp3");
    WriteFile(dir / "Temp-QOR-File", "");
    EXPECT_EQ(MakeUniqueName(dir / "Temp-QOR-File"), dir / "Temp-QOR-File(1)");
    WriteFile(dir / ".hidden", "");
    EXPECT_EQ(MakeUniqueName(dir / ".hidden"), dir / ".hidden(1)");
    WriteFile(dir / "a.b.c", "");
    EXPECT_EQ(MakeUniqueName(dir / "a.b.c"), dir / "a.b(1).c");
    std::filesystem::create_directory(dir / "x.y");
    WriteFile(dir / "x.y/name", "");
    EXPECT_EQ(MakeUniqueName(dir / "x.y/name"), dir / "x.y/name(1)");
    // Taken by the batch, or present but unreadable: still taken.
    EXPECT_EQ(MakeUniqueName(dir / "new.ogg", {dir / "new.ogg"}), dir / "new(1).ogg");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.wav");
    EXPECT_EQ(MakeUniqueName(dir / "dangling.wav"), dir / "dangling(1).wav");
}

TEST_F(Planning, JobTableForEverySourceAndTargetKind) {
    Plan(kEncOggVorbis, {"a.wav", "b.MP3", "c.mp2", "d.ape", "e.vqf", "f.Ogg", "noext", "g.h.WAV"});
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
    EXPECT_EQ(planner.fileCount, 8);
    EXPECT_EQ(planner.currentFileIndex, -1);
    EXPECT_EQ(planner.plannedTempFiles, std::vector<std::string>{At("Temp-QOR-File")});
    // The preparing step makes 16-bit stereo (no parameters); the encoder gets its block.
    EXPECT_EQ(planner.jobQueue[0].engineParams, nullptr);
    EXPECT_EQ(planner.jobQueue[1].engineParams, &settings.ogg);
    EXPECT_EQ(planner.jobQueue[3].engineParams, nullptr);
}

TEST_F(Planning, FlacAndOpusSourcesAreDecodedLikeTheOtherCompressedOnes) {
    Plan(kEncMp3Lame, {"a.flac", "b.OGA", "c.opus", "d.opus.txt"});
    EXPECT_EQ(Queue(), (Rows{
        "0 DECFLAC a.flac>Temp-QOR-File 0/30",
        "0 ENCWAVPCM Temp-QOR-File> 30/10",
        "0 ENCMP3LAME Temp-QOR-File>a.mp3 40/60",
        "1 DECFLAC b.OGA>Temp-QOR-File 0/30",
        "1 ENCWAVPCM Temp-QOR-File> 30/10",
        "1 ENCMP3LAME Temp-QOR-File>b.mp3 40/60",
        "2 DECOPUS c.opus>Temp-QOR-File 0/30",
        "2 ENCWAVPCM Temp-QOR-File> 30/10",
        "2 ENCMP3LAME Temp-QOR-File>c.mp3 40/60",
    }));
    Plan(kEncWavPcm, {"a.flac", "c.opus"});
    EXPECT_EQ(Queue(), (Rows{
        "0 DECFLAC a.flac>Temp-QOR-File 0/90",
        "0 ENCWAVPCM Temp-QOR-File>a.wav 90/10",
        "1 DECOPUS c.opus>Temp-QOR-File 0/90",
        "1 ENCWAVPCM Temp-QOR-File>c.wav 90/10",
    }));
}

TEST_F(Planning, WavAndApeTargets) {
    Plan(kEncWavPcm, {"a.wav", "b.mp3"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM a.wav>a(1).wav 0/100",
        "1 DECMP3 b.mp3>Temp-QOR-File 0/90",
        "1 ENCWAVPCM Temp-QOR-File>b.wav 90/10",
    }));
    EXPECT_EQ(planner.jobQueue[0].engineParams, &settings.wav);
    EXPECT_EQ(planner.jobQueue[2].engineParams, &settings.wav);

    Plan(kEncApeMonkey, {"a.wav", "b.ogg"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM a.wav>Temp-QOR-File 0/10",
        "0 ENCAPEMONKEY Temp-QOR-File>a.ape 10/90",
        "1 DECOGGVORBIS b.ogg>Temp-QOR-File 0/30",
        "1 ENCWAVPCM Temp-QOR-File> 30/10",
        "1 ENCAPEMONKEY Temp-QOR-File>b.ape 40/60",
    }));
    EXPECT_EQ(planner.jobQueue[0].engineParams, &settings.ape.pcm);
    EXPECT_EQ(planner.jobQueue[3].engineParams, &settings.ape.pcm);
    EXPECT_EQ(planner.jobQueue[4].engineParams, &settings.ape);
}

TEST_F(Planning, ChosenOutputFolderTakesTargetsAndTemporaryFile) {
    const std::string out = dir / "out/";
    std::filesystem::create_directory(out);
    settings.general.outputFolderMode = 2;
    SetOutputFolder(settings.general, out.substr(0, out.size() - 1));  // stored without "/"
    Plan(kEncMp3Lame, {"in/song.wav"});
    EXPECT_EQ(Queue(), (Rows{
        "0 ENCWAVPCM in/song.wav>out/Temp-QOR-File 0/10",
        "0 ENCMP3LAME out/Temp-QOR-File>out/song.mp3 10/90",
    }));
}

TEST_F(Planning, ExistingOutputsUnderEachRule) {
    Touch("song.mp3");
    Touch("song(1).mp3");
    settings.general.existingFileAction = 2;
    Plan(kEncMp3Blade, {"song.wav"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("song(2).mp3"));

    settings.general.existingFileAction = 1;
    Plan(kEncMp3Blade, {"song.wav"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("song.mp3"));

    settings.general.existingFileAction = 3;
    Plan(kEncMp3Blade, {"song.wav", "other.wav"});
    EXPECT_EQ(Queue(), (Rows{
        "1 ENCWAVPCM other.wav>Temp-QOR-File 0/10",
        "1 ENCMP3BLADE Temp-QOR-File>other.mp3 10/90",
    }));
    EXPECT_EQ(planner.fileCount, 2);
}

TEST_F(Planning, RenameAppliesToWavTargetsToo) {
    Touch("song.wav");
    Plan(kEncWavPcm, {"song.ogg"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("song(1).wav"));
}

TEST_F(Planning, OneBatchNeverWritesTwoFilesToOneName) {
    for (int action : {1, 2}) {
        settings.general.existingFileAction = static_cast<int16_t>(action);
        Plan(kEncMp3GoGo, {"song.wav", "song.ogg", "song.ape"});
        EXPECT_EQ(planner.jobQueue[1].targetPath, At("song.mp3")) << action;
        EXPECT_EQ(planner.jobQueue[4].targetPath, At("song(1).mp3")) << action;
        EXPECT_EQ(planner.jobQueue[7].targetPath, At("song(2).mp3")) << action;
    }
    settings.general.existingFileAction = 3;
    Plan(kEncMp3GoGo, {"song.wav", "song.ogg"});
    EXPECT_EQ(planner.jobQueue.size(), 2u);
    EXPECT_EQ(planner.jobQueue.back().fileIndex, 0);
}

TEST_F(Planning, NoSourceIsEverItsOwnOrAnotherFilesTarget) {
    Touch("song.mp3");
    Touch("a.wav");
    settings.general.existingFileAction = 1;
    Plan(kEncMp3Lame, {"song.mp3"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("song(1).mp3"));
    Plan(kEncWavPcm, {"a.wav"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("a(1).wav"));
    // A spelling of the folder that differs from the source's still names the source.
    Plan(kEncMp3Lame, {"./song.mp3"});
    EXPECT_EQ(planner.jobQueue.back().targetPath, At("./song(1).mp3"));
    // A later file's target must not overwrite an earlier file's source.
    Plan(kEncWavPcm, {"a.mp3", "a.wav"});
    EXPECT_EQ(planner.jobQueue[1].targetPath, At("a(1).wav"));
    EXPECT_EQ(planner.jobQueue[2].targetPath, At("a(2).wav"));

    settings.general.existingFileAction = 3;
    Plan(kEncMp3Lame, {"song.mp3"});
    EXPECT_TRUE(planner.jobQueue.empty());
}

TEST_F(Planning, TemporaryFileNeverTakesAUsersFile) {
    Touch("Temp-QOR-File");
    Plan(kEncOggVorbis, {"a.mp3", "b.wav"});
    EXPECT_EQ(planner.plannedTempFiles, std::vector<std::string>{At("Temp-QOR-File(1)")});
    EXPECT_EQ(planner.jobQueue[0].targetPath, At("Temp-QOR-File(1)"));
    EXPECT_EQ(planner.jobQueue[3].targetPath, At("Temp-QOR-File(1)"));
}

TEST_F(Planning, EachPlanStartsFromNothing) {
    Plan(kEncOggVorbis, {"a.mp3"});
    planner.currentFileIndex = 0;
    planner.tempFiles.push_back("x");
    planner.sourcesToDelete.push_back("y");
    planner.currentJob.succeeded = 1;
    planner.currentJob.progress = 55;
    Plan(kEncOggVorbis, {"b.wav"});
    EXPECT_EQ(planner.jobQueue.size(), 2u);
    EXPECT_EQ(planner.fileCount, 1);
    EXPECT_EQ(planner.currentFileIndex, -1);
    EXPECT_TRUE(planner.tempFiles.empty());
    EXPECT_TRUE(planner.sourcesToDelete.empty());
    EXPECT_EQ(planner.currentJob.succeeded, 0);
    EXPECT_EQ(planner.currentJob.progress, 0);
}
