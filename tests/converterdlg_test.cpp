#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <QAction>
#include <QMenuBar>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "app/aboutdlg.h"
#include "app/converterapp.h"
#include "app/converterdlg.h"
#include "app/startoptions.h"
#include "core/targets.h"
#include "settings/appliedgain.h"
#include "settings/enginetuning.h"
#include "settings/generalsettingsdlg.h"
#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/screenfit.h"
#include "ui/xtargetbutton.h"

using namespace zelph;
using test::Exists;
using test::Press;
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

    test::ScratchDir dir;
    int startedIn;
    CConverterDlg window;  // after the change of folder
};

// True when `widget` lies wholly inside its window.
bool InsideWindow(const QWidget* widget) {
    const QWidget* window = widget->window();
    return window->rect().contains(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()));
}

// 1366 x 768 and 1280 x 800 at 100, 150 and 200 %, in logical pixels.
constexpr QSize kScreens[] = {{1366, 768}, {911, 512}, {683, 384}, {1280, 800}, {853, 533}, {640, 400}};

// The window, frame included, stays on `screen` and shows every one of `parts` whole.
void ExpectFits(QWidget* window, const QSize& screen, std::initializer_list<QWidget*> parts) {
    QTest::qWait(10);
    const QSize frame = window->size() + kWindowDecorations;
    EXPECT_TRUE(QRect(QPoint(), screen).contains(QRect(QPoint(), frame)))
        << window->windowTitle().toStdString() << " on " << screen.width() << "x" << screen.height();
    for (QWidget* part : parts) EXPECT_TRUE(InsideWindow(part)) << window->windowTitle().toStdString();
}

}  // namespace

TEST_F(MainWindow, RowsShowSizeDescriptionAndSchedule) {
    WriteFile(dir / "a.wav", std::string(1572864, '\0'));
    WriteFile(dir / "fake.mp3", std::string(4000, 'x'));
    WriteFile(dir / "notes.txt", "text");
    WriteFile(dir / ".hidden.ogg", "x");
    ASSERT_EQ(RunCommand("truncate -s 5G " + dir / "big.ape").status, 0);  // sparse

    Add({"a.wav", "A.wav", "fake.mp3", "a.wav", "notes.txt", "big.ape", ".hidden.ogg"});
    EXPECT_EQ(Listed(), (Names{"a.wav", "A.wav", "fake.mp3", "notes.txt", "big.ape", ".hidden.ogg"}));
    EXPECT_EQ(Cell(0, 0), "a.wav");
    EXPECT_EQ(window.fileList()->topLevelItem(0)->toolTip(0), Path("a.wav")) << "the folder is in the tip";
    EXPECT_EQ(Cell(0, 1), "1.50 MiB");
    EXPECT_EQ(Cell(1, 1), "---");
    EXPECT_EQ(Cell(1, 2), kFileInUseText);
    EXPECT_EQ(Cell(2, 2), "Not a Valid MPEG File");
    EXPECT_EQ(Cell(2, 3), "Scheduled");
    EXPECT_EQ(Cell(3, 2), "Unknown Audio File Format");
    EXPECT_EQ(Cell(3, 3), "Unscheduled");
    EXPECT_EQ(Cell(4, 1), "5120.00 MiB");
    EXPECT_EQ(window.fileList()->topLevelItem(5)->foreground(0).color(),
              window.palette().color(QPalette::Disabled, QPalette::Text));

    // A file rewritten since it was described is probed again.
    const std::string before = Cell(0, 2);
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 '" + dir / "a.wav" + "' synth 65.4 sine 500").status, 0);
    window.RefreshFileList();
    EXPECT_NE(Cell(0, 2), before);
    // The length, read from the file's headers, stands beside the size once
    // its reader gets to it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(0, 6) == "1:05"; }));
    EXPECT_EQ(Cell(3, 6), "---");

    // A window closed while lengths are being read takes none of them.
    QStringList many;
    for (int i = 0; i < 300; ++i) {
        many << Path("link" + std::to_string(i) + ".wav");
        std::filesystem::create_symlink(dir / "a.wav", many.back().toStdString());
    }
    for (int i = 0; i < 3; ++i) {
        CConverterDlg closing(nullptr, StandardEngines(), QString::fromStdString(dir.path()));
        closing.AddPaths(many);
        QTest::qWait(i);
    }
    QTest::qWait(50);
}

TEST_F(MainWindow, GeneralSettingsPreviewsTheBatchsNamesAsTheChoicesChange) {
    for (const char* folder : {"in/a", "in/b", "out"}) std::filesystem::create_directories(dir / folder);
    Names names{"in/a/x.wav", "in/b/x.wav", "in/notes.txt"};
    for (int i = 0; i < 20; ++i) names.push_back("in/b/" + std::to_string(i) + ".wav");
    Add(names);
    window.targetRadio(kTargetOgg)->setChecked(true);
    GeneralSettings& general = window.settings().record.general;
    ASSERT_TRUE(SetOutputFolder(general, dir / "out/"));
    general.outputFolderMode = OutputFolderMode::kInFolder;
    CGeneralSettingsDlg settings(&general, &window.preferences(), &window, {}, window.NamePreviews());
    const auto output = [&](int row) { return settings.namePreview()->topLevelItem(row)->text(1).toStdString(); };
    const auto note = [&] { return settings.namePreviewNote()->text().toStdString(); };
    WhenModalShows<QDialog>([&](QDialog* shown) {
        auto* root = shown->findChild<QLineEdit*>("keepTreeRoot");
        auto* pattern = shown->findChild<QLineEdit*>("namePattern");
        EXPECT_EQ(settings.namePreview()->topLevelItemCount(), 20);
        EXPECT_EQ(output(0), "x.ogg");
        EXPECT_EQ(settings.namePreview()->topLevelItem(0)->toolTip(1).toStdString(), dir / "out/x.ogg");
        EXPECT_EQ(output(1), "x(1).ogg") << "neither tree nor pattern: the plain names";
        EXPECT_EQ(output(2), "not converted");
        EXPECT_EQ(note(), "The first 20 of 23 files; the others are named when the batch starts.");

        root->setText(QString::fromStdString(dir / "in"));
        EXPECT_EQ(output(1), "b/x.ogg");
        root->clear();
        pattern->setText("%title%");
        EXPECT_NE(note().find(dir / "in/a/x.wav and " + dir / "in/b/x.wav would both be"), std::string::npos)
            << note();
        EXPECT_EQ(output(0), "");

        pattern->clear();
        WriteFile(dir / "in/a/x.ogg", "");
        Press(shown, "In Folder Of Source File");
        EXPECT_EQ(output(0), "x(1).ogg");
        Press(shown, "Skip Output File");
        EXPECT_EQ(output(0), "skipped: its output exists");
        shown->reject();
    });
    settings.exec();
    EXPECT_EQ(general.outputFolderMode, OutputFolderMode::kInFolder) << "a preview stores nothing";
}

TEST_F(MainWindow, DroppedFilesAndFoldersAreAddedInPathOrderRemoveTakesTheSelectedRowsAndEnterLeavesThem) {
    std::filesystem::create_directories(dir / "box/sub");
    for (const char* name : {"box/b.mp3", "box/sub/a.WAV", "box/readme.txt", "box/a.ogg", "single.txt", "box/c.flac",
                             "box/sub/d.opus", "box/e.oga"})
        WriteFile(dir / name, "");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("box")), QUrl::fromLocalFile(Path("single.txt"))});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.fileList()->viewport(), &drop);
    EXPECT_EQ(Listed(), (Names{"box/a.ogg", "box/b.mp3", "box/c.flac", "box/e.oga", "box/sub/a.WAV", "box/sub/d.opus",
                               "single.txt"}));

    // Remove takes the selected rows, and the Delete key does the same.
    window.fileList()->topLevelItem(1)->setSelected(true);
    window.fileList()->topLevelItem(3)->setSelected(true);
    window.RemoveFiles();
    EXPECT_EQ(Listed(), (Names{"box/a.ogg", "box/c.flac", "box/sub/a.WAV", "box/sub/d.opus", "single.txt"}));
    window.fileList()->topLevelItem(0)->setSelected(true);
    QTest::keyClick(window.fileList(), Qt::Key_Delete);
    const Names left{"box/c.flac", "box/sub/a.WAV", "box/sub/d.opus", "single.txt"};
    EXPECT_EQ(Listed(), left);

    // Enter on a row leaves the window, the list and the settings alone.
    window.show();
    window.fileList()->setFocus();
    window.fileList()->setCurrentItem(window.fileList()->topLevelItem(1));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(window.fileList(), key);
    QTest::qWait(20);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Listed(), left);
    EXPECT_FALSE(Exists(dir / "Settings.dat"));
    // Enter on a command button still presses it.
    bool opened = false;
    window.SetEngineTuningOpener([&](int32_t, ConverterSettings&, QWidget*) { opened = true; });
    window.engineTuningButton()->setFocus();
    QTest::keyClick(window.engineTuningButton(), Qt::Key_Return);
    EXPECT_TRUE(opened);
}

TEST_F(MainWindow, AFolderWithACueSheetListsItsTracksInPlaceOfItsImage) {
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 " + dir / "disc.wav" + " synth 0.3 sine 500").status, 0);
    WriteFile(dir / "disc.cue", "TITLE \"Disc\"\nFILE \"disc.wav\" WAVE\n TRACK 01 AUDIO\n  TITLE \"A/B\"\n  INDEX 01 00:00:00\n"
                                " TRACK 02 AUDIO\n  INDEX 01 00:00:10\n");
    window.AddFilesAndFolders({QString::fromStdString(dir.path())});
    EXPECT_EQ(Listed(), (Names{"disc.cue#1", "disc.cue#2"}));
    EXPECT_EQ(Cell(0, 0), "disc.cue \u203A 01 - A/B");
    EXPECT_EQ(Cell(1, 0), "disc.cue \u203A 02 - Track 02");
    EXPECT_EQ(Cell(1, 2), "PCM Wave Mono 16Bit 8000Hz, track 2 of 2 of disc.wav");
    EXPECT_EQ(Cell(1, kStatusColumn), "Scheduled");
}

TEST_F(MainWindow, SettingsWindowsGetTheCheckedTargetAndTheWindowsRecord) {
    // General Settings edits the same record the tuning windows see.
    window.SetGeneralSettingsOpener([](GeneralSettings& general, Preferences& preferences, QWidget*) {
        general.afterOperation = AfterOperation::kDeleteSource;
        preferences.Set(kCopyTags, "0");
    });
    test::Find<QAction>(&window, "General Settings")->trigger();
    EXPECT_EQ(window.preferences().Get(kCopyTags), 0) << "Copy Tags is kept beside the record";
    std::vector<int32_t> opened;
    window.SetEngineTuningOpener([&](int32_t target, ConverterSettings& settings, QWidget*) {
        opened.push_back(target);
        EXPECT_EQ(settings.general.afterOperation, AfterOperation::kDeleteSource);
    });
    for (TargetFormat target : {kTargetOgg, kTargetBlade}) {
        window.targetRadio(target)->setChecked(true);
        window.engineTuningButton()->click();
    }
    EXPECT_EQ(opened, (std::vector<int32_t>{kTargetOgg, kTargetBlade}));

    // Restore Defaults asks first; only its own button restores. It resets
    // zelph.conf's choices too, and keeps lines it does not know.
    WriteFile(dir / "Settings.dat", "old");
    WriteFile(dir / "zelph.conf", "other.key = 3\n");
    window.preferences().Load();
    for (const auto& [key, value] : {std::pair<std::string_view, const char*>{kCopyTags, "0"}, {kFilesAtOnce, "0"},
                                     {"flac.level", "0"}, {"opus.bitrate", "0"}, {kWindowWidth, "0"},
                                     {kLoudness, "2"}, {kTruePeak, "1"}, {kApplyGainLufs, "-16"}})
        ASSERT_EQ(window.preferences().Set(key, value), "");
    ASSERT_EQ(window.preferences().Save(), "");
    for (bool restore : {false, true}) {
        test::AnswerMessageBox(nullptr, restore ? "Restore Defaults" : "Cancel");
        window.restoreDefaultsButton()->click();
        EXPECT_EQ(window.targetRadio(kTargetWav)->isChecked(), restore);
        EXPECT_EQ(Exists(dir / "Settings.dat"), !restore);
    }
    EXPECT_EQ(test::ReadFile(dir / "zelph.conf"), "other.key = 3\n");
    EXPECT_EQ(window.preferences().Get(kCopyTags), 1);

    // A Settings.dat or zelph.conf that cannot be deleted or written is reported.
    for (const char* stuck : {"Settings.dat", "zelph.conf"}) {
        std::filesystem::remove_all(dir / stuck);
        std::filesystem::create_directories(dir / stuck + "/x");
        QString shown;
        WhenModalShows<QMessageBox>([&](QMessageBox* box) {
            test::AnswerMessageBox(&shown);
            Press(box, "Restore Defaults");
        });
        window.restoreDefaultsButton()->click();
        EXPECT_TRUE(shown.startsWith("The defaults could not be kept: cannot ")) << shown.toStdString();
        std::filesystem::remove_all(dir / stuck);
    }
}

TEST_F(MainWindow, CloseSavesTheTargetEscapeAsksBeforeDiscardingChangesAndFailuresAreReported) {
    // Changed, the answer (NoButton: no question is asked), closes, saves.
    const std::tuple<bool, QMessageBox::StandardButton, bool, bool> cases[] = {
        {false, QMessageBox::NoButton, true, false}, {true, QMessageBox::Cancel, false, false},
        {true, QMessageBox::Discard, true, false}, {true, QMessageBox::Save, true, true}};
    for (const auto& [changed, answer, closes, saves] : cases) {
        ::unlink((dir / "Settings.dat").c_str());
        CConverterDlg opened;
        opened.show();
        if (changed) opened.targetRadio(kTargetApe)->setChecked(true);
        bool asked = false;
        QPointer<QTimer> watch = WhenModalShows<QMessageBox>([&](QMessageBox* box) {
            asked = true;
            box->button(answer ? answer : QMessageBox::Discard)->click();
        });
        QTest::keyClick(&opened, Qt::Key_Escape);
        delete watch;
        EXPECT_EQ(asked, answer != QMessageBox::NoButton) << answer;
        EXPECT_EQ(!opened.isVisible(), closes) << answer;
        EXPECT_EQ(Exists(dir / "Settings.dat"), saves) << answer;
    }

    // Settings that cannot be saved are reported on close.
    CConverterDlg nowhere(nullptr, StandardEngines(), Path("gone"));
    QString message;
    test::AnswerMessageBox(&message);
    nowhere.show();
    nowhere.close();
    EXPECT_TRUE(message.contains(Path("gone/Settings.dat: No such file or directory"))) << message.toStdString();

    window.show();
    window.targetRadio(kTargetApe)->setChecked(true);
    const QSize larger = window.minimumSize() + QSize(20, 10);
    window.SetWindowSize(larger);
    window.close();
    EXPECT_EQ(test::ReadFile(dir / "Settings.dat").size(), sizeof(ConverterSettings));
    CConverterDlg again;
    EXPECT_TRUE(again.targetRadio(kTargetApe)->isChecked());
    EXPECT_EQ(again.WindowSize(), larger) << "the size comes back from zelph.conf";
}

TEST_F(MainWindow, ConvertRunsTheListThroughTheProgressWindow) {
    for (const std::string name : {"one.wav", "two.wav"})
        ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 '" + dir / name + "' synth 0.3 sine 500").status, 0);
    WriteFile(dir / "fake.mp3", std::string(4000, 'x'));
    Add({"one.wav", "two.wav", "fake.mp3"});
    window.preferences().Set(kCopyTags, "0");
    window.preferences().Set(kVerify, "1");
    bool listedDuringRun = false, shownAfterRun = false;
    WhenModalShows<CConvertProgressDlg>([&](CConvertProgressDlg* progress) {
        listedDuringRun = window.isVisible() && window.totalBar()->isVisible() &&
                          window.batchTimes()->text().startsWith("Elapsed 0:0");
        EXPECT_LT(progress->minimumHeight(), progress->maximumHeight()) << "the progress window can be resized";
    });
    QTimer::singleShot(0, [&] {
        window.convertButton()->click();
        // The window goes on after the run, until it is closed.
        QTimer::singleShot(50, [&] {
            shownAfterRun = window.isVisible();
            window.close();
        });
    });
    RunMainWindow(window);
    EXPECT_TRUE(listedDuringRun) << "the list and the batch's bar stay in sight";
    EXPECT_FALSE(window.totalBar()->isVisible()) << "the summary line takes over";
    EXPECT_TRUE(shownAfterRun);
    EXPECT_TRUE(Exists(dir / "Settings.dat")) << "closed by its close request, not ended by the run";
    EXPECT_EQ(Cell(0, kStatusColumn), "Done");
    EXPECT_EQ(Cell(1, kStatusColumn), "Done");
    EXPECT_FALSE(window.progressWindow().runner().options().copyTags) << "the window's choice reaches the run";
    EXPECT_TRUE(window.progressWindow().runner().options().verify) << "and so does Verify Outputs";

    // The failure shows its icon and its reason in a column of its own, the
    // window sums the batch up, and the log keeps every file's outcome.
    EXPECT_EQ(Cell(2, kStatusColumn), "Error Occured");
    const std::string reason = Cell(2, kReasonColumn);
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(window.fileList()->topLevelItem(2)->icon(kStatusColumn).isNull());
    EXPECT_FALSE(window.fileList()->isColumnHidden(kReasonColumn));
    EXPECT_EQ(window.batchSummary()->text(), "2 done, 1 failed \u2014 <a href=\"log\">Show details</a>");
    const std::string log = test::ReadFile(dir / "last-batch.log");
    EXPECT_EQ(log, "Done\t" + dir / "one.wav" + "\nDone\t" + dir / "two.wav" + "\nError Occured\t" + dir / "fake.mp3" +
                       "\t" + reason + "\n");
    QString shown;
    WhenModalShows<QDialog>([&](QDialog* logWindow) {
        shown = logWindow->findChild<QPlainTextEdit*>()->toPlainText();
        logWindow->reject();
    });
    emit window.batchSummary()->linkActivated("log");
    EXPECT_EQ(shown.toStdString(), log);
}

TEST_F(MainWindow, MenusHaveAltLettersTheCommandsTheirShortcutsAndTheLogoOpensTheAboutBox) {
    QStringList menus;
    for (QAction* menu : window.findChild<QMenuBar*>()->actions()) menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Settings", "&Help"}));
    const std::pair<const char*, const char*> shortcuts[] = {
        {"Add File", "Ctrl+O"}, {"Add Folder", "Ctrl+Shift+O"}, {"Quit", "Ctrl+Q"}};
    for (auto [text, keys] : shortcuts)
        EXPECT_EQ(test::Find<QAction>(&window, text)->shortcut(), QKeySequence(keys)) << text;
    window.show();
    test::Find<QAction>(&window, "Quit")->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(Exists(dir / "Settings.dat")) << "Quit saves, as the close box does";

    EXPECT_EQ(window.windowTitle(), "    Zelph Audio Converter");
    QString title;
    qsizetype creditLines = 0;
    WhenModalShows<CAboutDlg>([&](CAboutDlg* about) {
        title = about->windowTitle();
        creditLines = about->findChild<QGroupBox*>()->findChildren<QLabel*>().size();
        about->findChild<CTargetButton*>()->click();
    });
    window.findChild<QToolButton*>("logo")->click();
    EXPECT_EQ(title, "About Zelph Audio Converter");
    EXPECT_EQ(creditLines, 4) << "the By group holds four lines of credits";
}

TEST_F(MainWindow, ResizingGivesTheListTheRoomAndEveryWindowFitsEveryScreenAtEveryScale) {
    window.FitTo(QSize(1280, 800));
    EXPECT_EQ(window.minimumSize(), window.FullSize()) << "the smallest size is the full layout's";
    window.show();
    window.SetWindowSize(window.FullSize());
    QTest::qWait(20);
    const QSize listAtFull = window.fileList()->size();
    // Within the 1280-pixel screen, whose room the full layout of every target takes most of.
    const QSize more(100, 100);
    window.SetWindowSize(window.FullSize() + more);
    QTest::qWait(20);
    EXPECT_EQ(window.WindowSize(), window.FullSize() + more);
    EXPECT_EQ(window.fileList()->size(), listAtFull + more);
    window.SetWindowSize(QSize(10, 10));
    EXPECT_EQ(window.WindowSize(), window.FullSize()) << "never below the smallest size";
    for (const QSize& screen : kScreens) {
        window.FitTo(screen);
        // A size kept from a run at a lower scale is cut to this screen.
        window.SetWindowSize(QSize(1790, 890));
        ExpectFits(&window, screen, {window.convertButton(), window.engineTuningButton(), window.restoreDefaultsButton()});
        window.SetWindowSize(window.minimumSize());
        for (const TargetRow& target : Targets())
            ExpectFits(&window, screen, {window.targetRadio(target.format)});
        EXPECT_GE(window.fileList()->height(), 90) << screen.width();
    }

    // The settings windows scroll their controls; Save and Cancel stay in sight.
    auto fitsEveryScreen = [](QWidget* opened) {
        auto* settingsWindow = static_cast<CSettingsWindow*>(opened);
        for (const QSize& screen : kScreens) {
            settingsWindow->FitTo(screen);
            ExpectFits(settingsWindow, screen, {settingsWindow->saveButton(), settingsWindow->cancelButton()});
        }
        settingsWindow->reject();
    };
    for (const TargetRow& target : Targets()) {
        WhenModalShows<QDialog>(fitsEveryScreen);
        OpenEngineTuning(target.format, window.settings().record, window.preferences(), &window);
    }
    CGeneralSettingsDlg general(&window.settings().record.general, &window.preferences(), &window);
    general.show();
    fitsEveryScreen(&general);

    CConvertProgressDlg& progress = window.progressWindow();
    progress.show();
    for (const QSize& screen : kScreens) ExpectFits(&progress, screen, {progress.skipButton(), progress.cancelButton()});
    progress.hide();
}

TEST_F(MainWindow, FilesOnTheCommandLineAreListedAndTheMenuEntryKeepsSettingsInTheConfigFolder) {
    std::filesystem::create_directory(dir / "box");
    for (const char* name : {"a.wav", "-dash.ogg", "box/b.mp3", "box/notes.txt"}) WriteFile(dir / name, "");
    const StartOptions options = ParseStartOptions({"a.wav", "--xdg-settings", "--", "-dash.ogg", "box"});
    EXPECT_TRUE(options.error.isEmpty());
    window.AddFilesAndFolders(options.files);
    EXPECT_EQ(Listed(), (Names{"a.wav", "-dash.ogg", "box/b.mp3"}));
    EXPECT_EQ(ParseStartOptions({"--bogus"}).error, "unknown option '--bogus'");
    EXPECT_EQ(RunCommand(test::BinDir() + "/zelph --bogus 2>&1").status, 2);

    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir / "config"));
    // Made at start-up, so that the window's settings can be saved there.
    EXPECT_EQ(StartupFolder().toStdString(), dir / "config/zelph/");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "config/zelph/"));
    if (configHome.isNull()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", configHome);
}

TEST_F(MainWindow, TheAddDialogShowsSizesAndKindsWholeAddsTheChosenFilesAndACancelRebuildsTheRows) {
    for (const char* name : {"song.ape", "song.ogg", "song.mp3", "song.wav"})
        ASSERT_EQ(RunCommand("truncate -s 1048563655 " + dir / name).status, 0);  // sparse, "999.99 MiB"
    WriteFile(dir / "x.wav", "");
    WriteFile(dir / "y.ogg", "");
    // A larger desktop font than the offscreen default, as many desktops use.
    const QFont oldFont = QApplication::font();
    QFont font = oldFont;
    font.setPointSizeF(oldFont.pointSizeF() * 1.5);
    QApplication::setFont(font);
    WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "File(s) To Load");
        EXPECT_EQ(dialog->nameFilters().size(), 12);
        dialog->setDirectory(QString::fromStdString(dir.path()));
        dialog->setViewMode(QFileDialog::Detail);
        auto* view = dialog->findChild<QTreeView*>("treeView");
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == 6; }));
        for (int row = 0; row < 6; ++row) {
            for (int column : {1, 2}) {
                const QString text = view->model()->index(row, column, view->rootIndex()).data().toString();
                EXPECT_LT(view->fontMetrics().horizontalAdvance(text), view->header()->sectionSize(column))
                    << text.toStdString();
            }
        }
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"y.ogg\" \"x.wav\"");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    window.AddFiles();
    QApplication::setFont(oldFont);
    EXPECT_EQ(Listed(), (Names{"y.ogg", "x.wav"}));

    window.fileList()->topLevelItem(0)->setText(kStatusColumn, "Done");
    WhenModalShows<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    window.AddFiles();
    EXPECT_EQ(Listed().size(), 2u);
    EXPECT_EQ(Cell(0, kStatusColumn), "Scheduled");
}
