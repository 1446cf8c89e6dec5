#include "settings/enginealac.h"
#include "settings/enginetuning.h"

namespace zelph {

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetAlac, OpenPreferencesTuning<CEngineAlac, AlacSettings>);
}  // namespace

}  // namespace zelph
