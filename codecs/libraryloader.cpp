#include "codecs/libraryloader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace zelph {

std::string PluginFolder() {
    char exe[4096];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof exe) return "Plugins/";
    std::string path(exe, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "Plugins/";
}

CodecLibraries::CodecLibraries(std::string folder) : folder_(std::move(folder)) {}

CodecLibraries::~CodecLibraries() {
    while (count_ > 0) ::dlclose(loaded_[--count_].handle);
}

bool CodecLibraries::Load(std::initializer_list<const char*> fileNames) {
    for (const char* fileName : fileNames) {
        if (count_ == kMaxLibraries) return false;
        void* handle = ::dlopen((folder_ + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return false;
        loaded_[count_++] = {fileName, handle};
    }
    return true;
}

bool CodecLibraries::Resolve(const char* fileName, std::span<const EntryPoint> entries) {
    void* handle = nullptr;
    for (std::size_t i = 0; i < count_; ++i) {
        if (std::strcmp(loaded_[i].fileName, fileName) == 0) handle = loaded_[i].handle;
    }
    bool all = handle != nullptr;
    for (const EntryPoint& entry : entries) {
        void* symbol = all ? ::dlsym(handle, entry.name) : nullptr;
        all = all && symbol != nullptr;
        entry.assign(entry.slot, symbol);
    }
    // Half a table is never handed out: either every pointer or none.
    if (!all) {
        for (const EntryPoint& entry : entries) entry.assign(entry.slot, nullptr);
    }
    return all;
}

}  // namespace zelph
