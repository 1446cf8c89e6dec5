#include "ui/folderbrowser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace zelph {

namespace {

QString SystemFolderDialog(QWidget* owner, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, QString(), startFolder, QFileDialog::ShowDirsOnly);
}

FolderDialog& CurrentDialog() {
    static FolderDialog dialog = SystemFolderDialog;
    return dialog;
}

}  // namespace

FolderDialog SetFolderDialog(FolderDialog dialog) { return std::exchange(CurrentDialog(), std::move(dialog)); }

std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& initialFolder) {
    const QString start = initialFolder.empty() ? QDir::currentPath() : QFile::decodeName(initialFolder.c_str());
    const QString chosen = CurrentDialog()(owner, start);
    if (chosen.isEmpty()) return std::nullopt;
    // The real folder, so that a link that is later moved or removed does not
    // redirect the outputs.
    const QFileInfo folder(chosen);
    if (!folder.isDir()) return std::nullopt;
    const QString path = folder.canonicalFilePath();
    if (path.isEmpty()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

}  // namespace zelph
