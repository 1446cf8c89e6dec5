#pragma once
// zelph-convert --describe: the main window's file list as text.

#include <ostream>
#include <string>
#include <vector>

namespace zelph {

// One line per file: name, size in bytes ("---" when not found), the format
// description and "Scheduled"/"Unscheduled", separated by tabs. 1 when a
// file was not found, else 0 (an error text is a description too).
int RunDescribe(const std::vector<std::string>& files, std::ostream& out);

}  // namespace zelph
