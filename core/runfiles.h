#pragma once
// The files a run writes before an output is complete: the temporary WAV of
// a file's chain and the output itself until it is placed under its final
// name. Each is created exclusively (no two files, runs or programs ever
// share one), named "Temp-QOR-File~HOST~PID~N" plus the output's extension,
// and holds an advisory lock (an OFD lock) for as long as its run needs it. A
// later run removes only the run files whose lock it can take: a live run
// keeps its files whatever its process ID looks like from here (another PID
// namespace, a container).

#include <string>

namespace zelph {

// An open descriptor of a run file holding its exclusive lock; the lock goes
// when the object does.
class RunFileLock {
public:
    RunFileLock() = default;
    explicit RunFileLock(int fd) : fd_(fd) {}
    ~RunFileLock();
    RunFileLock(RunFileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    RunFileLock& operator=(RunFileLock&& other) noexcept;

    // Engines may put a new file under the run file's name (a rename over
    // it); the lock then moves to the file now at `path`. False when nothing
    // is there.
    bool Follow(const std::string& path);

private:
    int fd_ = -1;
};

struct RunFile {
    std::string path;    // "" when none could be made
    std::string reason;  // why not
    RunFileLock lock;
};

// Creates a new empty, locked file of this process in `folder` (ending with "/").
RunFile CreateRunFile(const std::string& folder, const std::string& extension);

// Removes the run files in `folder` that no live run holds, and only those
// this user owns.
void RemoveStaleRunFiles(const std::string& folder);

}  // namespace zelph
