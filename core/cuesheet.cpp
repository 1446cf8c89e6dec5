#include "core/cuesheet.h"

#include <libcue.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "core/naming.h"
#include "core/targets.h"
#include "metadata/length.h"

namespace zelph {

namespace {

constexpr const char* kEntryMark = ".cue#";
// A sheet is a page of text; anything far larger is not one.
constexpr std::streamsize kLargestSheet = 1 << 20;

struct CdDeleter {
    void operator()(Cd* cd) const { cd_delete(cd); }
};
using CdHandle = std::unique_ptr<Cd, CdDeleter>;

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || (extra > 0 && lead < 0xC2) || i + extra >= text.size()) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Windows-1252 to UTF-8: Latin-1 but for 0x80-0x9F, where it has
// typographic marks (the five codes it leaves free stay as Latin-1 has them).
std::string FromWindows1252(const std::string& text) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
    }
    return out;
}

// The sheet's text in UTF-8, without a byte-order mark; "" with `error` set
// when it cannot be read.
std::string SheetText(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::string("cannot read the sheet: ") + std::strerror(errno);
        return "";
    }
    std::string text(static_cast<std::size_t>(kLargestSheet) + 1, '\0');
    in.read(text.data(), kLargestSheet + 1);
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > static_cast<std::size_t>(kLargestSheet)) {
        error = "too large for a CUE sheet";
        return "";
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    if (text.find('\0') != std::string::npos) {
        error = "not a CUE sheet (binary data)";
        return "";
    }
    return IsUtf8(text) ? text : FromWindows1252(text);
}

// libcue's parser keeps its state in globals.
std::mutex& ParserLock() {
    static std::mutex lock;
    return lock;
}

std::string Text(const char* value) { return value ? value : ""; }

void SetField(TagFields& tags, const char* name, const std::string& value) {
    if (!value.empty()) tags[name] = {value};
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The image the FILE line names, beside the sheet unless the name is
// absolute; else one of the same name packed in another source format.
std::string FindImage(const std::string& sheet, const std::string& named) {
    const std::string path = !named.empty() && named[0] == '/' ? named : FolderOf(sheet) + named;
    if (Exists(path)) return path;
    const std::string stem = path.substr(0, path.size() - SourceExtensionOf(path).size());
    for (const SourceRow& row : Sources())
        for (const std::string_view extension : ExtensionsOf(row))
            if (row.converted && Exists(stem + std::string(extension))) return stem + std::string(extension);
    return "";
}

std::string TwoDigits(int number) { return (number < 10 ? "0" : "") + std::to_string(number); }

// "03 - Title", or "03 - Track 03" without a title.
std::string TrackTitle(const CueTrack& track) {
    const auto title = track.tags.find("TITLE");
    const std::string number = TwoDigits(track.number);
    return number + " - " + (title == track.tags.end() ? "Track " + number : title->second.front());
}

// The tracks' bounds and tags out of libcue's reading of the sheet.
void ReadTracks(const Cd& cd, CueSheet& sheet) {
    const int count = cd_get_ntrack(&cd);
    if (count <= 0) {
        sheet.error = "the sheet lists no tracks";
        return;
    }
    Cdtext* discText = cd_get_cdtext(&cd);
    const std::string album = Text(cdtext_get(PTI_TITLE, discText));
    const std::string albumArtist = Text(cdtext_get(PTI_PERFORMER, discText));
    const std::string genre = Text(cdtext_get(PTI_GENRE, discText));
    const std::string date = Text(rem_get(REM_DATE, cd_get_rem(&cd)));
    std::string file;
    long previousStart = 0;
    for (int number = 1; number <= count; ++number) {
        const Track* track = cd_get_track(&cd, number);
        const std::string said = " track " + TwoDigits(number);
        if (!track) {
            sheet.error = "the sheet's" + said + " cannot be read";
            return;
        }
        const std::string trackFile = Text(track_get_filename(track));
        if (number == 1) file = trackFile;
        if (trackFile != file) {
            sheet.error = "a sheet of several audio files is not supported (one image per sheet)";
            return;
        }
        if (track_get_mode(track) != MODE_AUDIO) {
            sheet.error = "the sheet's" + said + " is not audio";
            return;
        }
        const long pregap = track_get_index(track, 0), start = track_get_index(track, 1);
        if (start < 0) {
            sheet.error = "the sheet's" + said + " has no INDEX 01";
            return;
        }
        if (pregap > start) {
            sheet.error = "the sheet's" + said + " has its INDEX 00 after its INDEX 01";
            return;
        }
        if (number > 1 && start <= previousStart) {
            sheet.error = "the sheet's" + said + " starts before the track ahead of it ends";
            return;
        }
        if (!sheet.tracks.empty()) sheet.tracks.back().endFrame = start;
        previousStart = start;
        CueTrack& made = sheet.tracks.emplace_back();
        made.number = number;
        made.firstFrame = number == 1 ? 0 : start;
        Cdtext* text = track_get_cdtext(track);
        const std::string performer = Text(cdtext_get(PTI_PERFORMER, text));
        const std::string trackDate = Text(rem_get(REM_DATE, track_get_rem(track)));
        SetField(made.tags, "TITLE", Text(cdtext_get(PTI_TITLE, text)));
        SetField(made.tags, "ARTIST", performer.empty() ? albumArtist : performer);
        SetField(made.tags, "ALBUM", album);
        SetField(made.tags, "ALBUMARTIST", albumArtist);
        SetField(made.tags, "TRACKNUMBER", std::to_string(number) + "/" + std::to_string(count));
        SetField(made.tags, "DATE", trackDate.empty() ? date : trackDate);
        SetField(made.tags, "GENRE", genre);
        SetField(made.tags, "ISRC", Text(track_get_isrc(track)));
    }
    if (file.empty()) {
        sheet.error = "the sheet names no audio file";
        return;
    }
    sheet.image = file;
}

}  // namespace

CueSheet ReadCueSheet(const std::string& path) {
    CueSheet sheet;
    const std::string text = SheetText(path, sheet.error);
    if (!sheet.error.empty()) return sheet;
    {
        std::lock_guard lock(ParserLock());
        const CdHandle cd(cue_parse_string(text.c_str()));
        if (!cd) {
            sheet.error = "not a CUE sheet libcue can read";
            return sheet;
        }
        ReadTracks(*cd, sheet);
    }
    if (!sheet.error.empty()) return sheet;
    const std::string image = FindImage(path, sheet.image);
    if (image.empty()) {
        sheet.error = "its audio file " + sheet.image + " is missing";
    } else if (const SourceRow* row = FindSource(image); !row || !row->converted) {
        sheet.error = "its audio file " + FileNameOf(image) + " is not of a kind this program converts";
    } else if (IsCueSheet(image)) {
        sheet.error = "its audio file is a sheet itself";
    }
    sheet.image = image;
    if (!sheet.error.empty()) sheet.tracks.clear();
    return sheet;
}

bool IsCueSheet(const std::string& path) { return SourceExtensionOf(path) == ".cue"; }

std::string TrackEntry(const std::string& sheet, int number) { return sheet + "#" + std::to_string(number); }

std::optional<TrackEntryParts> ParseTrackEntry(const std::string& entry) {
    const auto hash = entry.rfind('#');
    if (hash == std::string::npos || hash + 1 == entry.size() || !IsCueSheet(entry.substr(0, hash))) return std::nullopt;
    int number = 0;
    const char* end = entry.data() + entry.size();
    const auto [stop, failed] = std::from_chars(entry.data() + hash + 1, end, number);
    if (failed != std::errc() || stop != end || number <= 0) return std::nullopt;
    return TrackEntryParts{entry.substr(0, hash), number};
}

ListedTrack ReadListedTrack(const TrackEntryParts& parts) {
    ListedTrack listed;
    listed.sheet = parts.sheet;
    CueSheet sheet = ReadCueSheet(parts.sheet);
    listed.image = std::move(sheet.image);
    listed.total = static_cast<int>(sheet.tracks.size());
    if (!sheet.error.empty())
        listed.error = FileNameOf(parts.sheet) + ": " + sheet.error;
    else if (parts.number > listed.total)
        listed.error = FileNameOf(parts.sheet) + " has no track " + TwoDigits(parts.number);
    else
        listed.track = std::move(sheet.tracks[parts.number - 1]);
    return listed;
}

std::string TrackFileTitle(const CueTrack& track) {
    const std::string safe = SafeNameComponent(TrackTitle(track));
    return safe.empty() ? TwoDigits(track.number) : safe;
}

std::string ListedFile(const std::string& entry) {
    const std::optional<TrackEntryParts> parts = ParseTrackEntry(entry);
    return parts ? ReadListedTrack(*parts).image : entry;
}

std::string ListedName(const std::string& entry) {
    const std::optional<TrackEntryParts> parts = ParseTrackEntry(entry);
    if (!parts) return FileNameOf(entry);
    const ListedTrack listed = ReadListedTrack(*parts);
    return FileNameOf(parts->sheet) + " \u203A " +
           (listed.error.empty() ? TrackTitle(listed.track) : "track " + TwoDigits(parts->number));
}

std::string DescribeCueSheet(const std::string& path) {
    const CueSheet sheet = ReadCueSheet(path);
    if (!sheet.error.empty()) return "CUE Sheet: " + sheet.error;
    return "CUE Sheet, " + std::to_string(sheet.tracks.size()) + " tracks of " + FileNameOf(sheet.image);
}

std::string DescribeTrack(const ListedTrack& listed) {
    if (!listed.error.empty()) return listed.error;
    return DescribeAudioFile(listed.image).text + ", track " + std::to_string(listed.track.number) + " of " +
           std::to_string(listed.total) + " of " + FileNameOf(listed.image);
}

std::optional<int64_t> ListedLength(const std::string& entry) {
    const std::optional<TrackEntryParts> parts = ParseTrackEntry(entry);
    if (!parts) return AudioLength(entry);
    const ListedTrack listed = ReadListedTrack(*parts);
    if (!listed.error.empty()) return std::nullopt;
    const int64_t startMs = listed.track.firstFrame * 1000 / kCdFramesPerSecond;
    if (listed.track.endFrame >= 0) return listed.track.endFrame * 1000 / kCdFramesPerSecond - startMs;
    const std::optional<int64_t> whole = AudioLength(listed.image);
    if (!whole || *whole < startMs) return std::nullopt;
    return *whole - startMs;
}

}  // namespace zelph
