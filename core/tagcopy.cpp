#include "core/tagcopy.h"

#include "core/targets.h"
#include "metadata/tags.h"

namespace zelph {

namespace {

// The output's form, by its extension: every target writing that extension
// shares one.
const TagForm* OutputTagForm(const std::string& target) {
    const std::string extension = SourceExtensionOf(target);
    for (const TargetRow& row : Targets())
        if (row.extension == extension) return row.tags;
    return nullptr;
}

}  // namespace

TagCopyReport CopyTags(const std::string& source, const std::string& target) {
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
    const TagForm* output = OutputTagForm(target);
    if (read.tags.empty() || !output || !output->write) return report;
    TagWriteResult written = WriteTags(target, read.tags, *output);
    for (std::string& field : written.dropped) report.dropped.push_back(std::move(field));
    report.error = std::move(written.error);
    return report;
}

}  // namespace zelph
