#include "cli/listings.h"

#include <string_view>

#include "core/targets.h"
#include "settings/preferences.h"
#include "settings/settingsfields.h"

namespace zelph {

namespace {

constexpr std::size_t kHelpWidth = 79;
constexpr std::size_t kIndent = 4;

// The block of a field's name ("general" of "general.outputFolderMode"); "" for a
// name outside every block.
std::string_view BlockOf(std::string_view name) {
    const auto dot = name.find('.');
    return dot == std::string_view::npos ? "" : name.substr(0, dot);
}

}  // namespace

std::vector<std::string> SetFieldNames() {
    std::vector<std::string> names;
    for (const SettingsField& field : SettingsFields()) names.emplace_back(field.name);
    for (const PreferenceKey& key : PreferenceKeys()) names.emplace_back(key.name);
    return names;
}

std::string SetFieldsHelp() {
    // Blocks in the order they first appear; a block of the record and the
    // keys of zelph.conf that share its name make one line.
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    for (const std::string& name : SetFieldNames()) {
        const std::string block(BlockOf(name));
        auto it = blocks.begin();
        while (it != blocks.end() && it->first != block) ++it;
        if (it == blocks.end()) it = blocks.insert(blocks.end(), {block, {}});
        it->second.push_back(block.empty() ? name : name.substr(block.size() + 1));
    }
    std::string help = "\nFields for --set BLOCK.FIELD=VALUE, by block:\n";
    for (const auto& [block, fields] : blocks) {
        std::string line = "  " + (block.empty() ? "" : block + ": ");
        std::size_t start = line.size();
        for (const std::string& field : fields) {
            if (line.size() + 1 + field.size() > kHelpWidth) {
                help += line + '\n';
                line = std::string(start = kIndent, ' ');
            }
            line += (line.size() == start ? "" : " ") + field;
        }
        help += line + '\n';
    }
    return help;
}

std::vector<std::string> SourceExtensions() {
    std::vector<std::string> extensions;
    for (const SourceRow& row : Sources())
        for (const std::string_view extension : ExtensionsOf(row)) extensions.emplace_back(extension.substr(1));
    return extensions;
}

}  // namespace zelph
