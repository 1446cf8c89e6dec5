#pragma once
// Codec libraries, loaded per run from the "Plugins" folder beside the
// program and released when the run ends. An engine loads its files in
// order, then resolves every entry point it lists before it calls any; a
// missing file or a missing name fails only that engine's job.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>

namespace zelph {

inline constexpr const char* kLibMadFile = "libMAD.so";
inline constexpr const char* kOggFile = "Ogg.so";
inline constexpr const char* kVorbisFile = "Vorbis.so";
inline constexpr const char* kVorbisEncFile = "VorbisEnc.so";
inline constexpr const char* kMacFile = "MACDll.so";
inline constexpr const char* kLameEncFile = "Lame_Enc.so";
inline constexpr const char* kBladeEncFile = "BladeEnc.so";
inline constexpr const char* kGoGoFile = "GoGo.so";

// "Plugins/" in the folder of the running executable (never the working
// folder), with its trailing "/".
std::string PluginFolder();

// One entry point of a library: its exact name and the pointer to fill.
struct EntryPoint {
    const char* name;
    void* slot;
    void (*assign)(void* slot, void* symbol);
};

template <class Function>
EntryPoint Entry(const char* name, Function*& pointer) {
    return {name, &pointer, [](void* slot, void* symbol) {
                *static_cast<Function**>(slot) = reinterpret_cast<Function*>(symbol);
            }};
}

class CodecLibraries {
public:
    static constexpr std::size_t kMaxLibraries = 4;

    explicit CodecLibraries(std::string folder = PluginFolder());
    // Releases the libraries, the last loaded first.
    ~CodecLibraries();
    CodecLibraries(const CodecLibraries&) = delete;
    CodecLibraries& operator=(const CodecLibraries&) = delete;

    // Loads the files in this order; false at the first that does not load.
    bool Load(std::initializer_list<const char*> fileNames);
    // Looks up every entry in the loaded library `fileName`. False, with every
    // slot of `entries` cleared, when any one is missing.
    bool Resolve(const char* fileName, std::span<const EntryPoint> entries);

private:
    struct Loaded {
        const char* fileName;
        void* handle;
    };

    std::string folder_;
    std::array<Loaded, kMaxLibraries> loaded_{};
    std::size_t count_ = 0;
};

}  // namespace zelph
