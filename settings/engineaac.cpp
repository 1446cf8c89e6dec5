#include "settings/engineaac.h"
#include "settings/enginetuning.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>

#include <cmath>

namespace zelph {

CEngineAac::CEngineAac(AacSettings* block, QWidget* parent)
    : CSettingsWindow("Aac Engine", parent),
      block_(block),
      quality_(new QDoubleSpinBox(this)),
      bitrate_(new QSpinBox(this)),
      mode_(this) {
    quality_->setObjectName("quality");
    quality_->setRange(0.1, 2.0);
    quality_->setSingleStep(0.1);
    quality_->setDecimals(1);
    bitrate_->setObjectName("bitrate");
    bitrate_->setRange(32, 512);
    bitrate_->setSuffix(" kbit/s");
    auto* vbr = new QGridLayout;
    vbr->addWidget(mode_.Add("VBR, Quality", AacMode::kVbr, {quality_}), 0, 0);
    vbr->addWidget(quality_, 0, 1);
    vbr->addWidget(mode_.Add("CBR, Bit Rate", AacMode::kCbr, {bitrate_}), 1, 0);
    vbr->addWidget(bitrate_, 1, 1);
    auto* controls = new QGridLayout;
    controls->addWidget(MakeGroup("Bit Rate Mode", vbr, this), 0, 0);
    SetControls(controls);
}

void CEngineAac::ShowBlock() {
    mode_.Show(block_->mode);
    quality_->setValue(block_->quality / 10.0);
    bitrate_->setValue(block_->bitrate);
}

void CEngineAac::StoreBlock() {
    mode_.Store(block_->mode);
    block_->quality = static_cast<int32_t>(std::lround(quality_->value() * 10));
    block_->bitrate = bitrate_->value();
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetAac, OpenPreferencesTuning<CEngineAac, AacSettings>);
}  // namespace

}  // namespace zelph
