#pragma once
// Carrying a source's tags, pictures included, onto its finished output.

#include <string>
#include <vector>

#include "core/outputnames.h"
#include "metadata/gaintags.h"

namespace zelph {

struct TagCopyReport {
    std::vector<std::string> dropped;  // what the output could not take, by field name
    std::string error;                 // "" unless the output's tags could not be written
    // What was written, for reading it back: the field names and each
    // picture's bytes.
    std::vector<std::string> writtenFields;
    std::vector<std::string> writtenPictures;
};

// Reads the tags of `source` ("": none) and writes them to `target`. A
// source whose tags cannot be read is reported as a dropped field, not an
// error: the audio is still good. A target of a kind without tags is left
// alone. The source's loudness fields are told in the output's convention,
// or left out when `keepGains` is false (the output's own are measured);
// `measured` gains are written with the rest, and must all be. The fields of
// `sheet` (a CD image's track) take the place of the source's own.
TagCopyReport CopyTags(const std::string& source, const std::string& target, bool keepGains = true,
                       const MeasuredGains* measured = nullptr, const TagFields* sheet = nullptr);

// Adds the measured loudness fields to the tags `target` holds, replacing
// any it had; returns "" or why they could not be written, and names the
// fields written in `fields`.
std::string WriteGainTags(const std::string& target, const MeasuredGains& gains, std::vector<std::string>& fields);

}  // namespace zelph
