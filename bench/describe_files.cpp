// Describes the files named on the command line, as zelph-convert --describe
// does, so the probes can be measured without the rest of the program.

#include <iostream>
#include <string>
#include <vector>

#include "cli/describe.h"

int main(int argc, char** argv) { return zelph::RunDescribe({argv + 1, argv + argc}, std::cout); }
