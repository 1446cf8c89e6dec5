#pragma once
// CUE sheets: a CD image (one audio file) and where each of its tracks
// starts, with the tracks' titles and performers. The list holds one entry
// per track, written as the sheet's path, "#" and the track's number
// ("Album.cue#3"); every part of the program that reads a listed file asks
// here first which file and which part of it the entry stands for.
//
// Track N runs from its INDEX 01 to track N+1's INDEX 01, so the pregap
// before a track (its INDEX 00) ends the track before it; track 1 starts at
// the image's start, its own pregap kept, and the last track runs to the
// image's end.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/outputnames.h"

namespace zelph {

// CD audio is addressed in frames of 1/75 second (588 samples at 44.1 kHz).
inline constexpr int64_t kCdFramesPerSecond = 75;

// The first sample of CD frame `frames` at `sampleRate`, rounded down, so
// that a track's end and the next track's start are the same sample.
inline int64_t SampleOfCdFrame(int64_t frames, int64_t sampleRate) {
    return frames * sampleRate / kCdFramesPerSecond;
}

struct CueTrack {
    int number = 0;          // its place in the sheet, from 1
    int64_t firstFrame = 0;  // CD frames from the image's start
    int64_t endFrame = -1;   // where the next track starts; -1: the image's end
    // TITLE, ARTIST, ALBUM, ALBUMARTIST, TRACKNUMBER ("n/N"), DATE, GENRE,
    // ISRC, as the sheet gives them; they take the place of the image's own.
    TagFields tags;
};

struct CueSheet {
    std::string image;  // the audio file it describes, beside the sheet
    std::vector<CueTrack> tracks;
    std::string error;  // why the sheet cannot be used, or ""
};

// Reads and checks the sheet at `path`. Its text is UTF-8, or else taken as
// Windows-1252 (which Latin-1 is a part of). An image the sheet names that
// is not there is looked for under the same name with the extension of any
// other source format (a WAV image later packed as FLAC).
CueSheet ReadCueSheet(const std::string& path);

bool IsCueSheet(const std::string& path);

// The list entry of track `number` of the sheet at `sheet`.
std::string TrackEntry(const std::string& sheet, int number);

struct TrackEntryParts {
    std::string sheet;
    int number = 0;
};
// The sheet and track an entry names, or nothing for a plain file.
std::optional<TrackEntryParts> ParseTrackEntry(const std::string& entry);

// A listed entry read through its sheet: the image, the track's part of it
// and its tags, or the reason it cannot be converted.
struct ListedTrack {
    std::string sheet;
    std::string image;
    CueTrack track;
    int total = 0;
    std::string error;
};
ListedTrack ReadListedTrack(const TrackEntryParts& parts);

// "03 - Title", made safe as a file name; "03 - Track 03" without a title.
std::string TrackFileTitle(const CueTrack& track);

// The file an entry reads (the image for a track, else the entry itself).
std::string ListedFile(const std::string& entry);
// How the list shows an entry: "Album.cue › 03 - Title" for a track, else
// the file's name.
std::string ListedName(const std::string& entry);
// A sheet in the file list: its tracks and image, or why it cannot be used.
std::string DescribeCueSheet(const std::string& path);
// The file description of an entry; a track's tells its image's format and
// its place on the image.
std::string DescribeTrack(const ListedTrack& listed);
// How long an entry plays, in milliseconds, or nothing when unknown.
std::optional<int64_t> ListedLength(const std::string& entry);

}  // namespace zelph
