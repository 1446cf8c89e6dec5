#pragma once
// Output names beyond the plain "source's name, target's extension": the
// source's folder tree kept under the output folder, and names made from
// the source's tags by a pattern. Both depend only on the source and the
// settings, and make names that FAT, exFAT and NTFS also accept.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

class Preferences;

struct OutputNaming {
    std::string treeRoot;  // "": outputs lie flat in the output folder
    std::string pattern;   // "": outputs take their source's name
    bool active() const { return !treeRoot.empty() || !pattern.empty(); }
};

OutputNaming OutputNamingFrom(const Preferences& preferences);

// Why `pattern` cannot name files ("%" or "[" without its end), or "".
std::string NamePatternProblem(std::string_view pattern);

// The output's path below its folder, without the extension. "%field%" is
// the tag field (any case: %albumartist%), "%a|b%" the first of them that is
// set, "%%" a "%"; a "[...]" section is left out when a field in it is not
// set. Track and disc numbers lose their total and are zero-padded to two
// digits or the total's width. A "/" of the pattern makes a folder; one in a
// value does not. Empty folders are left out; an empty name is `fallback`.
// `extensionBytes` is kept free in the last name for the extension.
using TagFields = std::map<std::string, std::vector<std::string>>;
std::string ExpandNamePattern(std::string_view pattern, const TagFields& fields, const std::string& fallback,
                              std::size_t extensionBytes);

// One folder or file name made safe: reserved characters (<>:"/\|?*) and
// control characters become "_", trailing dots and spaces go, the name is cut
// to `limit` bytes on a character boundary, and a device name (CON, PRN,
// AUX, NUL, COM0-9, LPT0-9, with or without an extension) gets a "_" after it.
// May return "".
std::string SafeNameComponent(std::string name, std::size_t limit = 255);

}  // namespace zelph
