#include "settings/preferences.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <thread>

#include "settings/replacefile.h"
#include "settings/tuning.h"

namespace zelph {

namespace {

constexpr PreferenceKey kKeys[] = {
    // The main window's size in logical pixels, the same at every scale
    // factor; 0 is the smallest size that fits.
    {kWindowWidth, 0, 16384, 0},
    {kWindowHeight, 0, 16384, 0},
    // 1: the file list shows the column of failure reasons.
    {kShowReasonColumn, 0, 1, 0},
    // Files converted side by side; 0: one per processor.
    {kFilesAtOnce, 0, 64, 0},
    // 1: each source's tags and pictures are carried to its output.
    {kCopyTags, 0, 1, 1},
    // 1: each output is decoded back and checked before it takes its name
    // (always, whatever this says, when sources are deleted).
    {kVerify, 0, 1, 0},
    // 0: the source's gains are carried (in the output's convention); 1 or
    // 2: each output's own are measured, per track or per track and album.
    {kLoudness, 0, 2, 0},
    // 1: the peaks are true (between-sample) peaks, 0: the largest sample.
    {kTruePeak, 0, 1, 0},
    // Empty: outputs are named as their sources, flat in the output folder.
    {kKeepTreeRoot, 0, 0, 0, true},
    {kNamePattern, 0, 0, 0, true},
    // 1: a re-run skips outputs that are up to date and only re-tags those
    // whose source's tags alone changed.
    {kUpdate, 0, 1, 0},
    // 1: outputs this program made whose source is gone are removed.
    {kDeleteOrphans, 0, 1, 0},
    // 1: cover.jpg and folder.jpg are copied beside the outputs of their folder.
    {kCopyFolderImages, 0, 1, 0},
    {kLosslessRule, 0, 0, 0, true},
    {kLossyRule, 0, 0, 0, true},
};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The whole text as a number within the key's range.
bool ParseValue(const PreferenceKey& key, std::string_view text, int& value) {
    text = Trim(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= key.min && value <= key.max;
}

}  // namespace

unsigned FilesAtOnce(const Preferences& preferences) {
    const int chosen = preferences.Get(kFilesAtOnce);
    return chosen > 0 ? static_cast<unsigned>(chosen) : std::max(1u, std::thread::hardware_concurrency());
}

std::span<const PreferenceKey> PreferenceKeys() {
    // The preferences' own keys, then each tuned target's; every target has
    // registered before the first look-up, which comes after start-up.
    static const std::vector<PreferenceKey> all = [] {
        std::vector<PreferenceKey> keys(std::begin(kKeys), std::end(kKeys));
        for (const TuningKind& kind : TuningKinds()) keys.insert(keys.end(), kind.keys.begin(), kind.keys.end());
        return keys;
    }();
    return all;
}

const PreferenceKey* FindPreferenceKey(std::string_view name) {
    for (const PreferenceKey& key : PreferenceKeys())
        if (key.name == name) return &key;
    return nullptr;
}

Preferences::Preferences(std::string path) : path_(std::move(path)) {}

std::string Preferences::PathIn(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + kPreferencesFileName;
}

void Preferences::Load() {
    lines_.clear();
    std::ifstream file(path_);
    std::string line;
    while (std::getline(file, line)) {
        const auto equals = line.find('=');
        const std::string_view key = equals == std::string::npos ? "" : Trim(std::string_view(line).substr(0, equals));
        if (key.empty() || key.front() == '#')
            lines_.push_back({"", line});
        else
            lines_.push_back({std::string(key), std::string(Trim(std::string_view(line).substr(equals + 1)))});
    }
}

std::string Preferences::Save() const {
    std::string text;
    for (const Line& line : lines_) text += line.key.empty() ? line.text + "\n" : line.key + " = " + line.text + "\n";
    return ReplaceFileContents(path_, text.data(), text.size());
}

void Preferences::ResetKnownKeys() {
    std::erase_if(lines_, [](const Line& line) { return FindPreferenceKey(line.key) != nullptr; });
}

Preferences::Line* Preferences::Find(std::string_view key) {
    for (Line& line : lines_)
        if (line.key == key) return &line;
    return nullptr;
}

const Preferences::Line* Preferences::Find(std::string_view key) const {
    return const_cast<Preferences*>(this)->Find(key);
}

int Preferences::Get(std::string_view name) const {
    const PreferenceKey* key = FindPreferenceKey(name);
    if (!key) return 0;
    const Line* line = Find(name);
    int value = 0;
    return line && ParseValue(*key, line->text, value) ? value : key->defaultValue;
}

std::string Preferences::GetText(std::string_view name) const {
    const Line* line = Find(name);
    return line ? line->text : std::string();
}

std::string Preferences::Set(std::string_view name, std::string_view text) {
    const PreferenceKey* key = FindPreferenceKey(name);
    if (!key) return "unknown preference '" + std::string(name) + "'";
    if (key->text) {
        // The file holds one key a line, trimmed as it is read.
        if (text.find_first_of("\n\r") != std::string_view::npos || Trim(text) != text)
            return "value for " + std::string(name) + " must be one line without spaces at its ends";
        Line* line = Find(name);
        if (!line) line = &lines_.emplace_back(Line{std::string(name), ""});
        line->text = text;
        return "";
    }
    int value = 0;
    if (!ParseValue(*key, text, value))
        return "value '" + std::string(text) + "' for " + std::string(name) + " is not a number from " +
               std::to_string(key->min) + " to " + std::to_string(key->max);
    Line* line = Find(name);
    if (!line) line = &lines_.emplace_back(Line{std::string(name), ""});
    line->text = std::to_string(value);
    return "";
}

}  // namespace zelph
