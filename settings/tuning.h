#pragma once
// The tuning of the targets (and of the gain step) whose choices live in
// zelph.conf rather than in the settings record: read from the preferences by the front ends before a
// batch is planned, and kept by them until its run ends (jobs point into it).
//
// Each such target declares its block and its keys in its own file and
// registers them here (RegisterTuning), so that neither this file nor the
// preferences list targets. The library is linked whole
// (settings/CMakeLists.txt) so that no registration is dropped.

#include <any>
#include <functional>
#include <map>
#include <span>
#include <typeindex>
#include <vector>

#include "settings/preferences.h"

namespace zelph {

// How one target's block is kept in zelph.conf.
struct TuningKind {
    std::type_index block;
    std::span<const PreferenceKey> keys;
    std::function<std::any(const Preferences&)> read;
    std::function<void(const std::any&, Preferences&)> store;
};

// Every registered kind, in the order of their first key's name.
std::span<const TuningKind> TuningKinds();
// Called once per kind, from its own file; true, so that it can initialise a
// file-scope constant.
bool RegisterTuningKind(TuningKind kind);

template <typename Block>
bool RegisterTuning(std::span<const PreferenceKey> keys, Block (*read)(const Preferences&),
                    void (*store)(const Block&, Preferences&)) {
    return RegisterTuningKind({typeid(Block), keys, [read](const Preferences& p) { return std::any(read(p)); },
                               [store](const std::any& b, Preferences& p) { store(std::any_cast<const Block&>(b), p); }});
}

class TargetTuning {
public:
    // Every registered block at its defaults.
    TargetTuning();

    template <typename Block>
    Block& Of() {
        return std::any_cast<Block&>(blocks_.at(typeid(Block)));
    }
    template <typename Block>
    const Block& Of() const {
        return std::any_cast<const Block&>(blocks_.at(typeid(Block)));
    }

private:
    friend TargetTuning TuningFrom(const Preferences& preferences);
    friend void StoreTuning(const TargetTuning& tuning, Preferences& preferences);
    // Map nodes stay where they are, so jobs may point into the blocks.
    std::map<std::type_index, std::any> blocks_;
};

TargetTuning TuningFrom(const Preferences& preferences);
// Writes `tuning` back under its keys.
void StoreTuning(const TargetTuning& tuning, Preferences& preferences);

}  // namespace zelph
