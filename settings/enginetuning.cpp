#include "settings/enginetuning.h"

#include <map>

namespace zelph {

namespace {

std::map<int32_t, TuningOpener>& Registered() {
    static std::map<int32_t, TuningOpener> openers;
    return openers;
}

}  // namespace

bool RegisterTuningWindow(TargetFormat target, TuningOpener opener) {
    Registered()[target] = opener;
    return true;
}

bool OpenEngineTuning(int32_t targetFormat, ConverterSettings& settings, Preferences& preferences, QWidget* parent) {
    const auto found = Registered().find(targetFormat);
    return found != Registered().end() && found->second(settings, preferences, parent);
}

}  // namespace zelph
