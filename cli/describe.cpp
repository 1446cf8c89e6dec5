#include "cli/describe.h"

#include <sys/stat.h>

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
    for (const std::string& path : files) {
        const AudioDescription description = DescribeAudioFile(path);
        out << path << '\t' << SizeColumn(path) << '\t' << description.text << '\t'
            << (description.known ? "Scheduled" : "Unscheduled") << '\n';
    }
    return 0;
}

}  // namespace zelph
