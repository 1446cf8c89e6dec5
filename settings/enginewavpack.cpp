#include "settings/enginewavpack.h"
#include "settings/enginetuning.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace zelph {

CEngineWavPack::CEngineWavPack(WavPackSettings* block, QWidget* parent)
    : CSettingsWindow("WavPack Engine", parent),
      block_(block),
      level_(this),
      mode_(this),
      bitrate_(new QSpinBox(this)),
      correction_(new QCheckBox("Correction File (.wvc)", this)) {
    bitrate_->setObjectName("bitrate");
    bitrate_->setRange(kWavPackMinKbps, kWavPackMaxKbps);
    bitrate_->setSuffix(" kbit/s");
    auto* levels = MakeGroup("Compression", Column({level_.Add("Fast", WavPackLevel::kFast),
                                                    level_.Add("Normal", WavPackLevel::kNormal),
                                                    level_.Add("High", WavPackLevel::kHigh),
                                                    level_.Add("Very High", WavPackLevel::kVeryHigh)}), this);
    auto* lossless = mode_.Add("Lossless", WavPackMode::kLossless);
    auto* hybrid = mode_.Add("Hybrid (Lossy)", WavPackMode::kHybrid, {bitrate_, correction_});
    auto* bitrateRow = new QHBoxLayout;
    bitrateRow->addWidget(new QLabel("Bit Rate", this));
    bitrateRow->addWidget(bitrate_);
    auto* modeColumn = new QVBoxLayout;
    modeColumn->addWidget(lossless);
    modeColumn->addWidget(hybrid);
    modeColumn->addLayout(bitrateRow);
    modeColumn->addWidget(correction_);
    auto* modes = MakeGroup("Mode", modeColumn, this);
    auto* controls = new QGridLayout;
    controls->addWidget(levels, 0, 0);
    controls->addWidget(modes, 0, 1);
    SetControls(controls);
}

void CEngineWavPack::ShowBlock() {
    level_.Show(block_->level);
    mode_.Show(block_->mode);
    bitrate_->setValue(block_->bitrate);
    correction_->setChecked(block_->correction);
}

void CEngineWavPack::StoreBlock() {
    level_.Store(block_->level);
    mode_.Store(block_->mode);
    block_->bitrate = bitrate_->value();
    block_->correction = correction_->isChecked();
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetWavPack, OpenPreferencesTuning<CEngineWavPack, WavPackSettings>);
}  // namespace

}  // namespace zelph
