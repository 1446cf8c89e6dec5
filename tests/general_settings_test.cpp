#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <functional>

#include "settings/generalsettingsdlg.h"
#include "tests/support/scratch.h"
#include "ui/folderbrowser.h"

using namespace zelph;
using zelph::test::ScratchDir;

namespace {

// Stands in for the system's folder dialog: answers `answer` and notes where
// it was asked to start.
class FakeFolderDialog {
public:
    explicit FakeFolderDialog(std::string answer) {
        previous_ = SetFolderDialog([this, answer](QWidget*, const QString& start) {
            startedAt = start.toStdString();
            return QString::fromStdString(answer);
        });
    }
    ~FakeFolderDialog() { SetFolderDialog(previous_); }
    std::string startedAt;

private:
    FolderDialog previous_;
};

GeneralSettings Defaults() {
    ConverterSettings s{};
    ApplyDefaults(s, "/music/");
    return s.general;
}

QRadioButton* Radio(QWidget* w, const QString& text) {
    for (QRadioButton* radio : w->findChildren<QRadioButton*>())
        if (radio->text() == text) return radio;
    ADD_FAILURE() << text.toStdString();
    return nullptr;
}
QLineEdit* Field(QWidget* w) { return w->findChild<QLineEdit*>(); }

// Runs `actions` inside the window's modal loop and returns its result.
int Open(CGeneralSettingsDlg& window, std::function<void(CGeneralSettingsDlg&)> actions) {
    QTimer::singleShot(0, [&] {
        actions(window);
        if (window.isVisible()) window.reject();
    });
    return window.exec();
}

}  // namespace

TEST(GeneralSettings, OpeningAndSavingUntouchedKeepsTheStoredChoices) {
    GeneralSettings block = Defaults();
    const GeneralSettings before = block;
    CGeneralSettingsDlg window(&block);
    EXPECT_EQ(Open(window,
                   [](CGeneralSettingsDlg& w) {
                       EXPECT_EQ(w.windowTitle(), "General Settings");
                       EXPECT_TRUE(Radio(&w, "In Folder Of Source File")->isChecked());
                       EXPECT_TRUE(Radio(&w, "Rename Output File")->isChecked());
                       EXPECT_TRUE(Radio(&w, "Leave The Source File Intact")->isChecked());
                       EXPECT_EQ(Field(&w)->text(), "/music/");
                       EXPECT_TRUE(Field(&w)->isReadOnly());
                       EXPECT_NE(QApplication::focusWidget(), Field(&w));
                       w.saveButton()->click();
                   }),
              QDialog::Accepted);
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);

    // Entering the field by hand does choose "In Folder".
    Open(window, [](CGeneralSettingsDlg& w) {
        Field(&w)->setFocus(Qt::MouseFocusReason);
        EXPECT_TRUE(Radio(&w, "In Folder")->isChecked());
        EXPECT_FALSE(Radio(&w, "In Folder Of Source File")->isChecked());
        Radio(&w, "Skip Output File")->click();
        Radio(&w, "Delete Source File")->click();
        w.cancelButton()->click();
    });
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0) << "Cancel changed the block";
}

TEST(GeneralSettings, BrowsedFolderGetsItsTrailingSlash) {
    ScratchDir dir;
    const std::string chosen = dir / "out";
    std::filesystem::create_directory(chosen);
    GeneralSettings block = Defaults();
    CGeneralSettingsDlg window(&block);
    {
        FakeFolderDialog dialog(chosen);
        Open(window, [&](CGeneralSettingsDlg& w) {
            w.browseButton()->click();
            EXPECT_EQ(dialog.startedAt, "/music/");
            EXPECT_EQ(Field(&w)->text().toStdString(), chosen + "/");
            Radio(&w, "Delete Source File")->click();
            w.saveButton()->click();
        });
    }
    EXPECT_EQ(std::string(block.outputFolder), chosen + "/");
    EXPECT_EQ(block.outputFolderMode, 2);
    EXPECT_EQ(block.afterOperation, 2);

    {
        FakeFolderDialog dialog("/");
        Open(window, [](CGeneralSettingsDlg& w) {
            w.browseButton()->click();
            w.saveButton()->click();
        });
    }
    EXPECT_EQ(std::string(block.outputFolder), "/") << "a root gets no second slash";

    // A cancelled browser still means "In Folder", with the folder as it was.
    block.outputFolderMode = 1;
    {
        FakeFolderDialog dialog("");
        Open(window, [](CGeneralSettingsDlg& w) {
            w.browseButton()->click();
            EXPECT_EQ(Field(&w)->text(), "/");
            w.saveButton()->click();
        });
    }
    EXPECT_EQ(block.outputFolderMode, 2);
    EXPECT_EQ(std::string(block.outputFolder), "/");
}

TEST(GeneralSettings, FolderThatDoesNotFitIsNeverStored) {
    GeneralSettings block = Defaults();
    std::memset(block.outputFolder, 'a', kOutputFolderSize);  // no terminating zero
    CGeneralSettingsDlg window(&block);
    Open(window, [](CGeneralSettingsDlg& w) {
        Radio(&w, "Overwrite Output File")->click();
        w.saveButton()->click();
    });
    EXPECT_EQ(block.existingFileAction, 1);
    EXPECT_EQ(std::string(block.outputFolder, kOutputFolderSize), std::string(kOutputFolderSize, 'a'));

    ScratchDir dir;
    std::string deep = dir.path();
    while (deep.size() < kOutputFolderSize) deep += std::string(200, 'd') + "/";
    std::filesystem::create_directories(deep);
    FakeFolderDialog dialog(deep);
    GeneralSettings fresh = Defaults();
    CGeneralSettingsDlg second(&fresh);
    Open(second, [](CGeneralSettingsDlg& w) {
        w.browseButton()->click();
        EXPECT_EQ(Field(&w)->text(), "/music/");
        w.saveButton()->click();
    });
    EXPECT_EQ(std::string(fresh.outputFolder), "/music/");
}

TEST(FolderBrowser, GivesOnlyRealExistingFolders) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    const std::string real = std::filesystem::canonical(dir / "real").string();
    {
        FakeFolderDialog dialog(dir / "link");
        EXPECT_EQ(BrowseForFolder(nullptr, ""), real);
        EXPECT_EQ(dialog.startedAt, QDir::currentPath().toStdString());
    }
    {
        FakeFolderDialog dialog(dir / "gone");
        EXPECT_EQ(BrowseForFolder(nullptr, "/"), std::nullopt);
    }
    {
        FakeFolderDialog dialog("");
        EXPECT_EQ(BrowseForFolder(nullptr, "/"), std::nullopt);
    }
}
