#include "codecs/libraryloader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace zelph {

std::string PluginsFolder() {
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (size <= 0) return "Plugins/";
    const std::string exe(path, static_cast<std::size_t>(size));
    const std::string programFolder = exe.substr(0, exe.rfind('/') + 1);
    // A build or an unpacked copy keeps Plugins beside the program; an
    // installed program keeps it in its private library folder.
    const std::string beside = programFolder + "Plugins/";
    struct stat info;
    if (::stat(beside.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return beside;
    return programFolder + ZELPH_PLUGINS_FROM_BIN;
}

CodecLibraries::~CodecLibraries() {
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) ::dlclose(*it);
}

bool CodecLibraries::Load(const std::string& fileName, std::initializer_list<EntryPoint> entries) {
    const std::string path = PluginsFolder() + fileName;
    const int keep = lifetime_ == Lifetime::kProcess ? RTLD_NODELETE : 0;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | keep);
    if (!handle) {
        error_ = ::access(path.c_str(), F_OK) != 0 ? "Plugins/" + fileName + " is missing"
                                                   : "Plugins/" + fileName + " cannot be loaded: " + ::dlerror();
        return false;
    }
    std::vector<void*> found;
    for (const EntryPoint& entry : entries) {
        void* symbol = ::dlsym(handle, entry.name);
        if (!symbol) {
            ::dlclose(handle);
            error_ = "Plugins/" + fileName + " lacks " + entry.name;
            return false;
        }
        found.push_back(symbol);
    }
    std::size_t i = 0;
    for (const EntryPoint& entry : entries) *entry.slot = found[i++];
    handles_.push_back(handle);
    return true;
}

}  // namespace zelph
