#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

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

namespace {

class MainWindow : public ::testing::Test {
protected:
    // The window keeps Settings.dat in the folder it starts in.
    MainWindow() : startedIn(::open(".", O_RDONLY)) { EXPECT_EQ(::chdir(dir.path().c_str()), 0); }
    ~MainWindow() override {
        EXPECT_EQ(::fchdir(startedIn), 0);
        ::close(startedIn);
    }

    QString Path(const std::string& name) { return QString::fromStdString(dir / name); }
    QStringList Paths(std::initializer_list<const char*> names) {
        QStringList paths;
        for (const char* name : names) paths << Path(name);
        return paths;
    }
    std::string Cell(CConverterDlg& window, int row, int column) {
        return window.fileList()->topLevelItem(row)->text(column).toStdString();
    }
    std::vector<std::string> Listed(CConverterDlg& window) {
        std::vector<std::string> names;
        for (const std::string& path : window.filePaths()) names.push_back(path.substr(dir.path().size()));
        return names;
    }

    test::ScratchDir dir;
    int startedIn;
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

    CConverterDlg window;
    window.AddPaths(Paths({"a.wav", "A.wav", "fake.mp3", "a.wav", "notes.txt", "big.ape", ".hidden.ogg"}));
    EXPECT_EQ(Listed(window), (std::vector<std::string>{"a.wav", "A.wav", "fake.mp3", "notes.txt",
                                                        "big.ape", ".hidden.ogg"}));
    EXPECT_EQ(Cell(window, 0, 1), "1.50 MB");
    EXPECT_EQ(Cell(window, 1, 1), "---");
    EXPECT_EQ(Cell(window, 1, 2), kFileInUseText);
    EXPECT_EQ(Cell(window, 2, 2), "Not a Valid MPEG File");
    EXPECT_EQ(Cell(window, 2, 3), "Scheduled");
    EXPECT_EQ(Cell(window, 3, 2), "Unknown Audio File Format");
    EXPECT_EQ(Cell(window, 3, 3), "Unscheduled");
    EXPECT_EQ(Cell(window, 4, 1), "5120.00 MB");
    EXPECT_EQ(window.fileList()->topLevelItem(5)->foreground(0).color(),
              window.palette().color(QPalette::Disabled, QPalette::Text));

    // A file rewritten since it was described is probed again.
    const std::string before = Cell(window, 0, 2);
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 '" + dir / "a.wav" + "' synth 0.1 sine 500").status, 0);
    window.RefreshFileList();
    EXPECT_NE(Cell(window, 0, 2), before);
    EXPECT_EQ(Cell(window, 0, 1), "0.00 MB");
}

TEST_F(MainWindow, RemoveTakesTheSelectedRowsAndDeleteKeyDoesTheSame) {
    CConverterDlg window;
    window.AddPaths(Paths({"0.wav", "1.wav", "2.wav", "3.wav", "4.wav"}));
    window.fileList()->topLevelItem(1)->setSelected(true);
    window.fileList()->topLevelItem(3)->setSelected(true);
    window.RemoveFiles();
    EXPECT_EQ(Listed(window), (std::vector<std::string>{"0.wav", "2.wav", "4.wav"}));

    window.fileList()->topLevelItem(0)->setSelected(true);
    QTest::keyClick(window.fileList(), Qt::Key_Delete);
    EXPECT_EQ(Listed(window), (std::vector<std::string>{"2.wav", "4.wav"}));
    window.ClearFiles();
    EXPECT_EQ(window.fileList()->topLevelItemCount(), 0);
}

TEST_F(MainWindow, AddDialogAddsTheChosenFilesAndACancelRebuildsTheRows) {
    WriteFile(dir / "x.wav", "");
    WriteFile(dir / "y.ogg", "");
    CConverterDlg window;
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "File(s) To Load");
        EXPECT_EQ(dialog->nameFilters().size(), 8);
        dialog->setDirectory(QString::fromStdString(dir.path()));
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"y.ogg\" \"x.wav\"");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    window.AddFiles();
    EXPECT_EQ(Listed(window), (std::vector<std::string>{"y.ogg", "x.wav"}));

    window.fileList()->topLevelItem(0)->setText(kStatusColumn, "Done");
    WhenModalShows<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    window.AddFiles();
    EXPECT_EQ(Listed(window).size(), 2u);
    EXPECT_EQ(Cell(window, 0, kStatusColumn), "Scheduled");
}

TEST_F(MainWindow, DroppedFilesAndFoldersAreAddedInPathOrder) {
    for (const char* name : {"box/b.mp3", "box/sub/a.WAV", "box/readme.txt", "box/a.ogg", "single.txt"}) {
        ::mkdir((dir / "box").c_str(), 0755);
        ::mkdir((dir / "box/sub").c_str(), 0755);
        WriteFile(dir / name, "");
    }
    CConverterDlg window;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("box")), QUrl::fromLocalFile(Path("single.txt"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &drop);
    EXPECT_EQ(Listed(window), (std::vector<std::string>{"box/a.ogg", "box/b.mp3", "box/sub/a.WAV",
                                                        "single.txt"}));
}

TEST_F(MainWindow, TuningGoesToTheCheckedTargetAndRestoreDefaultsChecksWav) {
    CConverterDlg window;
    std::vector<TargetFormat> opened;
    window.SetEngineTuningOpener([&](TargetFormat target, ConverterSettings&, QWidget*) { opened.push_back(target); });
    GeneralSettings* general = nullptr;
    window.SetGeneralSettingsOpener([&](GeneralSettings& block, QWidget*) { general = &block; });

    window.targetRadio(kTargetOgg)->setChecked(true);
    window.engineTuningButton()->click();
    window.targetRadio(kTargetBlade)->setChecked(true);
    window.engineTuningButton()->click();
    EXPECT_EQ(opened, (std::vector<TargetFormat>{kTargetOgg, kTargetBlade}));
    window.OpenGeneralSettings();
    EXPECT_EQ(general, &window.settings().record.general);

    WriteFile(dir / "Settings.dat", "old");
    window.restoreDefaultsButton()->click();
    EXPECT_TRUE(window.targetRadio(kTargetWav)->isChecked());
    EXPECT_FALSE(Exists(dir / "Settings.dat"));
}

TEST_F(MainWindow, CloseSavesTheTargetAndEscapeSavesNothing) {
    {
        CConverterDlg window;
        window.show();
        window.targetRadio(kTargetApe)->setChecked(true);
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
        EXPECT_FALSE(Exists(dir / "Settings.dat"));
        window.show();
        window.close();
        EXPECT_EQ(test::ReadFile(dir / "Settings.dat").size(), sizeof(ConverterSettings));
    }
    CConverterDlg again;
    EXPECT_TRUE(again.targetRadio(kTargetApe)->isChecked());
}

TEST_F(MainWindow, ConvertRunsTheListThroughTheProgressWindow) {
    for (const char* name : {"one.wav", "two.wav"})
        ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 '" + dir / name + "' synth 0.3 sine 500").status, 0);
    CConverterDlg window;
    window.AddPaths(Paths({"one.wav", "two.wav"}));
    window.targetRadio(kTargetWav)->setChecked(true);
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
    EXPECT_EQ(Cell(window, 0, kStatusColumn), "Done");
    EXPECT_EQ(Cell(window, 1, kStatusColumn), "Done");
    EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=channels -of csv=p=0 '" + dir / "two(1).wav" + "'").out,
              "2\n");
}

TEST_F(MainWindow, TheLogoOpensTheAboutBox) {
    CConverterDlg window;
    EXPECT_EQ(window.windowTitle(), "    Zelph Audio Converter");
    QString title;
    WhenModalShows<CAboutDlg>([&](CAboutDlg* about) {
        title = about->windowTitle();
        about->findChild<CTargetButton*>()->click();
    });
    window.findChild<QToolButton*>("logo")->click();
    EXPECT_EQ(title, "About Zelph Audio Converter");
}
