#include "ui/fecfiledialog.h"

#include <QFileDialog>

namespace zelph {

CFECFileDialog::CFECFileDialog(const QString& title, const QString& filter, QWidget* parent)
    : title_(title), filters_(QtFilters(filter)), parent_(parent) {}

QStringList CFECFileDialog::QtFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;  // the "||" that ends the list
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        // On Linux "*.*" would leave out every name without a dot.
        for (QString& pattern : patterns)
            if (pattern == "*.*") pattern = "*";
        // Qt takes the patterns from the last pair of brackets, so a name
        // that carries brackets of its own is kept whole.
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QStringList MusicFilePatterns() {
    return QString(kMusicFileFilter).section('|', 1, 1).split(';', Qt::SkipEmptyParts);
}

int CFECFileDialog::DoModal() {
    QFileDialog dialog(parent_, title_);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    // Shows each filter by its own name; the patterns Qt reads stay hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters_);
    paths_.clear();
    if (dialog.exec() != QDialog::Accepted) return kCancel;
    paths_ = dialog.selectedFiles();
    return kOk;
}

CFECFileDialog::Position CFECFileDialog::GetStartPosition() const {
    return paths_.isEmpty() ? kEnd : 0;
}

QString CFECFileDialog::GetNextPathName(Position& position) const {
    if (position < 0 || position >= paths_.size()) {
        position = kEnd;
        return {};
    }
    QString path = paths_[position++];
    if (position == paths_.size()) position = kEnd;
    return path;
}

}  // namespace zelph
