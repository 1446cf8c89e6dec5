#include "settings/engineaiff.h"
#include "settings/enginetuning.h"

namespace zelph {

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetAiff, OpenPreferencesTuning<CEngineAiff, AiffSettings>);
}  // namespace

}  // namespace zelph
