#pragma once
// An output counts as written only when it has been read back from the disk:
// TagLib's save and the engines' last writes are not taken at their word.
// A file system that runs out of room (or a file size limit) cuts a file
// short while every library call still says it succeeded; reading the file
// back is what tells.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelph {

class ReadOnlyFile;

// The audio a file of one output form holds as its own structure states it,
// or nothing when the file does not end where that structure says it does.
// A format with a structure of its own keeps its reader with its probe.
using AudioExtentReader = std::optional<uint64_t> (*)(const ReadOnlyFile& file);
// RIFF chunks, each whole: the data chunk's size.
std::optional<uint64_t> RiffAudioExtent(const ReadOnlyFile& file);
// Pages, each whole, the last closing the stream: its granule position.
std::optional<uint64_t> OggAudioExtent(const ReadOnlyFile& file);
// The bytes between a leading ID3v2 tag and trailing APEv2 and ID3v1 tags.
std::optional<uint64_t> AudioBetweenTags(const ReadOnlyFile& file);

// The audio an output holds, read by its target row's extent reader.
std::optional<uint64_t> AudioExtentOf(const std::string& path);

// Whether the file at `path` has no room to grow: its disk is (nearly) full
// or it has reached the process's file size limit.
bool OutOfRoom(const std::string& path);

// Why an output did not read back whole: "cannot write: disk full" when it
// is out of room.
std::string WhyIncomplete(const std::string& path);

// What the output must show when it is read back.
struct ExpectedOutput {
    uint64_t audio = 0;  // its audio extent as the encoder left it
    // The tag fields and pictures written to it (none when no tags were).
    std::vector<std::string> fields;
    std::vector<std::string> pictures;  // each picture's bytes
};

// Why the output at `path` is not what was written, or "" when it is.
std::string ReadBack(const std::string& path, const ExpectedOutput& expected);

}  // namespace zelph
