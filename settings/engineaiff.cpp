#include "settings/engineaiff.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

namespace zelph {

CEngineAiff::CEngineAiff(AiffSettings* block, QWidget* parent)
    : CSettingsWindow("Aiff Engine", parent), block_(block), sampleSize_(this) {
    auto* sizes = MakeGroup("Sample Size", Column({sampleSize_.Add("As Source (16 or 24 Bit)", AiffSampleSize::kAsSource),
                                                   sampleSize_.Add("16 Bit", AiffSampleSize::k16Bit),
                                                   sampleSize_.Add("24 Bit", AiffSampleSize::k24Bit)}), this);
    auto* controls = new QGridLayout;
    controls->addWidget(sizes, 0, 0);
    SetControls(controls);
}

void CEngineAiff::ShowBlock() { sampleSize_.Show(block_->sampleSize); }

void CEngineAiff::StoreBlock() { sampleSize_.Store(block_->sampleSize); }

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetAiff, OpenPreferencesTuning<CEngineAiff, AiffSettings>);
}  // namespace

}  // namespace zelph
