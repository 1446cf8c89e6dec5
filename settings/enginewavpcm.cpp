#include "settings/enginewavpcm.h"
#include "settings/enginetuning.h"

#include <QGroupBox>
#include <QHBoxLayout>

namespace zelph {

CEngineWavPcm::CEngineWavPcm(WavPcmSettings* block, QWidget* parent)
    : CSettingsWindow("Wave Engine", parent), block_(block), format_(this) {
    auto* controls = new QHBoxLayout;
    controls->addWidget(format_.channelsBox());
    controls->addWidget(format_.sampleSizeBox());
    SetControls(controls);
}

void CEngineWavPcm::ShowBlock() { format_.Show(*block_); }

void CEngineWavPcm::StoreBlock() { format_.Store(*block_); }

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetWav, OpenRecordTuning<CEngineWavPcm, &ConverterSettings::wav>);
}  // namespace

}  // namespace zelph
