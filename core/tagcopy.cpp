#include "core/tagcopy.h"

#include "metadata/tags.h"

namespace zelph {

TagCopyReport CopyTags(const std::string& source, const std::string& target) {
    TagCopyReport report;
    TagReadResult read = ReadTags(source);
    if (!read.error.empty()) {
        report.dropped.push_back("tags of the source (" + read.error + ")");
        return report;
    }
    report.dropped = std::move(read.unreadable);
    DropFileDescription(read.tags);
    if (read.tags.empty() || !CanHoldTags(target)) return report;
    TagWriteResult written = WriteTags(target, read.tags);
    for (std::string& field : written.dropped) report.dropped.push_back(std::move(field));
    report.error = std::move(written.error);
    return report;
}

}  // namespace zelph
