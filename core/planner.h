#pragma once
// Turns the file list and the chosen target into the queue of jobs.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "codecs/job.h"
#include "core/cuesheet.h"
#include "core/outputledger.h"
#include "core/outputnames.h"
#include "core/verify.h"
#include "settings/settings.h"
#include "settings/tuning.h"

namespace zelph {

// The name that stands for a file's own temporary WAV in a planned chain;
// the runner gives each file a file of its own when it starts.
inline constexpr const char* kTempFileName = "Temp-QOR-File";

// What is done for a file: converted, copied as it is, its older output
// copied with new tags (its audio and settings unchanged), or nothing.
enum class FileAction { kConvert, kCopy, kRetag, kUpToDate };

struct PlannedFile {
    uint32_t row = 0;
    std::string source;
    // A track of a CD image (source): its part of the image and its tags.
    std::optional<CueTrack> track;
    std::string outputFolder;   // ends with "/"
    // The settings' output folder when the folders below it up to
    // outputFolder are made as needed (a kept tree, a pattern), or "".
    std::string outputRoot;
    std::string finalTarget;    // the name the output gets once it is complete
    std::string temporary;      // the stand-in for the temporary WAV in `chain`, or ""
    std::vector<Job> chain;     // in order; the last job writes finalTarget
    // The encoder's second output (a correction file), named and placed with
    // finalTarget, or "".
    std::string companion;
    // The second file an older output under finalTarget's name may have had,
    // which the new output does not write: removed when it is replaced.
    std::string staleCompanion;
    // How closely the output's decode must match its encoder's input.
    Fidelity fidelity{.bitExact = true};
    FileAction action = FileAction::kConvert;
    // finalTarget is an output this program made, replaced in place.
    bool replacesOurs = false;
    // Recorded with the output (core/fingerprint.h); the source's audio and
    // tags hashes when planning had to work them out, else "".
    std::string settingsHash, audioHash, tagsHash;
};

// Rules per source kind and re-runs.
struct LibraryChoices {
    // The records of the outputs this program made; loaded for each output
    // tree planned into. Not owned; nullptr: nothing is recorded.
    OutputLedger* ledger = nullptr;
    bool update = false;    // skip outputs that are up to date, re-tag those whose tags alone changed
    // Outputs beside their sources are recorded only for re-runs (update or
    // orphans asked for), so a one-off conversion leaves no record file in a
    // folder of sources; outputs in an output folder always are.
    bool recordBesideSources = false;
    bool copyTags = true;
    // "": the batch's target; a target's command-line name; kCopyRule.
    std::string losslessRule, lossyRule;
};
inline constexpr const char* kCopyRule = "copy";

LibraryChoices LibraryChoicesFrom(const Preferences& preferences, OutputLedger* ledger);

struct BatchPlan {
    std::vector<PlannedFile> files;  // in row order
    uint32_t fileCount = 0;          // every listed file, planned or not
    std::string error;               // why nothing could be planned, or ""
    // The folders of outputs left as they are (skipped because they exist):
    // a killed run may have left its files there too.
    std::set<std::string> skippedOutputFolders;
};

// `files` are the list's paths in row order; a file the planner cannot
// handle gets no job but keeps its row index. The jobs point into `settings`
// and `tuning`, which must outlive their run. An unknown `targetFormat` plans
// nothing and says why. With `naming` active, two files that would get one
// output name, or a file outside the kept tree, plan nothing and say why.
// A rule naming no target plans nothing either.
BatchPlan PlanJobs(const ConverterSettings& settings, const TargetTuning& tuning, int32_t targetFormat,
                   const std::vector<std::string>& files, const OutputNaming& naming = {},
                   const LibraryChoices& choices = {});

}  // namespace zelph
