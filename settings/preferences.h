#pragma once
// Choices the 1336-byte settings record has no room for, kept as plain
// "key = value" lines in "zelph.conf" beside Settings.dat. Every known key
// has a range and a default: a missing or bad value reads as the default.
// Lines this version does not know (other keys, comments, anything else) are
// kept as they stand, so that nothing another version wrote is lost.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelph {

inline constexpr const char* kPreferencesFileName = "zelph.conf";

// The known keys.
inline constexpr std::string_view kWindowWidth = "window.width";
inline constexpr std::string_view kWindowHeight = "window.height";
inline constexpr std::string_view kShowReasonColumn = "list.reasonColumn";
inline constexpr std::string_view kFilesAtOnce = "general.filesAtOnce";
inline constexpr std::string_view kCopyTags = "general.copyTags";
inline constexpr std::string_view kVerify = "general.verify";
// Loudness tags measured on each output: 0 none, 1 track gains, 2 track and
// album gains (LoudnessMode's values); and whether peaks are true peaks.
inline constexpr std::string_view kLoudness = "general.loudness";
inline constexpr std::string_view kTruePeak = "general.truePeak";
// Text keys: the folder whose tree the outputs repeat, and the pattern that
// names outputs from their tags; "" leaves the plain naming.
inline constexpr std::string_view kKeepTreeRoot = "general.keepTreeRoot";
inline constexpr std::string_view kNamePattern = "general.namePattern";
// Re-runs: only what changed is converted, outputs whose source is gone are
// removed, and a folder's cover images go along with its music.
inline constexpr std::string_view kUpdate = "general.update";
inline constexpr std::string_view kDeleteOrphans = "general.deleteOrphans";
inline constexpr std::string_view kCopyFolderImages = "general.copyFolderImages";
// Text keys, a rule per source kind: "" converts to the chosen target, a
// target's command-line name to that one, "copy" copies as it is.
inline constexpr std::string_view kLosslessRule = "rules.lossless";
inline constexpr std::string_view kLossyRule = "rules.lossy";

struct PreferenceKey {
    std::string_view name;
    int min, max;
    int defaultValue;
    bool text = false;  // any one-line text (read with GetText); the range is unused
};

class Preferences {
public:
    explicit Preferences(std::string path);
    // zelph.conf in `folder`, the one SettingsFolder() names.
    static std::string PathIn(std::string folder);

    // Reads the file; a missing or unreadable file means every default.
    void Load();
    // Writes every line back atomically; returns "" or why nothing was written.
    std::string Save() const;

    // The key's value, or its default when it is unset or out of range.
    int Get(std::string_view key) const;
    // A text key's value, "" when unset.
    std::string GetText(std::string_view key) const;
    // Stores `value` (as text, "8") under a known key; returns an error text,
    // or "" when it was stored.
    std::string Set(std::string_view key, std::string_view value);
    // Every known key back to its default; lines of other keys stay.
    void ResetKnownKeys();

    const std::string& path() const { return path_; }

    bool operator==(const Preferences&) const = default;

private:
    struct Line {
        std::string key;   // "" for a line that holds no key
        std::string text;  // the value, or the whole line when there is no key
        bool operator==(const Line&) const = default;
    };
    Line* Find(std::string_view key);
    const Line* Find(std::string_view key) const;

    std::string path_;
    std::vector<Line> lines_;
};

// How many files a batch converts side by side: the preference, or the
// number of processors when it is 0 (the default).
unsigned FilesAtOnce(const Preferences& preferences);

// Every key this version knows, and the one called `name` (or nullptr).
std::span<const PreferenceKey> PreferenceKeys();
const PreferenceKey* FindPreferenceKey(std::string_view name);

}  // namespace zelph
