#include "cli/options.h"

#include <sys/stat.h>

#include "core/targets.h"
#include "settings/appliedgain.h"
#include "settings/settingsfields.h"

namespace zelph {

namespace {

// Every target's command-line name, in the radios' order, between bars.
std::string TargetChoices() {
    std::string choices;
    for (const TargetRow& row : Targets()) choices += std::string(choices.empty() ? "" : "|") + row.cliName;
    return choices;
}

// Every option after --target and its choices.
constexpr const char* kCliOptionsText =
    "                         target format (default: the one in the settings)\n"
    "  --settings FILE        settings file to read, never written (default: the main\n"
    "                         window's: ./Settings.dat, one beside the program, or\n"
    "                         ~/.config/zelph/Settings.dat)\n"
    "  --output-dir DIR       put every output into DIR\n"
    "  --beside-source        put every output beside its source\n"
    "  --keep-tree ROOT       repeat the folders below ROOT in the output folder\n"
    "  --name-pattern PATTERN name outputs from their tags, e.g.\n"
    "                         '%albumartist|artist%/%album%/[%discnumber%-]%tracknumber% - %title%'\n"
    "                         ([...] is left out when a field in it is not set)\n"
    "  --if-exists overwrite|rename|skip\n"
    "                         what to do when an output file exists\n"
    "  --delete-source        delete each source that was converted with success\n"
    "  --update               convert only what changed since the last run: an output\n"
    "                         made from the same audio with the same settings is\n"
    "                         skipped ('Skipped<TAB>FILE<TAB>up to date'), one whose\n"
    "                         source's tags alone changed gets new tags; outputs this\n"
    "                         program made are replaced in place, --if-exists is for\n"
    "                         other files\n"
    "  --delete-orphans       remove the outputs this program made whose source is\n"
    "                         gone ('Removed<TAB>OUTPUT'); no other file is touched\n"
    "  --rule lossless|lossy=TARGET|copy\n"
    "                         convert sources of that kind to another target, or copy\n"
    "                         them as they are (e.g. --rule lossy=copy)\n"
    "  --copy-images          copy cover.jpg and folder.jpg along with a folder's music\n"
    "  --no-tags              do not copy tags and pictures to the outputs\n"
    "  --verify               decode each output back and check it against its input\n"
    "                         before it takes its name (always with --delete-source)\n"
    "  --loudness off|track|album\n"
    "                         tag each output with the loudness of its own audio\n"
    "                         (ReplayGain 2.0; R128 gains on Opus), per track or per\n"
    "                         track and album (same album and album artist in a folder)\n"
    "  --true-peak            the loudness tags' peaks are true peaks, not sample peaks\n"
    "  --apply-gain LUFS|off  scale each converted file's audio to that loudness\n"
    "                         (e.g. -16), less where its true peak would pass -1 dBTP,\n"
    "                         for players that ignore loudness tags; copies stay as\n"
    "                         they are\n"
    "  --set BLOCK.FIELD=VALUE\n"
    "                         change one settings field, e.g.\n"
    "                         --set general.existingFileAction=3,\n"
    "                         or one key of zelph.conf, e.g. --set window.width=900\n"
    "                         (every field is listed below)\n"
    "  --files-from FILE      convert the paths listed in FILE, one a line ('-': read\n"
    "                         them from standard input)\n"
    "  --null                 the paths of --files-from end with NUL, not a new line\n"
    "  --dry-run              print the planned jobs and convert nothing\n"
    "  --describe             print name, size, format and Scheduled/Unscheduled per file\n"
    "  --jobs N               convert N files side by side (default: one per processor)\n"
    "  --verbose              print each output path after its result, and each\n"
    "                         tag field an output could not take as 'dropped: FIELD'\n"
    "  --quiet                no progress line\n"
    "  --help                 show this text\n"
    "  --version              show the version\n";

}  // namespace

std::string CliUsage() {
    return "Usage: zelph-convert [options] FILE|FOLDER...\n"
           "Converts audio files with the converter's settings; a folder stands for the\n"
           "music files under it. Prints one line per file: \"Done\", \"Error Occured\",\n"
           "\"Cancelled\" or \"Skipped\", a tab, and the source path; then a line\n"
           "\"done N, skipped N, failed N\" on the error stream (with --update or\n"
           "--delete-orphans also \"up to date N\" and \"removed N\").\n"
           "Exit status: 0 when every planned file is done (or up to date), 1 otherwise,\n"
           "2 for usage errors.\n"
           "\n"
           "  --target " + TargetChoices() + "\n" + kCliOptionsText;
}

namespace {

struct NamedValue {
    const char* name;
    const char* value;
};

constexpr NamedValue kIfExistsNames[] = {{"overwrite", "1"}, {"rename", "2"}, {"skip", "3"}};
constexpr NamedValue kLoudnessNames[] = {{"off", "0"}, {"track", "1"}, {"album", "2"}};

template <std::size_t N>
const char* Lookup(const NamedValue (&table)[N], const std::string& name) {
    for (const auto& entry : table)
        if (name == entry.name) return entry.value;
    return nullptr;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The targets' command-line names as a sentence lists them ("a, b or c").
std::string TargetNameList() {
    std::string names;
    const auto targets = Targets();
    for (std::size_t i = 0; i < targets.size(); ++i)
        names += std::string(i == 0 ? "" : i + 1 == targets.size() ? " or " : ", ") + targets[i].cliName;
    return names;
}

}  // namespace

std::string ParseCliOptions(const std::vector<std::string>& args, CliOptions& options) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
            continue;
        }
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--describe") {
            options.describe = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--no-tags") {
            options.edits.emplace_back(std::string(kCopyTags), "0");
        } else if (arg == "--verify") {
            options.edits.emplace_back(std::string(kVerify), "1");
        } else if (arg == "--loudness") {
            if (!value(v)) return "--loudness needs off, track or album";
            const char* mode = Lookup(kLoudnessNames, v);
            if (!mode) return "unknown --loudness choice '" + v + "' (off, track or album)";
            options.edits.emplace_back(std::string(kLoudness), mode);
        } else if (arg == "--apply-gain") {
            if (!value(v)) return "--apply-gain needs a loudness in LUFS (e.g. -16) or off";
            // The preference's range refuses any other value when it is applied.
            options.edits.emplace_back(std::string(kApplyGainLufs), v == "off" ? "0" : v);
        } else if (arg == "--true-peak") {
            options.edits.emplace_back(std::string(kTruePeak), "1");
        } else if (arg == "--list-fields") {
            options.listFields = true;
        } else if (arg == "--list-extensions") {
            options.listExtensions = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--beside-source") {
            options.edits.emplace_back("general.outputFolderMode", "1");
        } else if (arg == "--delete-source") {
            options.edits.emplace_back("general.afterOperation", "2");
        } else if (arg == "--update") {
            options.edits.emplace_back(std::string(kUpdate), "1");
        } else if (arg == "--delete-orphans") {
            options.edits.emplace_back(std::string(kDeleteOrphans), "1");
        } else if (arg == "--copy-images") {
            options.edits.emplace_back(std::string(kCopyFolderImages), "1");
        } else if (arg == "--rule") {
            if (!value(v)) return "--rule needs KIND=TARGET";
            const auto equals = v.find('=');
            const std::string kind = v.substr(0, equals);
            if (equals == std::string::npos || (kind != "lossless" && kind != "lossy"))
                return "--rule needs lossless=TARGET or lossy=TARGET, got '" + v + "'";
            options.edits.emplace_back(std::string(kind == "lossless" ? kLosslessRule : kLossyRule), v.substr(equals + 1));
        } else if (arg == "--jobs" || arg == "-j") {
            if (!value(v)) return "--jobs needs a number";
            options.edits.emplace_back(std::string(kFilesAtOnce), v);
        } else if (arg == "--null" || arg == "-0") {
            options.nulSeparated = true;
        } else if (arg == "--files-from") {
            if (!value(options.filesFrom)) return "--files-from needs a file";
        } else if (arg == "--keep-tree") {
            if (!value(v)) return "--keep-tree needs a folder";
            if (!IsFolder(v)) return "tree folder '" + v + "' does not exist";
            options.edits.emplace_back(std::string(kKeepTreeRoot), v);
        } else if (arg == "--name-pattern") {
            if (!value(v)) return "--name-pattern needs a pattern";
            options.edits.emplace_back(std::string(kNamePattern), v);
        } else if (arg == "--settings") {
            if (!value(options.settingsFile)) return "--settings needs a file";
        } else if (arg == "--target") {
            if (!value(v)) return "--target needs a format";
            const TargetRow* target = FindTargetByCliName(v);
            if (!target) return "unknown target '" + v + "' (" + TargetNameList() + ")";
            options.targetFormat = target->format;
        } else if (arg == "--output-dir") {
            if (!value(v)) return "--output-dir needs a folder";
            if (!IsFolder(v)) return "output folder '" + v + "' does not exist";
            options.edits.emplace_back("general.outputFolderMode", "2");
            options.edits.emplace_back("general.outputFolder", v);
        } else if (arg == "--if-exists") {
            if (!value(v)) return "--if-exists needs overwrite, rename or skip";
            const char* action = Lookup(kIfExistsNames, v);
            if (!action) return "unknown --if-exists action '" + v + "' (overwrite, rename or skip)";
            options.edits.emplace_back("general.existingFileAction", action);
        } else if (arg == "--set") {
            if (!value(v)) return "--set needs BLOCK.FIELD=VALUE";
            const auto equals = v.find('=');
            if (equals == std::string::npos) return "--set needs BLOCK.FIELD=VALUE, got '" + v + "'";
            options.edits.emplace_back(v.substr(0, equals), v.substr(equals + 1));
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    return "";
}

std::string ApplyCliEdits(const CliOptions& options, ConverterSettings& settings, Preferences& preferences) {
    for (const auto& [name, value] : options.edits) {
        std::string error = FindSettingsField(name) || !FindPreferenceKey(name)
                                ? SetSettingsField(settings, name, value)
                                : preferences.Set(name, value);
        if (!error.empty()) return error;
    }
    return "";
}

}  // namespace zelph
