#include "app/converterdlg.h"

#include <sys/stat.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QRadioButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "app/aboutdlg.h"
#include "app/namepreview.h"
#include "core/cuesheet.h"
#include "core/sources.h"
#include "core/targets.h"
#include "ui/fecfiledialog.h"
#include "ui/screenfit.h"
#include "ui/xtargetbutton.h"

namespace zelph {

namespace {

enum Column { kSourceColumn, kSizeColumn, kInfoColumn };
// Added after the columns the progress window writes; shown beside Size.
constexpr int kLengthColumn = 6;

// The list's smallest size: today's on a screen with room, less where the
// window has to fit a small screen.
constexpr QSize kFullListMinimum(720, 280);
constexpr QSize kNarrowListMinimum(240, 96);
constexpr int kNarrowMargin = 3;

// What tells a rewritten file from the one that was probed.
std::string Stamp(const struct stat& info) {
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ctim.tv_sec) + "." +
           std::to_string(info.st_ctim.tv_nsec);
}

// Binary megabytes, labelled as such.
QString ClockText(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
}

QString LengthText(const std::optional<int64_t>& milliseconds) {
    return milliseconds ? ClockText(*milliseconds) : QStringLiteral("---");
}

QString SizeText(off_t bytes) {
    return QString::asprintf("%.2f MiB", static_cast<double>(bytes) / 1048576.0);
}

}  // namespace

CConverterDlg::CConverterDlg(QWidget* parent, EngineTable engines, const QString& startupFolder)
    // A main window rather than a dialog to the window manager, which may
    // otherwise refuse to maximise it.
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      settings_(SettingsStore::PathIn(startupFolder.toStdString())),
      preferences_(Preferences::PathIn(startupFolder.toStdString())),
      openedPreferences_(preferences_),
      progress_(this, std::move(engines)),
      fileList_(new QTreeWidget(this)),
      batchSummary_(new QLabel(this)),
      totalBar_(new QProgressBar(this)),
      batchTimes_(new QLabel(this)),
      engineTuningButton_(new CTargetButton("Engine Tuning", this)),
      restoreDefaultsButton_(new CTargetButton("Restore Defaults", this)),
      convertButton_(new CTargetButton("Convert", this)),
      // The reader's thread hands each length to this window's own.
      lengths_([this](const LengthReader::Request& request, std::optional<int64_t> length) {
          QMetaObject::invokeMethod(
              this, [this, request, length] { LengthArrived(request, length); }, Qt::QueuedConnection);
      }) {
    setWindowTitle(kMainWindowTitle);
    setWindowIcon(QIcon(":/icons/program.svg"));

    convertButton_->SetButtonIcons(":/icons/convert.svg", CTargetButton::kIconLeft);
    engineTuningButton_->SetButtonIcons(":/icons/tuning.svg", CTargetButton::kIconLeft);
    restoreDefaultsButton_->SetButtonIcons(":/icons/restore.svg", CTargetButton::kIconLeft);
    connect(convertButton_, &QPushButton::clicked, this, &CConverterDlg::Convert);
    connect(engineTuningButton_, &QPushButton::clicked, this, &CConverterDlg::OpenEngineTuning);
    connect(restoreDefaultsButton_, &QPushButton::clicked, this, &CConverterDlg::ConfirmRestoreDefaults);

    fileList_->setColumnCount(7);
    fileList_->setHeaderLabels({"Source File", "Size", "File Information", "Status", "Reason", "Progress", "Length"});
    fileList_->header()->moveSection(kLengthColumn, kInfoColumn);
    fileList_->setRootIsDecorated(false);
    fileList_->setTextElideMode(Qt::ElideMiddle);
    fileList_->setUniformRowHeights(true);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setSortingEnabled(false);
    fileList_->header()->setSectionsClickable(false);
    fileList_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileList_->setAcceptDrops(true);
    fileList_->viewport()->setAcceptDrops(true);
    fileList_->installEventFilter(this);
    fileList_->viewport()->installEventFilter(this);
    connect(fileList_->verticalScrollBar(), &QScrollBar::valueChanged, this, &CConverterDlg::PreferVisibleLengths);

    auto* layout = new QVBoxLayout(this);
    BuildMenus(layout);
    // The list takes whatever room the window gains.
    layout->addWidget(fileList_, 1);
    batchSummary_->setObjectName("batchSummary");
    batchSummary_->hide();
    connect(batchSummary_, &QLabel::linkActivated, this, &CConverterDlg::ShowBatchLog);
    layout->addWidget(batchSummary_);
    // The batch's own line: its bar and times, under the list it runs.
    auto* batchRow = new QHBoxLayout;
    batchRow->addWidget(totalBar_, 1);
    batchRow->addWidget(batchTimes_);
    layout->addLayout(batchRow);
    totalBar_->setRange(0, 100);
    totalBar_->hide();
    batchTimes_->hide();
    connect(&progress_, &CConvertProgressDlg::batchProgress, this, &CConverterDlg::ShowBatchProgress);
    layout->addWidget(BuildTargetRow());
    Arrange(false);
    fileList_->setMinimumSize(kFullListMinimum);
    layout->activate();
    fullSize_ = layout->totalSizeHint();
    FitTo(AvailableScreenSize(this));
    ResizeColumns();

    settings_.LoadSettings(true);
    preferences_.Load();
    BuildColumnMenu();
    openedRecord_ = settings_.record;
    openedPreferences_ = preferences_;
    // The size the window had when it was last closed, as far as it fits.
    const QSize remembered(preferences_.Get(kWindowWidth), preferences_.Get(kWindowHeight));
    if (!remembered.isEmpty()) SetWindowSize(remembered);
    progress_.SetSettings(&settings_.record);
    progress_.SetPreferences(&preferences_);
    progress_.SetFileList(fileList_);
    CheckTargetRadio(settings_.record.targetFormat);
}

void CConverterDlg::BuildMenus(QVBoxLayout* layout) {
    auto* menuBar = new QMenuBar(this);
    auto* addFile = new QAction(QIcon(":/icons/addfiles.svg"), "Add File", this);
    auto* addFolder = new QAction(QIcon::fromTheme("folder-open", QIcon(":/icons/addfiles.svg")), "Add Folder", this);
    auto* removeFile = new QAction(QIcon(":/icons/removefiles.svg"), "Remove File", this);
    auto* clearList = new QAction(QIcon(":/icons/clearlist.svg"), "Clear List", this);
    auto* about = new QAction(QIcon(":/icons/about.svg"), "About", this);
    auto* quit = new QAction("Quit", this);
    addFile->setShortcut(QKeySequence("Ctrl+O"));
    addFolder->setShortcut(QKeySequence("Ctrl+Shift+O"));
    quit->setShortcut(QKeySequence("Ctrl+Q"));
    addFile->setToolTip("Add File(s)");
    removeFile->setToolTip("Remove File(s)");
    addFolder->setToolTip("Add the music files of a folder");
    connect(addFile, &QAction::triggered, this, &CConverterDlg::AddFiles);
    connect(addFolder, &QAction::triggered, this, &CConverterDlg::AddFolder);
    connect(removeFile, &QAction::triggered, this, &CConverterDlg::RemoveFiles);
    connect(clearList, &QAction::triggered, this, &CConverterDlg::ClearFiles);
    connect(about, &QAction::triggered, this, &CConverterDlg::ShowAbout);
    // Quitting is the close request: the settings are saved.
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* file = menuBar->addMenu("&File");
    file->addActions({addFile, addFolder, removeFile, clearList});
    file->addSeparator();
    file->addAction(quit);
    menuBar->addMenu("&Settings")
        ->addAction("General Settings", this, &CConverterDlg::OpenGeneralSettings);
    menuBar->addMenu("&Help")->addAction(about);

    // The logo opens the About box, from the left end of the menu bar.
    auto* logo = new QToolButton(menuBar);
    logo->setObjectName("logo");
    logo->setIcon(QIcon(":/icons/logo.svg"));
    logo->setIconSize(QSize(40, 36));
    logo->setAutoRaise(true);
    logo->setStyleSheet("QToolButton { border: none; padding: 0; }");
    logo->setCursor(Qt::PointingHandCursor);
    connect(logo, &QToolButton::clicked, this, &CConverterDlg::ShowAbout);
    menuBar->setCornerWidget(logo, Qt::TopLeftCorner);
    layout->setMenuBar(menuBar);

    // The desktop's tool bar icon size, each button named beside its icon.
    auto* toolBar = new QToolBar(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, toolBar);
    toolBar->setIconSize(QSize(iconSize, iconSize));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addActions({addFile, addFolder, removeFile, clearList, about});
    layout->addWidget(toolBar);
}

QWidget* CConverterDlg::BuildTargetRow() {
    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);

    auto* convertTo = new QGroupBox("Convert To", row);
    auto* radioLayout = new QGridLayout(convertTo);
    auto* group = new QButtonGroup(convertTo);
    // Two rows of radios, whether the commands are beside or below them.
    const int columns = (static_cast<int>(Targets().size()) + 1) / 2;
    for (const TargetRow& target : Targets()) {
        auto* radio = new QRadioButton(target.radioText, convertTo);
        const int place = static_cast<int>(radios_.size());
        radioLayout->addWidget(radio, place / columns, place % columns);
        radios_.push_back(radio);
        group->addButton(radio);
    }
    rowLayout->addWidget(convertTo);

    auto* actions = new QWidget(row);
    auto* actionLayout = new QHBoxLayout(actions);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    auto* commands = new QGroupBox(actions);
    auto* commandLayout = new QHBoxLayout(commands);
    commandLayout->addWidget(engineTuningButton_);
    commandLayout->addWidget(restoreDefaultsButton_);
    actionLayout->addWidget(commands);
    actionLayout->addStretch();
    actionLayout->addWidget(convertButton_, 0, Qt::AlignVCenter);
    rowLayout->addWidget(actions, 1);
    targetRowLayout_ = rowLayout;
    return row;
}

QRadioButton* CConverterDlg::targetRadio(int32_t targetFormat) const {
    for (std::size_t i = 0; i < radios_.size(); ++i)
        if (Targets()[i].format == targetFormat) return radios_[i];
    return nullptr;
}

void CConverterDlg::Arrange(bool narrow) {
    targetRowLayout_->setDirection(narrow ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    // The enclosing layout keeps the size it saw last until told.
    targetRowLayout_->parentWidget()->updateGeometry();
}

void CConverterDlg::FitTo(const QSize& available) {
    const QSize room = RoomOn(available);
    room_ = room;
    const bool narrow = fullSize_.width() > room.width() || fullSize_.height() > room.height();
    Arrange(narrow);
    fileList_->setMinimumSize(narrow ? kNarrowListMinimum : kFullListMinimum);
    // Thin margins leave the list a few more pixels on the smallest screens.
    const int margin = narrow ? kNarrowMargin : style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    layout()->setContentsMargins(margin, margin, margin, margin);
    layout()->activate();
    setMinimumSize(narrow ? layout()->totalMinimumSize() : fullSize_);
    resize(narrow ? fullSize_.boundedTo(room).expandedTo(minimumSize()) : fullSize_);
}

int32_t CConverterDlg::CheckedTarget() const {
    for (std::size_t i = 0; i < radios_.size(); ++i)
        if (radios_[i]->isChecked()) return Targets()[i].format;
    return 0;
}

void CConverterDlg::CheckTargetRadio(int32_t targetFormat) {
    // The group keeps one radio checked; it lets go while none is to be.
    QButtonGroup* group = radios_[0]->group();
    group->setExclusive(false);
    for (QRadioButton* radio : radios_) radio->setChecked(false);
    group->setExclusive(true);
    if (QRadioButton* radio = targetRadio(targetFormat)) radio->setChecked(true);
}

void CConverterDlg::SaveSettings() {
    if (const int32_t target = CheckedTarget()) settings_.record.targetFormat = target;
    preferences_.Set(kWindowWidth, std::to_string(WindowSize().width()));
    preferences_.Set(kWindowHeight, std::to_string(WindowSize().height()));
    // A choice that silently fails to stick is worse than a message.
    QStringList reasons;
    for (const std::string& reason : {settings_.SaveSettings(), preferences_.Save()})
        if (!reason.empty()) reasons << QString::fromStdString(reason);
    if (!reasons.isEmpty())
        QMessageBox::warning(this, "Zelph Audio Converter",
                             "The settings could not be saved:\n\n" + reasons.join('\n'));
}

bool CConverterDlg::SettingsChanged() const {
    ConverterSettings current = settings_.record;
    if (const int32_t target = CheckedTarget()) current.targetFormat = target;
    return std::memcmp(&current, &openedRecord_, sizeof current) != 0 || preferences_ != openedPreferences_;
}

bool CConverterDlg::MayDiscardSettings() {
    if (!SettingsChanged()) return true;
    const auto answer = QMessageBox::question(
        this, "Zelph Audio Converter",
        "Settings were changed since the window opened. Closing with Escape discards them.",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    // Saving is what the close box does; its close request ends the window.
    if (answer == QMessageBox::Save) close();
    return answer == QMessageBox::Discard;
}

void CConverterDlg::closeEvent(QCloseEvent* event) {
    SaveSettings();
    QDialog::closeEvent(event);
}

void CConverterDlg::keyPressEvent(QKeyEvent* event) {
    // Enter on a command button presses it; anywhere else it does nothing,
    // so a stray Enter never closes the window and loses the list.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && !MayDiscardSettings()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CConverterDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fileList_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveFiles();
        return true;
    }
    if (watched != fileList_->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!drag->mimeData()->hasUrls()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList paths;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile()) paths << url.toLocalFile();
            drop->acceptProposedAction();
            AddFilesAndFolders(paths);
            return true;
        }
        default:
            return false;
    }
}

void CConverterDlg::AddFilesAndFolders(const QStringList& paths) {
    std::vector<std::string> given;
    for (const QString& path : paths) given.push_back(path.toStdString());
    const SourceList sources = ExpandSources(given);
    QStringList files;
    for (const std::string& file : sources.files) files << QString::fromStdString(file);
    AddPaths(files);
    if (sources.problems.empty()) return;
    // What was left out, without holding up the list.
    QString text = "Some files or folders were not added:";
    for (const WalkProblem& problem : sources.problems)
        text += "\n" + QString::fromStdString(problem.path + ": " + problem.reason);
    auto* box = new QMessageBox(QMessageBox::Warning, "Zelph Audio Converter", text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CConverterDlg::AddFiles() {
    CFECFileDialog dialog("File(s) To Load", QString::fromStdString(MusicFileFilter()), this);
    QStringList chosen;
    if (dialog.DoModal() == CFECFileDialog::kOk) {
        for (auto position = dialog.GetStartPosition(); position != CFECFileDialog::kEnd;)
            chosen << dialog.GetNextPathName(position);
    }
    // A cancel rebuilds the rows too, which clears the statuses of a run. A
    // sheet chosen stands for its tracks.
    AddFilesAndFolders(chosen);
}

void CConverterDlg::AddFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, "Folder To Load");
    if (!folder.isEmpty()) AddFilesAndFolders({folder});
}

void CConverterDlg::AddPaths(const QStringList& paths) {
    if (!paths.isEmpty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::unordered_set<std::string> listed(filePaths_.begin(), filePaths_.end());
        for (const QString& path : paths) {
            std::string name = path.toStdString();
            if (listed.insert(name).second) filePaths_.push_back(std::move(name));
        }
        QApplication::restoreOverrideCursor();
    }
    RefreshFileList();
}

void CConverterDlg::RemoveFiles() {
    std::vector<std::string> kept;
    for (int row = 0; row < fileList_->topLevelItemCount(); ++row)
        if (!fileList_->topLevelItem(row)->isSelected()) kept.push_back(filePaths_[row]);
    filePaths_ = std::move(kept);
    RefreshFileList();
}

void CConverterDlg::ClearFiles() {
    filePaths_.clear();
    rowOf_.clear();
    lengths_.Read({});
    fileList_->clear();
    ResizeColumns();
}

void CConverterDlg::ResizeColumns() {
    for (int column = 0; column < fileList_->columnCount(); ++column)
        fileList_->resizeColumnToContents(column);
}

const CConverterDlg::CachedDescription& CConverterDlg::Describe(const std::string& path, const std::string& stamp) {
    CachedDescription& cached = descriptions_[path];
    if (cached.stamp != stamp || stamp.empty()) {
        AudioDescription description = DescribeAudioFile(path);
        // Only audio has a length to wait for.
        const bool lengthKnown = !description.known;
        cached = {stamp, std::move(description), lengthKnown, std::nullopt};
    }
    return cached;
}

void CConverterDlg::LengthArrived(const LengthReader::Request& request, std::optional<int64_t> length) {
    const auto cached = descriptions_.find(request.path);
    if (cached == descriptions_.end() || cached->second.stamp != request.stamp) return;  // changed since
    cached->second.lengthKnown = true;
    cached->second.length = length;
    if (const auto row = rowOf_.find(request.path); row != rowOf_.end())
        fileList_->topLevelItem(row->second)->setText(kLengthColumn, LengthText(length));
}

void CConverterDlg::PreferVisibleLengths() {
    const int count = fileList_->topLevelItemCount();
    if (count == 0) return;
    const QModelIndex top = fileList_->indexAt(QPoint(0, 0));
    const QModelIndex bottom = fileList_->indexAt(QPoint(0, fileList_->viewport()->height() - 1));
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() : count - 1;
    std::vector<LengthReader::Request> visible;
    for (int row = first; row <= last && row < count && row < static_cast<int>(filePaths_.size()); ++row) {
        const CachedDescription& cached = descriptions_[filePaths_[row]];
        if (!cached.lengthKnown) visible.push_back({filePaths_[row], cached.stamp});
    }
    lengths_.Prefer(std::move(visible));
}

// Icons of one kind of file look alike, so the provider is asked once per
// extension.
QIcon CConverterDlg::FileIcon(const QString& path) {
    const QFileInfo info(path);
    const QString kind = info.isDir() ? QStringLiteral("/") : info.suffix().toLower();
    auto found = iconsByKind_.find(kind);
    if (found == iconsByKind_.end()) found = iconsByKind_.emplace(kind, iconProvider_.icon(info)).first;
    return found->second;
}

void CConverterDlg::RefreshFileList() {
    fileList_->clear();
    rowOf_.clear();
    const QBrush dimmed = palette().brush(QPalette::Disabled, QPalette::Text);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(filePaths_.size()));
    std::vector<LengthReader::Request> lengths;
    for (const std::string& path : filePaths_) {
        rowOf_.emplace(path, static_cast<int>(rows.size()));
        auto* row = new QTreeWidgetItem;
        const QString name = QString::fromStdString(path);
        // The name, shortened in the middle when the column is narrow; the
        // whole path is its tip.
        row->setText(kSourceColumn, QString::fromStdString(ListedName(path)));
        row->setToolTip(kSourceColumn, name);
        // A track of a CD image is shown by its image's icon and size.
        const std::string file = ListedFile(path);
        QIcon icon = FileIcon(QString::fromStdString(file));

        struct stat info;
        const bool found = ::stat(file.c_str(), &info) == 0;
        row->setText(kSizeColumn, found ? SizeText(info.st_size) : QStringLiteral("---"));
        const CachedDescription& described = Describe(path, found ? Stamp(info) : std::string());
        const AudioDescription& description = described.description;
        // A length still being read shows as a blank until it arrives.
        row->setText(kLengthColumn, described.lengthKnown ? LengthText(described.length) : QString());
        if (!described.lengthKnown) lengths.push_back({path, described.stamp});
        row->setText(kInfoColumn, QString::fromStdString(description.text));
        row->setText(kStatusColumn, description.known ? "Scheduled" : "Unscheduled");

        // Hidden files are listed dimmed, as the desktop shows them.
        if (QFileInfo(name).fileName().startsWith('.')) {
            icon = QIcon(icon.pixmap(16, 16, QIcon::Disabled));
            for (int column = 0; column < fileList_->columnCount(); ++column) row->setForeground(column, dimmed);
        }
        row->setIcon(kSourceColumn, icon);
        rows << row;
    }
    fileList_->addTopLevelItems(rows);
    ResizeColumns();
    lengths_.Read(std::move(lengths));
    if (!rows.isEmpty()) fileList_->scrollToItem(rows.back());
    PreferVisibleLengths();
}

void CConverterDlg::OpenEngineTuning() {
    const int32_t target = CheckedTarget();
    if (target && engineTuningOpener_)
        engineTuningOpener_(target, settings_.record, this);
}

NamePreviewer CConverterDlg::NamePreviews() {
    return [this](const NameChoices& choices) {
        const int32_t target = CheckedTarget() ? CheckedTarget() : settings_.record.targetFormat;
        return PreviewOutputNames(settings_.record, preferences_, target, filePaths_, choices);
    };
}

void CConverterDlg::OpenGeneralSettings() {
    if (generalSettingsOpener_) generalSettingsOpener_(settings_.record.general, preferences_, this);
}

void CConverterDlg::ConfirmRestoreDefaults() {
    QMessageBox ask(QMessageBox::Question, "Restore Defaults",
                    "Return every setting to its default? The file list is kept.", QMessageBox::Cancel, this);
    QPushButton* restore = ask.addButton("Restore Defaults", QMessageBox::AcceptRole);
    ask.setDefaultButton(qobject_cast<QPushButton*>(ask.button(QMessageBox::Cancel)));
    ask.exec();
    if (ask.clickedButton() == restore) RestoreDefaults();
}

// The record and every choice kept beside it, the window's size included.
void CConverterDlg::RestoreDefaults() {
    std::string problem = settings_.LoadSettings(false);
    preferences_.ResetKnownKeys();
    if (const std::string saved = preferences_.Save(); !saved.empty() && problem.empty())
        problem = "cannot write " + saved;
    CheckTargetRadio(settings_.record.targetFormat);
    FitTo(AvailableScreenSize(this));
    if (!problem.empty())
        QMessageBox::warning(this, "Zelph Audio Converter",
                             QString::fromStdString("The defaults could not be kept: " + problem));
}

void CConverterDlg::Convert() {
    const int32_t target = CheckedTarget();
    if (!target) return;
    progress_.PlanJobs(target, filePaths_);
    // The list stays in sight, each row with its own progress.
    batchSummary_->hide();
    // The batch's pace against real time needs every length; while some
    // are still being read it is not shown.
    batchAudio_ = 0;
    for (const std::string& path : filePaths_) {
        const auto found = descriptions_.find(path);
        if (found == descriptions_.end() || !found->second.lengthKnown) {
            batchAudio_ = 0;
            break;
        }
        batchAudio_ += found->second.length.value_or(0);
    }
    batchClock_.start();
    ShowBatchProgress(0);
    totalBar_->show();
    batchTimes_->show();
    progress_.exec();
    totalBar_->hide();
    batchTimes_->hide();
    ShowBatchResult();
    ResizeColumns();
}

void CConverterDlg::ShowBatchProgress(int percent) {
    totalBar_->setValue(percent);
    const qint64 elapsed = batchClock_.elapsed();
    QString text = "Elapsed " + ClockText(elapsed);
    // Remaining time is the pace so far carried to the end.
    if (percent > 0 && percent < 100) text += ", remaining " + ClockText(elapsed * (100 - percent) / percent);
    // The audio behind the bar against the time it took.
    if (percent > 0 && elapsed > 0 && batchAudio_ > 0)
        text += QString::asprintf(", %.1f\u00d7 real time", batchAudio_ * percent / 100.0 / elapsed);
    batchTimes_->setText(text);
}

QString CConverterDlg::BatchLogPath() const {
    return QFileInfo(QString::fromStdString(preferences_.path())).dir().filePath(kBatchLogFileName);
}

void CConverterDlg::ShowBatchResult() {
    const BatchLog& log = progress_.log();
    if (log.Text().isEmpty()) return;  // nothing ran
    QString summary = log.Summary();
    if (!log.WriteTo(BatchLogPath())) summary += " (the log file could not be written)";
    batchSummary_->setText(summary.toHtmlEscaped() + " \u2014 <a href=\"log\">Show details</a>");
    batchSummary_->show();
    // A failure's reason is not left to a tool tip.
    // A failure's reason is not left to a tool tip; the user's own choice
    // of columns is kept only when made in the header's menu.
    if (log.Count(kRowError)) reasonColumnAction_->setChecked(true);
}

void CConverterDlg::BuildColumnMenu() {
    reasonColumnAction_ = new QAction("Reason", fileList_->header());
    reasonColumnAction_->setCheckable(true);
    connect(reasonColumnAction_, &QAction::toggled, this,
            [this](bool shown) { fileList_->setColumnHidden(kReasonColumn, !shown); });
    connect(reasonColumnAction_, &QAction::triggered, this,
            [this](bool shown) { preferences_.Set(kShowReasonColumn, shown ? "1" : "0"); });
    const bool shown = preferences_.Get(kShowReasonColumn) != 0;
    reasonColumnAction_->setChecked(shown);
    fileList_->setColumnHidden(kReasonColumn, !shown);
    fileList_->header()->addAction(reasonColumnAction_);
    fileList_->header()->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CConverterDlg::ShowBatchLog() {
    QDialog window(this);
    window.setObjectName("batchLog");
    window.setWindowTitle("Batch Log");
    auto* text = new QPlainTextEdit(progress_.log().Text(), &window);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* path = new QLabel("Kept in " + BatchLogPath().toHtmlEscaped(), &window);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window);
    connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(text);
    layout->addWidget(path);
    layout->addWidget(buttons);
    window.resize(QSize(640, 320).boundedTo(RoomOn(AvailableScreenSize(this))));
    window.exec();
}

void CConverterDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

}  // namespace zelph
