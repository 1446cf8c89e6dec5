#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/aboutdlg.h"
#include "app/converterapp.h"
#include "app/converterdlg.h"
#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/xtargetbutton.h"

using namespace zelph;
using test::Exists;
using test::RunCommand;
using test::WhenModalShows;
using test::WriteFile;
using Names = std::vector<std::string>;

namespace {

// Makes `folder` the working folder; returns the one it replaces, opened.
int EnterFolder(const std::string& folder) {
    const int previous = ::open(".", O_RDONLY);
    EXPECT_EQ(::chdir(folder.c_str()), 0);
    return previous;
}

class MainWindow : public ::testing::Test {
protected:
    // The window keeps Settings.dat in the folder it starts in.
    MainWindow() : startedIn(EnterFolder(dir.path())) {}
    ~MainWindow() override {
        EXPECT_EQ(::fchdir(startedIn), 0);
        ::close(startedIn);
    }

    QString Path(const std::string& name) { return QString::fromStdString(dir / name); }
    void Add(Names names) {
        QStringList paths;
        for (const std::string& name : names) paths << Path(name);
        window.AddPaths(paths);
    }
    std::string Cell(int row, int column) { return window.fileList()->topLevelItem(row)->text(column).toStdString(); }
    Names Listed() {
        Names names;
        for (const std::string& path : window.filePaths()) names.push_back(path.substr(dir.path().size()));
        return names;
    }
    void MakeWav(const std::string& name) {
        ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 '" + dir / name + "' synth 0.3 sine 500").status, 0);
    }

    test::ScratchDir dir;
    int startedIn;
    CConverterDlg window;  // after the change of folder
};

}  // namespace

TEST_F(MainWindow, RowsShowSizeDescriptionAndSchedule) {
    WriteFile(dir / "a.wav", std::string(1572864, '\0'));
    WriteFile(dir / "fake.mp3", std::string(4000, 'x'));
    WriteFile(dir / "notes.txt", "text");
    WriteFile(dir / ".hidden.ogg", "x");
    const int big = ::open((dir / "big.ape").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(big, 5LL << 30), 0);  // sparse: 5 GiB
    ::close(big);

    Add({"a.wav", "A.wav", "fake.mp3", "a.wav", "notes.txt", "big.ape", ".hidden.ogg"});
    EXPECT_EQ(Listed(), (Names{"a.wav", "A.wav", "fake.mp3", "notes.txt", "big.ape", ".hidden.ogg"}));
    EXPECT_EQ(Cell(0, 1), "1.50 MB");
    EXPECT_EQ(Cell(1, 1), "---");
    EXPECT_EQ(Cell(1, 2), kFileInUseText);
    EXPECT_EQ(Cell(2, 2), "Not a Valid MPEG File");
    EXPECT_EQ(Cell(2, 3), "Scheduled");
    EXPECT_EQ(Cell(3, 2), "Unknown Audio File Format");
    EXPECT_EQ(Cell(3, 3), "Unscheduled");
    EXPECT_EQ(Cell(4, 1), "5120.00 MB");
    EXPECT_EQ(window.fileList()->topLevelItem(5)->foreground(0).color(),
              window.palette().color(QPalette::Disabled, QPalette::Text));

    // A file rewritten since it was described is probed again.
    const std::string before = Cell(0, 2);
    MakeWav("a.wav");
    window.RefreshFileList();
    EXPECT_NE(Cell(0, 2), before);
}

TEST_F(MainWindow, RemoveTakesTheSelectedRowsAndDeleteKeyDoesTheSame) {
    Add({"0.wav", "1.wav", "2.wav", "3.wav", "4.wav"});
    window.fileList()->topLevelItem(1)->setSelected(true);
    window.fileList()->topLevelItem(3)->setSelected(true);
    window.RemoveFiles();
    EXPECT_EQ(Listed(), (Names{"0.wav", "2.wav", "4.wav"}));
    window.fileList()->topLevelItem(0)->setSelected(true);
    QTest::keyClick(window.fileList(), Qt::Key_Delete);
    EXPECT_EQ(Listed(), (Names{"2.wav", "4.wav"}));
}

TEST_F(MainWindow, AddDialogAddsTheChosenFilesAndACancelRebuildsTheRows) {
    WriteFile(dir / "x.wav", "");
    WriteFile(dir / "y.ogg", "");
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "File(s) To Load");
        EXPECT_EQ(dialog->nameFilters().size(), 8);
        dialog->setDirectory(QString::fromStdString(dir.path()));
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"y.ogg\" \"x.wav\"");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    window.AddFiles();
    EXPECT_EQ(Listed(), (Names{"y.ogg", "x.wav"}));

    window.fileList()->topLevelItem(0)->setText(kStatusColumn, "Done");
    WhenModalShows<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    window.AddFiles();
    EXPECT_EQ(Listed().size(), 2u);
    EXPECT_EQ(Cell(0, kStatusColumn), "Scheduled");
}

TEST_F(MainWindow, DroppedFilesAndFoldersAreAddedInPathOrder) {
    ::mkdir((dir / "box").c_str(), 0755);
    ::mkdir((dir / "box/sub").c_str(), 0755);
    for (const char* name : {"box/b.mp3", "box/sub/a.WAV", "box/readme.txt", "box/a.ogg", "single.txt"})
        WriteFile(dir / name, "");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("box")), QUrl::fromLocalFile(Path("single.txt"))});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &drop);
    EXPECT_EQ(Listed(), (Names{"box/a.ogg", "box/b.mp3", "box/sub/a.WAV", "single.txt"}));
}

TEST_F(MainWindow, SettingsWindowsGetTheCheckedTargetAndTheWindowsRecord) {
    std::vector<TargetFormat> opened;
    window.SetEngineTuningOpener([&](TargetFormat target, ConverterSettings&, QWidget*) { opened.push_back(target); });
    for (TargetFormat target : {kTargetOgg, kTargetBlade}) {
        window.targetRadio(target)->setChecked(true);
        window.engineTuningButton()->click();
    }
    EXPECT_EQ(opened, (std::vector<TargetFormat>{kTargetOgg, kTargetBlade}));

    // General Settings edits the same record the tuning windows see.
    window.SetGeneralSettingsOpener([](GeneralSettings& general, RunOptions& options, QWidget*) {
        general.afterOperation = 2;
        options.copyTags = false;
    });
    int16_t afterOperationSeen = 0;
    window.SetEngineTuningOpener(
        [&](TargetFormat, ConverterSettings& settings, QWidget*) { afterOperationSeen = settings.general.afterOperation; });
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == "General Settings") action->trigger();
    window.engineTuningButton()->click();
    EXPECT_EQ(afterOperationSeen, 2);
    EXPECT_FALSE(window.runOptions().copyTags) << "Copy Tags is kept beside the record";

    WriteFile(dir / "Settings.dat", "old");
    window.restoreDefaultsButton()->click();
    EXPECT_TRUE(window.targetRadio(kTargetWav)->isChecked());
    EXPECT_FALSE(Exists(dir / "Settings.dat"));
}

TEST_F(MainWindow, CloseSavesTheTargetAndEscapeSavesNothing) {
    window.show();
    window.targetRadio(kTargetApe)->setChecked(true);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(Exists(dir / "Settings.dat"));
    window.show();
    window.close();
    EXPECT_EQ(test::ReadFile(dir / "Settings.dat").size(), sizeof(ConverterSettings));
    CConverterDlg again;
    EXPECT_TRUE(again.targetRadio(kTargetApe)->isChecked());
}

TEST_F(MainWindow, ConvertRunsTheListThroughTheProgressWindow) {
    MakeWav("one.wav");
    MakeWav("two.wav");
    Add({"one.wav", "two.wav"});
    window.runOptions().copyTags = false;
    bool hiddenDuringRun = false, shownAfterRun = false;
    WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg*) { hiddenDuringRun = !window.isVisible(); });
    QTimer::singleShot(0, [&] {
        window.convertButton()->click();
        // The window goes on after the run, until it is closed.
        QTimer::singleShot(50, [&] {
            shownAfterRun = window.isVisible();
            window.close();
        });
    });
    RunMainWindow(window);
    EXPECT_TRUE(hiddenDuringRun);
    EXPECT_TRUE(shownAfterRun);
    EXPECT_TRUE(Exists(dir / "Settings.dat")) << "closed by its close request, not ended by the run";
    EXPECT_EQ(Cell(0, kStatusColumn), "Done");
    EXPECT_EQ(Cell(1, kStatusColumn), "Done");
    EXPECT_FALSE(window.progressWindow().runner().options.copyTags) << "the window's choice reaches the run";
    EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=channels -of csv=p=0 '" + dir / "two(1).wav" + "'").out,
              "2\n");
}

TEST_F(MainWindow, TheLogoOpensTheAboutBox) {
    EXPECT_EQ(window.windowTitle(), "    Zelph Audio Converter");
    QString title;
    WhenModalShows<CAboutDlg>([&](CAboutDlg* about) {
        title = about->windowTitle();
        about->findChild<CTargetButton*>()->click();
    });
    window.findChild<QToolButton*>("logo")->click();
    EXPECT_EQ(title, "About Zelph Audio Converter");
}
