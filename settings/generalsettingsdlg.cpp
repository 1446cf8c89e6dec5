#include "settings/generalsettingsdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstring>

#include "settings/appliedgain.h"
#include "ui/folderbrowser.h"
#include "ui/uiresources.h"

namespace zelph {

namespace {
constexpr int kOfferedGainTarget = -18;
}  // namespace

CGeneralSettingsDlg::CGeneralSettingsDlg(GeneralSettings* block, Preferences* preferences, QWidget* parent,
                                         const std::vector<RuleTarget>& ruleTargets, NamePreviewer previewer)
    : CSettingsWindow("General Settings", parent),
      block_(block),
      preferences_(preferences),
      previewer_(std::move(previewer)),
      folderMode_(this),
      existingFile_(this),
      afterOperation_(this),
      besideSource_(folderMode_.Add("In Folder Of Source File", OutputFolderMode::kBesideSource)),
      inFolder_(folderMode_.Add("In Folder", OutputFolderMode::kInFolder)),
      folderField_(new QLineEdit(this)),
      browse_(MakeCommandButton("Browse", ":/icons/browse.svg", this)),
      copyTagsBox_(new QCheckBox("Copy Tags", this)),
      verifyBox_(new QCheckBox("Verify Outputs (Always When Deleting Sources)", this)),
      loudness_(new QComboBox(this)),
      truePeakBox_(new QCheckBox("True Peaks", this)),
      applyGainBox_(new QCheckBox("Apply Gain To", this)),
      gainTarget_(new QSpinBox(this)),
      filesAtOnce_(new QSpinBox(this)),
      treeRootField_(new QLineEdit(this)),
      browseTreeRoot_(MakeCommandButton("Browse", ":/icons/browse.svg", this)),
      namePatternField_(new QLineEdit(this)),
      updateBox_(new QCheckBox("Only Convert What Changed Since The Last Run", this)),
      deleteOrphansBox_(new QCheckBox("Remove Outputs Whose Source Is Gone", this)),
      folderImagesBox_(new QCheckBox("Copy Folder Images (cover.jpg, folder.jpg)", this)),
      losslessRule_(new QComboBox(this)),
      lossyRule_(new QComboBox(this)) {
    // 0 stands for one file per processor.
    filesAtOnce_->setObjectName("filesAtOnce");
    filesAtOnce_->setRange(0, 64);
    filesAtOnce_->setSpecialValueText("One Per Processor");
    folderField_->setObjectName("outputFolder");
    folderField_->setReadOnly(true);
    folderField_->setMinimumWidth(320);
    folderField_->installEventFilter(this);
    connect(browse_, &QPushButton::clicked, this, &CGeneralSettingsDlg::Browse);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderField_, 1);
    folderRow->addWidget(browse_);
    auto* output = new QVBoxLayout;
    output->addWidget(besideSource_);
    output->addWidget(inFolder_);
    output->addLayout(folderRow);

    // Empty fields leave the plain naming: the source's name, flat in the folder.
    treeRootField_->setObjectName("keepTreeRoot");
    treeRootField_->setPlaceholderText("Outputs Lie Flat In The Output Folder");
    namePatternField_->setObjectName("namePattern");
    namePatternField_->setPlaceholderText("%albumartist|artist%/%album%/%tracknumber% - %title%");
    connect(browseTreeRoot_, &QPushButton::clicked, this, &CGeneralSettingsDlg::BrowseTreeRoot);
    auto* treeRow = new QHBoxLayout;
    treeRow->addWidget(treeRootField_, 1);
    treeRow->addWidget(browseTreeRoot_);
    names_ = new QVBoxLayout;
    names_->addWidget(new QLabel("Keep The Folder Tree Below", this));
    names_->addLayout(treeRow);
    names_->addWidget(new QLabel("Name From Tags", this));
    names_->addWidget(namePatternField_);
    if (previewer_) {
        namePreview_ = new QTreeWidget(this);
        namePreviewNote_ = new QLabel(this);
        namePreview_->setObjectName("namePreview");
        namePreview_->setHeaderLabels({"Source File", "Output File"});
        namePreview_->setRootIsDecorated(false);
        namePreview_->setUniformRowHeights(true);
        namePreview_->setTextElideMode(Qt::ElideMiddle);
        namePreview_->setSelectionMode(QAbstractItemView::NoSelection);
        namePreview_->header()->setStretchLastSection(true);
        // A few rows in sight; the rest scroll.
        namePreview_->setMinimumHeight(namePreview_->fontMetrics().height() * 7);
        namePreviewNote_->setObjectName("namePreviewNote");
        namePreviewNote_->setWordWrap(true);
        names_->addWidget(new QLabel("Names Of The First Files In The List", this));
        names_->addWidget(namePreview_);
        names_->addWidget(namePreviewNote_);
    }
    // Every choice that changes a name shows at once what it makes.
    for (QLineEdit* field : {folderField_, treeRootField_, namePatternField_})
        connect(field, &QLineEdit::textChanged, this, &CGeneralSettingsDlg::UpdateNamePreview);

    // The rules name targets by their command-line names, as zelph.conf keeps them.
    for (QComboBox* rule : {losslessRule_, lossyRule_}) {
        rule->addItem("The Chosen Target", QString());
        for (const RuleTarget& target : ruleTargets)
            rule->addItem(QString::fromStdString(target.text), QString::fromStdString(target.name));
        rule->addItem("Copy As It Is", QString("copy"));
    }
    losslessRule_->setObjectName("losslessRule");
    lossyRule_->setObjectName("lossyRule");
    updateBox_->setObjectName("update");
    deleteOrphansBox_->setObjectName("deleteOrphans");
    auto* rules = new QFormLayout;
    rules->addRow("Lossless Sources", losslessRule_);
    rules->addRow("Lossy Sources", lossyRule_);
    auto* library = new QVBoxLayout;
    library->addWidget(updateBox_);
    library->addWidget(deleteOrphansBox_);
    library->addWidget(folderImagesBox_);
    library->addLayout(rules);

    auto* controls = new QVBoxLayout;
    controls->addWidget(MakeGroup("Output File", output, this));
    controls->addWidget(MakeGroup("Output Names", names_, this));
    const std::initializer_list<QWidget*> existing = {
        existingFile_.Add("Overwrite Output File", ExistingFileAction::kOverwrite),
        existingFile_.Add("Rename Output File", ExistingFileAction::kRename),
        existingFile_.Add("Skip Output File", ExistingFileAction::kSkip)};
    controls->addWidget(MakeGroup("If Output File Exists", Column(existing), this));
    for (QWidget* radio : existing) connect(static_cast<QRadioButton*>(radio), &QRadioButton::toggled, this,
                                            &CGeneralSettingsDlg::UpdateNamePreview);
    for (QRadioButton* radio : {besideSource_, inFolder_})
        connect(radio, &QRadioButton::toggled, this, &CGeneralSettingsDlg::UpdateNamePreview);
    controls->addWidget(MakeGroup("After Operation",
                                  Column({afterOperation_.Add("Leave The Source File Intact", AfterOperation::kKeepSource),
                                          afterOperation_.Add("Delete Source File", AfterOperation::kDeleteSource)}),
                                  this));
    auto* filesRow = new QHBoxLayout;
    filesRow->addWidget(new QLabel("Files At Once", this));
    filesRow->addWidget(filesAtOnce_);
    filesRow->addStretch();
    controls->addWidget(copyTagsBox_);
    controls->addWidget(verifyBox_);
    // In the order of the preference's values.
    loudness_->setObjectName("loudness");
    loudness_->addItems({"Copy From Source", "Measure Each Track", "Measure Tracks And Albums"});
    auto* loudnessRow = new QHBoxLayout;
    loudnessRow->addWidget(new QLabel("Loudness Tags", this));
    loudnessRow->addWidget(loudness_);
    loudnessRow->addWidget(truePeakBox_);
    loudnessRow->addStretch();
    controls->addLayout(loudnessRow);
    // Brings every output to one loudness, for players that ignore the tags.
    applyGainBox_->setObjectName("applyGain");
    gainTarget_->setObjectName("gainTarget");
    gainTarget_->setRange(-70, -1);
    gainTarget_->setSuffix(" LUFS");
    connect(applyGainBox_, &QCheckBox::toggled, gainTarget_, &QWidget::setEnabled);
    auto* gainRow = new QHBoxLayout;
    gainRow->addWidget(applyGainBox_);
    gainRow->addWidget(gainTarget_);
    gainRow->addStretch();
    controls->addLayout(gainRow);
    controls->addLayout(filesRow);
    controls->addWidget(MakeGroup("Library", library, this));
    SetControls(controls);
}

void CGeneralSettingsDlg::ShowBlock() {
    folderMode_.Show(block_->outputFolderMode);
    existingFile_.Show(block_->existingFileAction);
    afterOperation_.Show(block_->afterOperation);
    copyTagsBox_->setChecked(preferences_->Get(kCopyTags) != 0);
    verifyBox_->setChecked(preferences_->Get(kVerify) != 0);
    loudness_->setCurrentIndex(preferences_->Get(kLoudness));
    truePeakBox_->setChecked(preferences_->Get(kTruePeak) != 0);
    const int gain = preferences_->Get(kApplyGainLufs);
    applyGainBox_->setChecked(gain != 0);
    gainTarget_->setEnabled(gain != 0);
    // Off, the field offers ReplayGain's reference loudness.
    gainTarget_->setValue(gain != 0 ? gain : kOfferedGainTarget);
    filesAtOnce_->setValue(preferences_->Get(kFilesAtOnce));
    treeRootField_->setText(QString::fromStdString(preferences_->GetText(kKeepTreeRoot)));
    namePatternField_->setText(QString::fromStdString(preferences_->GetText(kNamePattern)));
    updateBox_->setChecked(preferences_->Get(kUpdate) != 0);
    deleteOrphansBox_->setChecked(preferences_->Get(kDeleteOrphans) != 0);
    folderImagesBox_->setChecked(preferences_->Get(kCopyFolderImages) != 0);
    for (auto [rule, key] : {std::pair{losslessRule_, kLosslessRule}, std::pair{lossyRule_, kLossyRule}}) {
        // A rule this version does not offer shows as the chosen target, and stays unless changed.
        const int at = rule->findData(QString::fromStdString(preferences_->GetText(key)));
        rule->setCurrentIndex(std::max(at, 0));
    }
    folderText_.assign(block_->outputFolder, strnlen(block_->outputFolder, kOutputFolderSize));
    folderField_->setText(QFile::decodeName(folderText_.c_str()));
    UpdateNamePreview();
    // Not the folder field: its focus rule would replace the stored choice
    // the moment the window opens.
    besideSource_->setFocus();
}

void CGeneralSettingsDlg::StoreBlock() {
    folderMode_.Store(block_->outputFolderMode);
    existingFile_.Store(block_->existingFileAction);
    afterOperation_.Store(block_->afterOperation);
    preferences_->Set(kCopyTags, copyTagsBox_->isChecked() ? "1" : "0");
    preferences_->Set(kVerify, verifyBox_->isChecked() ? "1" : "0");
    preferences_->Set(kLoudness, std::to_string(loudness_->currentIndex()));
    preferences_->Set(kTruePeak, truePeakBox_->isChecked() ? "1" : "0");
    preferences_->Set(kApplyGainLufs, applyGainBox_->isChecked() ? std::to_string(gainTarget_->value()) : "0");
    preferences_->Set(kFilesAtOnce, std::to_string(filesAtOnce_->value()));
    preferences_->Set(kKeepTreeRoot, treeRootField_->text().trimmed().toStdString());
    preferences_->Set(kNamePattern, namePatternField_->text().trimmed().toStdString());
    preferences_->Set(kUpdate, updateBox_->isChecked() ? "1" : "0");
    preferences_->Set(kDeleteOrphans, deleteOrphansBox_->isChecked() ? "1" : "0");
    preferences_->Set(kCopyFolderImages, folderImagesBox_->isChecked() ? "1" : "0");
    for (auto [rule, key] : {std::pair{losslessRule_, kLosslessRule}, std::pair{lossyRule_, kLossyRule}})
        preferences_->Set(key, rule->currentData().toString().toStdString());
    // A folder that does not fit the field (only from a damaged file) keeps
    // the stored one.
    SetOutputFolder(*block_, folderText_);
}

void CGeneralSettingsDlg::ChooseInFolder() { inFolder_->setChecked(true); }

void CGeneralSettingsDlg::UpdateNamePreview() {
    if (!previewer_) return;
    // The choices as shown, the way StoreBlock would keep them.
    NameChoices choices{.general = *block_,
                        .treeRoot = treeRootField_->text().trimmed().toStdString(),
                        .pattern = namePatternField_->text().trimmed().toStdString()};
    folderMode_.Store(choices.general.outputFolderMode);
    existingFile_.Store(choices.general.existingFileAction);
    SetOutputFolder(choices.general, folderText_);
    const NamePreview preview = previewer_(choices);

    namePreview_->clear();
    const QBrush dimmed = palette().brush(QPalette::Disabled, QPalette::Text);
    for (const NamePreview::Row& row : preview.rows) {
        auto* item = new QTreeWidgetItem(namePreview_);
        const QString source = QFile::decodeName(row.source.c_str());
        item->setText(0, QFileInfo(source).fileName());
        item->setToolTip(0, source);
        item->setText(1, QFile::decodeName((row.output.empty() ? row.note : row.output).c_str()));
        item->setToolTip(1, QFile::decodeName((row.folder + row.output).c_str()));
        if (row.output.empty()) item->setForeground(1, dimmed);
    }
    namePreview_->resizeColumnToContents(0);

    QString note;
    if (!preview.problem.empty())
        note = "These settings cannot name the files: " + QString::fromStdString(preview.problem);
    else if (preview.listed == 0)
        note = "The list is empty: add files to see the names they would get.";
    else if (preview.listed > preview.rows.size())
        note = QString("The first %1 of %2 files; the others are named when the batch starts.")
                   .arg(preview.rows.size())
                   .arg(preview.listed);
    namePreviewNote_->setText(note);
    // A problem is what the user has to act on, so it stands out.
    QPalette palette = namePreviewNote_->palette();
    palette.setColor(QPalette::WindowText,
                     preview.problem.empty() ? this->palette().color(QPalette::WindowText) : FailureColour(palette));
    namePreviewNote_->setPalette(palette);
}

bool CGeneralSettingsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == folderField_ && event->type() == QEvent::FocusIn) {
        // Only the user entering the field chooses "In Folder", not the
        // focus coming back with the window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            ChooseInFolder();
    }
    return CSettingsWindow::eventFilter(watched, event);
}

void CGeneralSettingsDlg::Browse() {
    // Browsing means "In Folder" even if the browser is then cancelled.
    ChooseInFolder();
    const auto chosen = BrowseForFolder(this, folderText_);
    if (!chosen) return;
    std::string folder = *chosen;
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (folder.size() < kOutputFolderSize) folderText_ = folder;
    folderField_->setText(QFile::decodeName(folderText_.c_str()));
}

}  // namespace zelph

namespace zelph {

void CGeneralSettingsDlg::BrowseTreeRoot() {
    const auto chosen = BrowseForFolder(this, treeRootField_->text().toStdString());
    if (chosen) treeRootField_->setText(QString::fromStdString(*chosen));
}

}  // namespace zelph
