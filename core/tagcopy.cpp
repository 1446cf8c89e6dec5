#include "core/tagcopy.h"

#include <algorithm>

#include "core/targets.h"
#include "metadata/gaintags.h"
#include "metadata/tags.h"

namespace zelph {

TagCopyReport CopyTags(const std::string& source, const std::string& target, bool keepGains) {
    TagCopyReport report;
    const SourceRow* sourceRow = FindSource(source);
    if (!sourceRow || !sourceRow->tags) return report;
    TagReadResult read = ReadTags(source, *sourceRow->tags);
    if (!read.error.empty()) {
        report.dropped.push_back("tags of the source (" + read.error + ")");
        return report;
    }
    report.dropped = std::move(read.unreadable);
    DropFileDescription(read.tags);
    if (!keepGains) DropGainTags(read.tags);
    const TargetRow* output = FindTargetByOutput(target);
    if (read.tags.empty() || !output || !output->tags->write) return report;
    // The gains describe the audio, not the file, and are told in the output's own convention.
    ConvertGainTags(read.tags, output->tags->gains);
    TagWriteResult written = WriteTags(target, read.tags, *output->tags);
    report.error = std::move(written.error);
    auto wasDropped = [&](const std::string& name) {
        return std::find(written.dropped.begin(), written.dropped.end(), name) != written.dropped.end();
    };
    for (const auto& [name, values] : read.tags.fields)
        if (!wasDropped(name)) report.writtenFields.push_back(name);
    // What is dropped but no field is a picture the output refused; then
    // none is expected back.
    const bool picturesKept = std::all_of(written.dropped.begin(), written.dropped.end(),
                                          [&](const std::string& name) { return read.tags.fields.contains(name); });
    if (picturesKept)
        for (const TagPicture& picture : read.tags.pictures) report.writtenPictures.push_back(picture.data);
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
