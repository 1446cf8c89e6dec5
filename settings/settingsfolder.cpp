#include "settings/settingsfolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "settings/settings.h"

namespace zelph {

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

// The folder of the running executable, or "" when /proc cannot say.
std::string ProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? "" : WithSlash(program.parent_path().string());
}

bool HoldsSettings(const std::string& folder) {
    return !folder.empty() && ::access(SettingsStore::PathIn(folder).c_str(), F_OK) == 0;
}

}  // namespace

std::string XdgSettingsFolder() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(configHome)) return WithSlash(configHome) + "zelph/";
    const char* home = std::getenv("HOME");
    return (IsAbsolute(home) ? WithSlash(home) : DefaultOutputFolder()) + ".config/zelph/";
}

std::string SettingsFolder() {
    std::error_code error;
    const std::string working = WithSlash(std::filesystem::current_path(error).string());
    if (!error && HoldsSettings(working)) return working;
    if (const std::string program = ProgramFolder(); HoldsSettings(program)) return program;
    return XdgSettingsFolder();
}

}  // namespace zelph
