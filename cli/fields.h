#pragma once
// The command line's output is one record per line, fields separated by tabs.

#include <string>

namespace zelph {

// `text` as one field: a newline, a tab and the backslash itself are written
// as the escapes "\n", "\t" and "\\", so a file name can never break a line.
std::string Field(const std::string& text);

}  // namespace zelph
