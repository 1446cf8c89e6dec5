#include "app/namepreview.h"

#include <algorithm>

#include "core/planner.h"
#include "core/targets.h"
#include "settings/tuning.h"

namespace zelph {

NamePreview PreviewOutputNames(const ConverterSettings& record, const Preferences& preferences, int32_t targetFormat,
                               const std::vector<std::string>& files, const NameChoices& choices) {
    ConverterSettings settings = record;
    settings.general = choices.general;
    const TargetTuning tuning = TuningFrom(preferences);
    const std::vector<std::string> first(files.begin(), files.begin() + std::min(files.size(), kPreviewedFiles));
    const BatchPlan plan =
        PlanJobs(settings, tuning, targetFormat, first, {.treeRoot = choices.treeRoot, .pattern = choices.pattern});

    NamePreview preview;
    preview.listed = files.size();
    preview.problem = plan.error;
    auto planned = plan.files.begin();
    for (uint32_t row = 0; row < first.size(); ++row) {
        NamePreview::Row line;
        line.source = first[row];
        if (planned != plan.files.end() && planned->row == row) {
            // What the choices decide is the part below the folder.
            const std::string& folder = planned->outputRoot.empty() ? planned->outputFolder : planned->outputRoot;
            const bool below = planned->finalTarget.starts_with(folder);
            line.folder = below ? folder : "";
            line.output = planned->finalTarget.substr(line.folder.size());
            ++planned;
        } else if (plan.error.empty()) {
            const SourceRow* source = FindSource(first[row]);
            line.note = source && source->converted ? "skipped: its output exists" : "not converted";
        }
        preview.rows.push_back(std::move(line));
    }
    return preview;
}

}  // namespace zelph
