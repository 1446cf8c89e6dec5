#pragma once
// What zelph-convert can tell about itself, made from the tables it works
// with so that --help, the manual page and the shell completion never lag
// behind the program.

#include <string>
#include <vector>

namespace zelph {

// Every name --set takes: the record's fields, then the keys of zelph.conf.
std::vector<std::string> SetFieldNames();

// The --help section that lists those names, block by block.
std::string SetFieldsHelp();

// The extensions of every source format, lower case, without the dot.
std::vector<std::string> SourceExtensions();

}  // namespace zelph
