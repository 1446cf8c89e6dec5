#include "app/batchlog.h"

#include <QSaveFile>

#include "core/runner.h"

namespace zelph {

void BatchLog::Start(std::vector<std::string> files) {
    files_ = std::move(files);
    entries_.clear();
    removed_.clear();
    notices_.clear();
}

void BatchLog::Removed(const std::string& output) { removed_.push_back(output); }

void BatchLog::Notice(const std::string& text) { notices_ << QString::fromStdString(text); }

void BatchLog::Outcome(uint32_t row, const std::string& text, const std::string& reason) {
    Entry& entry = entries_[row];
    entry.outcome = text;
    entry.reason = reason;
}

void BatchLog::Note(uint32_t row, const QString& note) { entries_[row].notes << note; }

void BatchLog::ClearNotes(uint32_t row) { entries_[row].notes.clear(); }

int BatchLog::Count(const char* outcome) const {
    int count = 0;
    for (const auto& [row, entry] : entries_) count += entry.outcome == outcome;
    return count;
}

QStringList BatchLog::Details(uint32_t row) const {
    const auto found = entries_.find(row);
    if (found == entries_.end()) return {};
    QStringList lines = found->second.notes;
    if (!found->second.reason.empty()) lines.prepend(QString::fromStdString(found->second.reason));
    return lines;
}

QString BatchLog::Summary() const {
    QString text = QString::number(Count(kRowDone)) + " done";
    if (const int upToDate = Count(kRowSkipped)) text += ", " + QString::number(upToDate) + " up to date";
    if (!removed_.empty()) text += ", " + QString::number(removed_.size()) + " removed";
    if (const int failed = Count(kRowError)) text += ", " + QString::number(failed) + " failed";
    if (const int cancelled = Count(kRowCancelled)) text += ", " + QString::number(cancelled) + " cancelled";
    return text;
}

QString BatchLog::Text() const {
    QString text;
    for (const auto& [row, entry] : entries_) {
        if (entry.outcome.empty()) continue;
        text += QString::fromStdString(entry.outcome);
        if (row < files_.size()) text += '\t' + QString::fromStdString(files_[row]);
        if (!entry.reason.empty()) text += '\t' + QString::fromStdString(entry.reason);
        text += '\n';
        for (const QString& note : entry.notes) text += "    " + note + '\n';
    }
    for (const std::string& output : removed_) text += "Removed\t" + QString::fromStdString(output) + '\n';
    for (const QString& notice : notices_) text += notice + '\n';
    return text;
}

bool BatchLog::WriteTo(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(Text().toUtf8());
    return file.commit();
}

}  // namespace zelph
