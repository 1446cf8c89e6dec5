#include "settings/enginealac.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

namespace zelph {

CEngineAlac::CEngineAlac(AlacSettings* block, QWidget* parent)
    : CSettingsWindow("Alac Engine", parent), block_(block), sampleSize_(this) {
    auto* sizes = MakeGroup("Sample Size", Column({sampleSize_.Add("As Source (16 or 24 Bit)", AlacSampleSize::kAsSource),
                                                   sampleSize_.Add("16 Bit", AlacSampleSize::k16Bit),
                                                   sampleSize_.Add("24 Bit", AlacSampleSize::k24Bit)}), this);
    auto* controls = new QGridLayout;
    controls->addWidget(sizes, 0, 0);
    SetControls(controls);
}

void CEngineAlac::ShowBlock() { sampleSize_.Show(block_->sampleSize); }

void CEngineAlac::StoreBlock() { sampleSize_.Store(block_->sampleSize); }

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetAlac, OpenPreferencesTuning<CEngineAlac, AlacSettings>);
}  // namespace

}  // namespace zelph
