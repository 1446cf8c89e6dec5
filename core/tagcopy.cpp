#include "core/tagcopy.h"

#include <algorithm>

#include "core/targets.h"
#include "metadata/gaintags.h"
#include "metadata/tags.h"

namespace zelph {

TagCopyReport CopyTags(const std::string& source, const std::string& target, bool keepGains,
                       const MeasuredGains* measured, const TagFields* sheet) {
    TagCopyReport report;
    Tags tags;
    const SourceRow* sourceRow = FindSource(source);
    if (sourceRow && sourceRow->tags) {
        TagReadResult read = ReadTags(source, *sourceRow->tags);
        if (read.error.empty()) {
            report.dropped = std::move(read.unreadable);
            tags = std::move(read.tags);
            DropFileDescription(tags);
        } else {
            report.dropped.push_back("tags of the source (" + read.error + ")");
        }
    }
    if (sheet) {
        // The image's own sheet and gains describe the whole disc, not the track.
        tags.fields.erase("CUESHEET");
        DropGainTags(tags);
        for (const auto& [field, values] : *sheet) tags.fields[field] = values;
    }
    if (!keepGains) DropGainTags(tags);
    const TargetRow* output = FindTargetByOutput(target);
    if (!output || !output->tags->write) {
        if (measured) report.error = "the output takes no tags";
        return report;
    }
    // The gains describe the audio, not the file, and are told in the output's own convention.
    ConvertGainTags(tags, output->tags->gains);
    const std::vector<std::string> gainFields =
        measured ? SetMeasuredGains(tags, *measured, output->tags->gains) : std::vector<std::string>{};
    if (tags.empty()) return report;
    TagWriteResult written = WriteTags(target, tags, *output->tags);
    report.error = std::move(written.error);
    auto wasDropped = [&](const std::string& name) {
        return std::find(written.dropped.begin(), written.dropped.end(), name) != written.dropped.end();
    };
    for (const std::string& field : gainFields)
        if (report.error.empty() && wasDropped(field)) report.error = "the output cannot hold " + field;
    for (const auto& [name, values] : tags.fields)
        if (!wasDropped(name)) report.writtenFields.push_back(name);
    // What is dropped but no field is a picture the output refused; then
    // none is expected back.
    const bool picturesKept = std::all_of(written.dropped.begin(), written.dropped.end(),
                                          [&](const std::string& name) { return tags.fields.contains(name); });
    if (picturesKept)
        for (const TagPicture& picture : tags.pictures) report.writtenPictures.push_back(picture.data);
    for (std::string& field : written.dropped) report.dropped.push_back(std::move(field));
    return report;
}

std::string WriteGainTags(const std::string& target, const MeasuredGains& gains, std::vector<std::string>& fields) {
    const TargetRow* output = FindTargetByOutput(target);
    if (!output || !output->tags->write) return "loudness tags: the output takes no tags";
    TagReadResult read = ReadTags(target, *output->tags);
    if (!read.error.empty()) return "loudness tags not written: " + read.error;
    fields = SetMeasuredGains(read.tags, gains, output->tags->gains);
    const TagWriteResult written = WriteTags(target, read.tags, *output->tags);
    if (!written.error.empty()) return "loudness tags not written: " + written.error;
    for (const std::string& field : fields)
        if (std::find(written.dropped.begin(), written.dropped.end(), field) != written.dropped.end())
            return "loudness tags not written: the output cannot hold " + field;
    return "";
}

}  // namespace zelph
