#pragma once
// Carrying a source's tags, pictures included, onto its finished output.

#include <string>
#include <vector>

namespace zelph {

struct TagCopyReport {
    std::vector<std::string> dropped;  // what the output could not take, by field name
    std::string error;                 // "" unless the output's tags could not be written
    // What was written, for reading it back: the field names and each
    // picture's bytes.
    std::vector<std::string> writtenFields;
    std::vector<std::string> writtenPictures;
};

// Reads the tags of `source` and writes them to `target`. A source whose
// tags cannot be read is reported as a dropped field, not an error: the
// audio is still good. A target of a kind without tags is left alone.
TagCopyReport CopyTags(const std::string& source, const std::string& target);

}  // namespace zelph
