#pragma once
// Codec libraries of one engine run, loaded from the Plugins folder of
// the program by file name, every entry point resolved by name before any is
// called. Everything loaded is released when the object goes, on every path
// out of the engine.

#include <initializer_list>
#include <string>
#include <vector>

namespace zelph {

struct EntryPoint {
    const char* name;
    void** slot;
};

// Binds an entry point's name to the function pointer that receives it.
template <typename Function>
EntryPoint Bind(const char* name, Function*& pointer) {
    return {name, reinterpret_cast<void**>(&pointer)};
}

// "Plugins/" in the folder of the running executable when it exists there,
// else the installed Plugins folder relative to that folder (with its "/").
std::string PluginsFolder();

class CodecLibraries {
public:
    // How long what is loaded stays: until the object goes, or for the rest
    // of the process, for a library that keeps tables it allocates once in
    // its own globals (unloading it would orphan them).
    enum class Lifetime { kThisObject, kProcess };

    explicit CodecLibraries(Lifetime lifetime = Lifetime::kThisObject) : lifetime_(lifetime) {}
    ~CodecLibraries();
    CodecLibraries(const CodecLibraries&) = delete;
    CodecLibraries& operator=(const CodecLibraries&) = delete;

    // Loads `fileName` from the Plugins folder and resolves every entry. On
    // any failure the library is released again, no slot is filled, and the
    // result is false.
    bool Load(const std::string& fileName, std::initializer_list<EntryPoint> entries);
    // Why the last Load failed ("Plugins/OpusEnc.so lacks ope_encoder_create").
    const std::string& error() const { return error_; }

private:
    Lifetime lifetime_;
    std::vector<void*> handles_;
    std::string error_;
};

}  // namespace zelph
