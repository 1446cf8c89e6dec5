#pragma once
// What each output this program made was made from, kept in one small file
// at the top of the output tree (".zelph-outputs") rather than in a tag of
// each output: a re-run then learns what is up to date from one read and a
// stat of each source and output, without opening 20,000 outputs; a plain
// copy can be recorded without altering it; and the outputs this program
// made can be told from every other file without trusting what a tag says.
//
// The file is a journal: each output placed adds one line, written whole
// by one append and flushed, so a run killed at any point leaves every
// output it finished recorded and the next run goes on from there. A line
// cut short by a crash is not a record and is passed over. Once replaced
// lines outnumber the records (and a few more), the end of a run folds the
// journal into its records and writes it anew under a temporary name, renamed
// over the old one.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>


namespace zelph {

inline constexpr const char* kLedgerFileName = ".zelph-outputs";

struct OutputRecord {
    std::string source;  // absolute
    int64_t sourceSize = 0;
    int64_t sourceModifiedNs = 0;
    std::string audioHash;     // of the source's audio packets ("" when not known)
    std::string tagsHash;      // of the tags carried to the output ("-": none carried)
    std::string settingsHash;  // of the target and its settings ("copy" for a plain copy)
    // The output as it was placed: only a file that still matches is ours.
    int64_t outputSize = 0;
    int64_t outputModifiedNs = 0;
    uint64_t outputInode = 0;
    bool operator==(const OutputRecord&) const = default;
};

class OutputLedger {
public:
    // Reads the records of the tree under `root` (a folder) once; later
    // calls for the same root do nothing.
    void Load(const std::string& root);
    // The record of the output at `output` (any spelling of a path under a
    // loaded root), or nullptr.
    const OutputRecord* Find(const std::string& output) const;
    // Whether the file at `output` is the very one this program placed there.
    bool Ours(const std::string& output) const;
    // Adds the record of an output just placed at `output`, under the loaded
    // root that holds it; returns "" or why it could not be written.
    std::string Record(const std::string& output, OutputRecord record);
    // Drops the record of `output` (an output removed).
    std::string Forget(const std::string& output);
    // Writes the records of every loaded root anew whose journal holds more
    // replaced or dropped lines than records, and more than kStaleLinesKept.
    void Compact();
    // A few stale lines cost a re-run nothing to pass over, while writing the
    // journal anew costs a file, its sync and a rename: a folder converted
    // again and again one file at a time is not rewritten every other run.
    static constexpr std::size_t kStaleLinesKept = 64;

    // Every record of every loaded root, by absolute output path.
    std::vector<std::pair<std::string, OutputRecord>> Records() const;
    std::vector<std::string> roots() const;

private:
    struct Root {
        std::map<std::string, OutputRecord> records;  // by path below the root
        std::size_t lines = 0;                        // in its journal
    };
    // The root holding `absolute` and the path below it, or nothing.
    std::optional<std::pair<std::string, std::string>> Locate(const std::string& absolute) const;
    std::string Append(const std::string& root, const std::string& line);

    std::map<std::string, Root> roots_;  // by absolute folder, ending with "/"
};

// The identity fields of `record` filled from the file now at `output`;
// false when there is none.
bool StampOutput(const std::string& output, OutputRecord& record);

// `path` absolute and without "." or ".." parts; a relative path is taken
// from `workingFolder`, or from the process's working folder when none is given.
std::string AbsoluteOf(const std::string& path, const std::string& workingFolder = "");

}  // namespace zelph
