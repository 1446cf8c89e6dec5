#include "cli/describe.h"

#include <sys/stat.h>

#include "cli/fields.h"
#include "core/cuesheet.h"
#include "core/targets.h"

namespace zelph {

namespace {

std::string SizeColumn(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return "---";
    return std::to_string(info.st_size);
}

}  // namespace

int RunDescribe(const std::vector<std::string>& files, std::ostream& out) {
    int status = 0;
    for (const std::string& path : files) {
        const AudioDescription description = DescribeAudioFile(path);
        // A track of a CD image is read from the image.
        const std::string size = SizeColumn(ListedFile(path));
        if (size == "---") status = 1;
        out << Field(path) << '\t' << size << '\t' << description.text << '\t'
            << (description.known ? "Scheduled" : "Unscheduled") << '\n';
    }
    return status;
}

}  // namespace zelph
