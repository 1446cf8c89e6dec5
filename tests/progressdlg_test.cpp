#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "app/convertprogressdlg.h"
#include "codecs/apeengines.h"
#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/wavpcmengine.h"
#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/xtargetbutton.h"

using namespace zelph;
using test::RunCommand;
using test::ScratchDir;
using test::WhenModalShows;
using test::WriteFile;

namespace {

// Works until it is told to stop.
void Endless(const Job&, JobState& state) {
    while (!state.stopRequested.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    state.running.store(0);
}

// Leaves a few bytes as its output and succeeds at once.
void Instant(const Job& job, JobState& state) {
    if (!job.targetPath.empty()) test::WriteFile(job.targetPath, test::FakeAudio(job.targetPath));
    state.succeeded.store(1);
    state.running.store(0);
}

void Refusing(const Job&, JobState& state) {
    state.reason = "not an MPEG audio stream";
    state.running.store(0);
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
        window.PlanJobs(kTargetWav, paths);
    }
    std::string Status(int row) { return rows.topLevelItem(row)->text(kStatusColumn).toStdString(); }

    ScratchDir dir;
    ConverterSettings settings{};
    QTreeWidget rows;
    std::vector<std::string> paths;
};

}  // namespace

TEST_F(ProgressWindow, AFailureReasonOrAWarningIsTheToolTipOfItsRowUntilTheRowIsDoneWithoutOne) {
    const std::string flac = dir / "cut.flac", wav = dir / "in.wav";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 1 sine 300").status, 0);
    WriteFile(flac, std::string(20000, 'x'));
    CConvertProgressDlg window;
    Plan(window, {"cut.flac"});
    // No FLAC at all; cut short (Done, with what is missing told); whole. The
    // tip is compared up to the length of the cut one's fixed start.
    const std::tuple<std::string, const char*, QString> runs[] = {
        {"true", "Error Occured", "no FLAC stream"},
        {"flac -s -f " + wav + " -o " + flac + " && truncate -s 20000 " + flac, "Done", "source ends early: "},
        {"flac -s -f " + wav + " -o " + flac, "Done", ""}};
    for (const auto& [make, status, tip] : runs) {
        ASSERT_EQ(RunCommand(make).status, 0);
        window.PlanJobs(kTargetWav, paths);
        EXPECT_EQ(window.exec(), QDialog::Accepted);
        EXPECT_EQ(Status(0), status);
        EXPECT_EQ(rows.topLevelItem(0)->toolTip(kStatusColumn).left(19), tip) << status;
    }
}

TEST_F(ProgressWindow, NothingPlannedSaysSoAndLeavesTheRows) {
    CConvertProgressDlg window;
    Plan(window, {"song.vqf"});
    QString said;
    test::AnswerMessageBox(&said);
    window.exec();
    EXPECT_EQ(said, kNoJobsText);
    EXPECT_EQ(Status(0), "Scheduled");
}

TEST_F(ProgressWindow, NamesTheFileUnderItsNumberIgnoresEnterSkipCancelsOneFileEscapeTheRest) {
    CConvertProgressDlg window(nullptr, EngineTable{{&kEncWavPcm, Endless}});
    const QString longName = "a rather long name that the window shortens in the middle.wav";
    Plan(window, {"first.wav", "skipped.vqf", longName.toStdString(), "last.wav"});
    WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg* shown) {
        QTimer::singleShot(300, [&, shown] {
            EXPECT_EQ(shown->statusText(), "Converting File 1 of 4");
            EXPECT_EQ(shown->fileNameText(), "first.wav");
            QTest::keyClick(shown, Qt::Key_Return);
            EXPECT_TRUE(shown->isVisible());
            shown->skipButton()->click();
            QTimer::singleShot(300, [&, shown] {
                EXPECT_EQ(Status(0), "Cancelled");
                EXPECT_EQ(Status(3), "Scheduled");
                EXPECT_EQ(shown->statusText(), "Converting File 3 of 4");
                EXPECT_EQ(shown->fileNameText(), longName);
                auto* label = shown->findChild<QLabel*>("fileName");
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
                EXPECT_TRUE(label->text().contains(QChar(0x2026))) << label->text().toStdString();
                QTest::keyClick(shown, Qt::Key_Escape);
            });
        });
    });
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    for (int row : {0, 2, 3}) EXPECT_EQ(Status(row), "Cancelled") << row;
    EXPECT_FALSE(window.runner().engineRunning());
}

TEST_F(ProgressWindow, AnEndingEngineStartsTheNextJobWithoutWaitingForTheTimer) {
    CConvertProgressDlg window(nullptr, EngineTable{{&kDecMp3, Instant}, {&kDecOggVorbis, Instant},
                                         {&kDecApeMonkey, Instant}, {&kEncWavPcm, Instant}});
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

TEST_F(ProgressWindow, RunningFilesAreListedTheChosenOneIsSkippedAndReasonsShow) {
    CConvertProgressDlg window(nullptr, EngineTable{{&kEncWavPcm, Endless}, {&kDecMp3, Refusing}});
    Preferences preferences(dir / "zelph.conf");
    ASSERT_EQ(preferences.Set(kFilesAtOnce, "2"), "");
    window.SetPreferences(&preferences);
    Plan(window, {"1.wav", "2.wav", "3.mp3"});
    int batchPercent = -1;
    QObject::connect(&window, &CConvertProgressDlg::batchProgress, [&](int percent) { batchPercent = percent; });
    WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg* shown) {
        QTimer::singleShot(400, [&, shown] {
            EXPECT_EQ(rows.topLevelItem(1)->text(kProgressColumn), "0 %") << "the row shows its file's progress";
            QTreeWidget* list = shown->runningList();
            ASSERT_EQ(list->topLevelItemCount(), 2);
            EXPECT_EQ(list->topLevelItem(0)->text(0), "1.wav");
            EXPECT_EQ(list->topLevelItem(1)->text(0), "2.wav");
            EXPECT_TRUE(list->viewport()->rect().contains(list->itemWidget(list->topLevelItem(0), 1)->geometry()));
            list->setCurrentItem(list->topLevelItem(1));
            shown->skipButton()->click();
            QTimer::singleShot(400, [&, shown] {
                EXPECT_EQ(Status(0), "Scheduled") << "the file not chosen goes on";
                EXPECT_EQ(Status(1), "Cancelled");
                EXPECT_EQ(Status(2), "Error Occured");
                EXPECT_EQ(rows.topLevelItem(2)->toolTip(kStatusColumn), "not an MPEG audio stream");
                EXPECT_EQ(rows.topLevelItem(1)->text(kProgressColumn), "") << "an ended file shows its outcome only";
                EXPECT_EQ(batchPercent, 66) << "two of three files ended, the third at 0 %";
                shown->cancelButton()->click();
            });
        });
    });
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    EXPECT_EQ(Status(0), "Cancelled");
    EXPECT_FALSE(window.runner().engineRunning());
}

// Held until the test opens the gate; files named "broken..." then fail.
std::atomic<bool> gateOpen{false};
void Gated(const Job& job, JobState& state) {
    while (!gateOpen && !state.stopRequested.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool ok = gateOpen && job.sourcePath.find("broken") == std::string::npos;
    if (ok) test::WriteFile(job.targetPath, test::FakeAudio(job.targetPath));
    state.succeeded.store(ok ? 1 : 0);
    state.running.store(0);
}

TEST_F(ProgressWindow, ABatchEndingUnwatchedTellsTheDesktopHowItWent) {
    // A notify-send of our own, first on the PATH, notes what it is asked to say.
    const std::string said = dir / "said";
    ::mkdir((dir / "bin").c_str(), 0755);
    WriteFile(dir / "bin/notify-send", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + said + "'\n");
    ::chmod((dir / "bin/notify-send").c_str(), 0755);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(dir / "bin") + ":" + path);
    // Whole once it ends with the summary's line.
    auto waitForNotice = [&] {
        for (int i = 0; i < 100 && !test::ReadFile(said).ends_with("failed\n"); ++i) QTest::qWait(20);
        return test::Exists(said);
    };

    // Watched, the window is the active one when the batch ends; unwatched,
    // another window has the focus.
    for (const bool watched : {true, false}) {
        gateOpen = false;
        rows.clear();
        paths.clear();
        CConvertProgressDlg window(nullptr, EngineTable{{&kEncWavPcm, Gated}});
        Plan(window, {"a.wav", "broken.wav", "b.wav"});
        WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg* shown) {
            QWidget* active = shown;
            if (!watched) {
                active = new QWidget(shown, Qt::Window);
                active->show();
                active->activateWindow();
            }
            EXPECT_TRUE(QTest::qWaitForWindowActive(active));
            gateOpen = true;
        });
        window.exec();
        EXPECT_EQ(waitForNotice(), !watched);
    }
    qputenv("PATH", path);
    EXPECT_EQ(test::ReadFile(said),
              "--app-name=Zelph Audio Converter\n--icon=zelph\nZelph Audio Converter\n"
              "2 files converted, 1 failed\n");
}
