#pragma once
// What happened to each file of the last batch: its outcome, the reason it
// failed and the notes beside it (tag fields its output could not take, a
// source that had to stay). The main window shows it as a summary line and
// a log window, and keeps it as a file.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zelph {

inline constexpr const char* kBatchLogFileName = "last-batch.log";

class BatchLog {
public:
    // A new batch over `files`, by row.
    void Start(std::vector<std::string> files);
    void Outcome(uint32_t row, const std::string& text, const std::string& reason);
    // Notes are told before the outcome (dropped tags) or after it (a kept
    // source); both stay with the row.
    void Note(uint32_t row, const QString& note);
    void ClearNotes(uint32_t row);
    // An output whose source is gone, removed; and what belongs to no row.
    void Removed(const std::string& output);
    void Notice(const std::string& text);

    int Count(const char* outcome) const;
    // The reason and the notes of a row, one per line.
    QStringList Details(uint32_t row) const;
    // "5 done, 1 failed" (up to date, removed and cancelled ones too, when there are any).
    QString Summary() const;
    // One line per file in row order, as zelph-convert prints them
    // ("Error Occured<TAB>path<TAB>reason"), its notes indented below.
    QString Text() const;
    // Writes Text() whole or not at all; false when it could not be written.
    bool WriteTo(const QString& path) const;

private:
    struct Entry {
        std::string outcome, reason;
        QStringList notes;
    };
    std::vector<std::string> files_;
    std::map<uint32_t, Entry> entries_;
    std::vector<std::string> removed_;
    QStringList notices_;
};

}  // namespace zelph
