#include "core/outputledger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/runfiles.h"

namespace zelph {

namespace {

constexpr const char* kHeader = "# zelph outputs 1";
constexpr std::size_t kRecordFields = 11;  // "+" and the record's ten

// Tabs, new lines and backslashes in a path would break a line apart.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    return out;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string RecordLine(const std::string& below, const OutputRecord& r) {
    std::ostringstream line;
    line << "+\t" << Escaped(below) << '\t' << Escaped(r.source) << '\t' << r.sourceSize << '\t'
         << r.sourceModifiedNs << '\t' << r.audioHash << '\t' << r.tagsHash << '\t' << r.settingsHash << '\t'
         << r.outputSize << '\t' << r.outputModifiedNs << '\t' << r.outputInode << '\n';
    return line.str();
}

// Applies one journal line; false for a line that is not a whole record.
bool ApplyLine(const std::string& line, std::map<std::string, OutputRecord>& records) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() == 2 && f[0] == "-") {
        records.erase(Unescaped(f[1]));
        return true;
    }
    if (f.size() != kRecordFields || f[0] != "+") return false;
    OutputRecord r{.source = Unescaped(f[2]), .audioHash = f[5], .tagsHash = f[6], .settingsHash = f[7]};
    if (!ParseNumber(f[3], r.sourceSize) || !ParseNumber(f[4], r.sourceModifiedNs) ||
        !ParseNumber(f[8], r.outputSize) || !ParseNumber(f[9], r.outputModifiedNs) ||
        !ParseNumber(f[10], r.outputInode))
        return false;
    records[Unescaped(f[1])] = std::move(r);
    return true;
}

// The journal of `root` folded into its records; `lines` counts what it held.
std::map<std::string, OutputRecord> ReadJournal(const std::string& root, std::size_t& lines) {
    std::map<std::string, OutputRecord> records;
    lines = 0;
    std::ifstream file(root + kLedgerFileName, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    // Only lines with their end are whole: the last may have been cut short.
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && line[0] != '#' && ApplyLine(line, records)) ++lines;
    }
    return records;
}

// A lock on the root's folder, shared by the runs that append to its journal
// and taken alone by one that writes it anew, so no appended line is lost.
class FolderLock {
public:
    FolderLock(const std::string& folder, int kind) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) ::flock(fd_, kind);
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

std::string AbsoluteOf(const std::string& path, const std::string& workingFolder) {
    if (!workingFolder.empty() && !path.starts_with('/'))
        return (std::filesystem::path(workingFolder) / path).lexically_normal().string();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

bool StampOutput(const std::string& output, OutputRecord& record) {
    // The record keeps what stat says; the output's bytes are not read.
    struct stat info;
    if (::stat(output.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    record.outputSize = info.st_size;
    record.outputModifiedNs = info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec;
    record.outputInode = info.st_ino;
    return true;
}

void OutputLedger::Load(const std::string& folder) {
    std::string root = AbsoluteOf(folder.empty() ? "." : folder);
    if (root.back() != '/') root += '/';
    if (roots_.contains(root)) return;
    Root& loaded = roots_[root];
    loaded.records = ReadJournal(root, loaded.lines);
}

std::optional<std::pair<std::string, std::string>> OutputLedger::Locate(const std::string& absolute) const {
    // The deepest loaded root that holds the path.
    std::optional<std::pair<std::string, std::string>> found;
    for (const auto& [root, unused] : roots_)
        if (absolute.size() > root.size() && absolute.compare(0, root.size(), root) == 0 &&
            (!found || root.size() > found->first.size()))
            found = std::pair{root, absolute.substr(root.size())};
    return found;
}

const OutputRecord* OutputLedger::Find(const std::string& output) const {
    const auto located = Locate(AbsoluteOf(output));
    if (!located) return nullptr;
    const auto& records = roots_.at(located->first).records;
    const auto record = records.find(located->second);
    return record == records.end() ? nullptr : &record->second;
}

bool OutputLedger::Ours(const std::string& output) const {
    const OutputRecord* record = Find(output);
    struct stat info;
    return record && ::stat(output.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_size == record->outputSize && info.st_ino == record->outputInode &&
           info.st_mtim.tv_sec * 1000000000ll + info.st_mtim.tv_nsec == record->outputModifiedNs;
}

std::string OutputLedger::Append(const std::string& root, const std::string& line) {
    FolderLock lock(root, LOCK_SH);
    const std::string path = root + kLedgerFileName;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return "cannot record the output in " + path + ": " + std::strerror(errno);
    struct stat info;
    const bool fresh = ::fstat(fd, &info) == 0 && info.st_size == 0;
    // One write per line: a kill leaves the line whole or cut short, never mixed.
    const bool written = WriteAll(fd, (fresh ? std::string(kHeader) + "\n" : std::string()) + line) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    ++roots_[root].lines;
    return written ? "" : "cannot record the output in " + path + ": " + std::strerror(error);
}

std::string OutputLedger::Record(const std::string& output, OutputRecord record) {
    const auto located = Locate(AbsoluteOf(output));
    if (!located) return "";
    if (!record.source.empty()) record.source = AbsoluteOf(record.source);
    roots_[located->first].records[located->second] = record;
    return Append(located->first, RecordLine(located->second, record));
}

std::string OutputLedger::Forget(const std::string& output) {
    const auto located = Locate(AbsoluteOf(output));
    if (!located || !roots_[located->first].records.erase(located->second)) return "";
    return Append(located->first, "-\t" + Escaped(located->second) + "\n");
}

void OutputLedger::Compact() {
    for (auto& [root, loaded] : roots_) {
        const std::size_t stale = loaded.lines - std::min(loaded.lines, loaded.records.size());
        if (stale <= std::max(loaded.records.size(), kStaleLinesKept)) continue;
        FolderLock lock(root, LOCK_EX);
        // Another run may have added lines since this one read the journal.
        std::size_t lines = 0;
        loaded.records = ReadJournal(root, lines);
        std::string text = std::string(kHeader) + "\n";
        for (const auto& [below, record] : loaded.records) text += RecordLine(below, record);
        RunFile temporary = CreateRunFile(root, "");
        if (temporary.path.empty()) continue;
        const int fd = ::open(temporary.path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        const bool written = fd >= 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (written && ::rename(temporary.path.c_str(), (root + kLedgerFileName).c_str()) == 0)
            loaded.lines = loaded.records.size();
        else
            ::unlink(temporary.path.c_str());
    }
}

std::vector<std::pair<std::string, OutputRecord>> OutputLedger::Records() const {
    std::vector<std::pair<std::string, OutputRecord>> all;
    for (const auto& [root, loaded] : roots_)
        for (const auto& [below, record] : loaded.records) all.emplace_back(root + below, record);
    return all;
}

std::vector<std::string> OutputLedger::roots() const {
    std::vector<std::string> all;
    for (const auto& [root, unused] : roots_) all.push_back(root);
    return all;
}

}  // namespace zelph
