#pragma once
// The open dialog through which any number of music files is chosen at once.
// Callers walk the result from GetStartPosition() with GetNextPathName().

#include <QString>
#include <QStringList>

class QWidget;

namespace zelph {

class CFECFileDialog {
public:
    enum Result { kOk = 1, kCancel = 2 };
    // A place in the result; kEnd once every path has been read.
    using Position = qsizetype;
    static constexpr Position kEnd = -1;

    // `filter` is in the "Name|patterns|Name|patterns||" form; see QtFilters().
    CFECFileDialog(const QString& title, const QString& filter, QWidget* parent = nullptr);

    // Shows the dialog and waits; kCancel leaves no paths.
    int DoModal();

    Position GetStartPosition() const;
    QString GetNextPathName(Position& position) const;

    // The "Name|patterns|..." filter as Qt's "Name (patterns)" entries, with
    // the same names and patterns. "*.*" means every file, as it always has.
    static QStringList QtFilters(const QString& filter);

private:
    QString title_;
    QStringList filters_;
    QStringList firstPatterns_;  // the Type column is sized for these
    QWidget* parent_;
    QStringList paths_;
};

// The patterns of a "Name|patterns|..." filter's first entry ("*.wav", ...).
QStringList FirstFilterPatterns(const QString& filter);

}  // namespace zelph
