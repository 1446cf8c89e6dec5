#pragma once
// The one description of every target and every source format: the planner,
// the command line, the main window's radios, Engine Tuning and the file
// descriptions all read these tables. A new format is one row here plus its
// engine with its own format and tag files (and, for a target, its tuning
// window).

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/engines.h"
#include "codecs/job.h"
#include "core/readback.h"
#include "core/verify.h"
#include "formats/probes.h"
#include "settings/settings.h"
#include "settings/tuning.h"

namespace zelph {

struct TagForm;

// What a target's tuning makes of its outputs beyond what its row says.
struct TunedOutput {
    bool lossy = false;  // its decode is held to its length alone
    // A second file the encoder may write beside an output, named as the
    // output with this extension and placed with it; nullptr: never.
    const char* companionExtension = nullptr;
    bool writesCompanion = false;  // with these settings
};

struct TargetRow {
    TargetFormat format;       // the record's targetFormat; also the radio's place
    const char* cliName;       // zelph-convert --target
    const char* radioText;     // the main window's "Convert To" row
    const char* extension;     // of the output file
    EngineId encoder;          // the last job of every chain
    // The encoder's settings block.
    EngineSettings (*settings)(const ConverterSettings&, const TargetTuning&);
    // The WAV stage's block, which says what it brings the encoder's input
    // to; none: 16-bit stereo.
    EngineSettings (*inputForm)(const ConverterSettings&, const TargetTuning&);
    // The encoder reads nothing of its input but the audio and its shape
    // (through the WAV reader), so a WAV source already in form can be handed
    // to it as it stands instead of being copied.
    bool readsAudioOnly;
    const TagForm* tags;       // the output's tag form
    // How much audio a written output holds, for its read-back.
    AudioExtentReader audioExtent;
    // How closely its decoded audio matches the encoder's input.
    Fidelity fidelity;
    // nullptr: the tuning changes neither.
    TunedOutput (*tunedOutput)(const TargetTuning&) = nullptr;
};

struct SourceRow {
    const char* extensions;  // lower case, each with its dot, separated by spaces
    std::string (*describe)(const std::string& path);
    // The decoder that turns it into PCM WAV; nullptr for formats that are
    // listed and described but not converted. A WAV is read by the WAV stage
    // itself.
    EngineId decoder;
    bool converted;
    const TagForm* tags;  // nullptr: a kind without tags TagLib can read
    bool lossless;        // which of the preferences' rules per source kind applies
    // Its entry in the "Add File" dialog; rows of one name share an entry.
    const char* filterName;
};

std::span<const TargetRow> Targets();
const TargetRow* FindTarget(int32_t targetFormat);
const TargetRow* FindTargetByCliName(std::string_view name);


// The row of a target whose outputs carry the extension of `path`; targets
// that share an extension share its tag form and read-back.
const TargetRow* FindTargetByOutput(const std::string& path);

std::span<const SourceRow> Sources();
// A source row's extensions, one by one (".aif", ".aiff", ...).
std::vector<std::string_view> ExtensionsOf(const SourceRow& row);

// Every engine the rows name, and the WAV stage, each running its own procedure.
EngineTable StandardEngines();
// By the lower-cased extension of `path` alone, never by content.
const SourceRow* FindSource(const std::string& path);

// The "Add File" dialog's filter, "Name|patterns|...||": every source
// first, then each entry of its own, then every file.
std::string MusicFileFilter();

// The lower-cased extension of a file name with its dot (".wav"), or "".
std::string SourceExtensionOf(const std::string& path);

// The file list's description of `path`, by its source row.
AudioDescription DescribeAudioFile(const std::string& path);

}  // namespace zelph
