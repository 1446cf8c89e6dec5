#include "ui/fecfiledialog.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace zelph {

CFECFileDialog::CFECFileDialog(const QString& title, const QString& filter, QWidget* parent)
    : title_(title), filters_(QtFilters(filter)), firstPatterns_(FirstFilterPatterns(filter)), parent_(parent) {}

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

QStringList FirstFilterPatterns(const QString& filter) {
    return filter.section('|', 1, 1).split(';', Qt::SkipEmptyParts);
}

namespace {

enum DetailColumn { kSizeDetail = 1, kTypeDetail = 2 };

// Qt's own dialog opens its detail view with the Size and Type columns too
// narrow for "123.45 MiB" or a long file type; a desktop's own dialog
// (no tree view inside) sizes its columns itself.
void WidenDetailColumns(QFileDialog& dialog, const QStringList& patterns) {
    auto* view = dialog.findChild<QTreeView*>("treeView");
    if (!view) return;
    const QFontMetrics metrics(view->font());
    int typeWidth = metrics.horizontalAdvance("Type");
    const QMimeDatabase mimes;
    for (const QString& pattern : patterns) {
        const QString example = "x" + pattern.mid(1);
        typeWidth = std::max(typeWidth, metrics.horizontalAdvance(
                                            mimes.mimeTypeForFile(example, QMimeDatabase::MatchExtension).comment()));
    }
    const int padding = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view) +
                        metrics.horizontalAdvance("MM");
    view->header()->resizeSection(kSizeDetail, metrics.horizontalAdvance("1023.99 MiB") + padding);
    view->header()->resizeSection(kTypeDetail, typeWidth + padding);
}

}  // namespace

int CFECFileDialog::DoModal() {
    QFileDialog dialog(parent_, title_);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    // Shows each filter by its own name; the patterns Qt reads stay hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters_);
    WidenDetailColumns(dialog, firstPatterns_);
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
