#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include <thread>

#include "app/convertprogressdlg.h"
#include "metadata/tags.h"
#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/xtargetbutton.h"

using namespace zelph;
using test::RunCommand;
using test::ScratchDir;
using test::WhenModalShows;

namespace {

// Works until it is told to stop.
void Endless(Job* job) {
    while (!LoadShared(job->stopRequested)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    StoreShared(job->running, 0);
}

void Instant(Job* job) {
    StoreShared(job->succeeded, 1);
    StoreShared(job->running, 0);
}

class ProgressWindow : public ::testing::Test {
protected:
    ProgressWindow() { ApplyDefaults(settings, dir.path()); }

    // Lists `names` as rows reading "Scheduled" and plans them for `window`.
    void Plan(CConvertProgressDlg& window, std::vector<std::string> names) {
        for (auto& name : names) {
            (new QTreeWidgetItem(&rows))->setText(kStatusColumn, "Scheduled");
            paths.push_back(dir / name);
        }
        window.SetSettings(&settings);
        window.SetFileList(&rows);
        window.PlanJobs(kEncWavPcm, paths);
    }
    std::string Status(int row) { return rows.topLevelItem(row)->text(kStatusColumn).toStdString(); }

    ScratchDir dir;
    ConverterSettings settings{};
    QTreeWidget rows;
    std::vector<std::string> paths;
};

}  // namespace

TEST_F(ProgressWindow, ConvertsARealBatchAndWritesTheRows) {
    for (const char* name : {"a.wav", "c.wav"})
        ASSERT_EQ(RunCommand("sox -n -r 22050 -c 1 -b 8 '" + dir / name + "' synth 0.5 sine 300").status, 0);
    CConvertProgressDlg window;
    Plan(window, {"a.wav", "b.vqf", "c.wav"});
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_EQ(Status(0), "Done");
    EXPECT_EQ(Status(1), "Scheduled") << "a file without jobs keeps its row";
    EXPECT_EQ(Status(2), "Done");
    EXPECT_EQ(window.statusText(), "Converting File 3 of 3");
    // The default settings ask for 16-bit stereo beside the source, renamed.
    const std::string out = "'" + dir / "c(1).wav" + "'";
    EXPECT_EQ(RunCommand("soxi -c " + out + "; soxi -b " + out).out, "2\n16\n");
}

TEST_F(ProgressWindow, NothingPlannedSaysSoAndLeavesTheRows) {
    CConvertProgressDlg window;
    Plan(window, {"song.vqf"});
    QString said;
    WhenModalShows<QMessageBox>([&](QMessageBox* box) {
        said = box->text();
        box->accept();
    });
    window.exec();
    EXPECT_EQ(said, kNoJobsText);
    EXPECT_EQ(Status(0), "Scheduled");
}

TEST_F(ProgressWindow, EnterIsIgnoredSkipCancelsOneFileEscapeTheRest) {
    CConvertProgressDlg window(nullptr, {{kEncWavPcm, Endless}});
    Plan(window, {"1.wav", "2.wav", "3.wav"});
    WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg* shown) {
        QTimer::singleShot(300, [&, shown] {
            QTest::keyClick(shown, Qt::Key_Return);
            EXPECT_TRUE(shown->isVisible());
            shown->skipButton()->click();
            EXPECT_EQ(Status(0), "Cancelled");
            EXPECT_EQ(Status(1), "Scheduled");
            QTimer::singleShot(300, [shown] { QTest::keyClick(shown, Qt::Key_Escape); });
        });
    });
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(Status(row), "Cancelled") << row;
    EXPECT_FALSE(window.runner().engineRunning());
}

TEST_F(ProgressWindow, AnEndingEngineStartsTheNextJobWithoutWaitingForTheTimer) {
    CConvertProgressDlg window(nullptr, {{kDecMp3, Instant}, {kDecOggVorbis, Instant},
                                         {kDecApeMonkey, Instant}, {kEncWavPcm, Instant}});
    Plan(window, {"1.mp3", "2.ogg", "3.ape", "4.wav"});
    // Once the first tick has started the batch, the timer is all but
    // switched off: only the engines' own wake-ups can carry it on.
    auto* timer = window.findChild<QTimer*>("schedulingTimer");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (window.statusText() == "Starting Engine...") return;
        timer->setInterval(3600 * 1000);
        watch.stop();
    });
    watch.start(1);
    QTimer::singleShot(10000, &window, &QDialog::reject);  // a hang fails instead
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    for (int row = 0; row < 4; ++row) EXPECT_EQ(Status(row), "Done") << row;
}

TEST_F(ProgressWindow, AFileWhoseTagsCannotBeWrittenFailsAndSaysWhyInItsTip) {
    ASSERT_EQ(RunCommand("sox -n -r 22050 -c 1 -b 16 '" + dir / "a.wav" + "' synth 0.2 sine 300").status, 0);
    Tags tags;
    tags.fields["TITLE"] = {"Song"};
    ASSERT_EQ(WriteTags(dir / "a.wav", tags).error, "");
    // An engine that reports success without leaving an output behind.
    CConvertProgressDlg window(nullptr, {{kEncWavPcm, Instant}});
    Plan(window, {"a.wav"});
    window.exec();
    EXPECT_EQ(Status(0), "Error Occured");
    EXPECT_TRUE(rows.topLevelItem(0)->toolTip(kStatusColumn).startsWith("Tags not written: "))
        << rows.topLevelItem(0)->toolTip(kStatusColumn).toStdString();
}
