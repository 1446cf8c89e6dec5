#include "settings/tuning.h"

#include <algorithm>

namespace zelph {

namespace {

std::vector<TuningKind>& Registered() {
    static std::vector<TuningKind> kinds;
    return kinds;
}

}  // namespace

std::span<const TuningKind> TuningKinds() { return Registered(); }

bool RegisterTuningKind(TuningKind kind) {
    auto& kinds = Registered();
    // Sorted, so that the keys list the same whatever order the files start in.
    const auto place = std::ranges::upper_bound(kinds, kind.keys.front().name, {},
                                                [](const TuningKind& k) { return k.keys.front().name; });
    kinds.insert(place, std::move(kind));
    return true;
}

TargetTuning::TargetTuning() {
    const Preferences none("");
    for (const TuningKind& kind : TuningKinds()) blocks_.emplace(kind.block, kind.read(none));
}

TargetTuning TuningFrom(const Preferences& preferences) {
    TargetTuning tuning;
    for (const TuningKind& kind : TuningKinds()) tuning.blocks_.at(kind.block) = kind.read(preferences);
    return tuning;
}

void StoreTuning(const TargetTuning& tuning, Preferences& preferences) {
    for (const TuningKind& kind : TuningKinds()) kind.store(tuning.blocks_.at(kind.block), preferences);
}

}  // namespace zelph
