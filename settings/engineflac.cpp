#include "settings/engineflac.h"
#include "settings/enginetuning.h"
#include "settings/flactuning.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

namespace zelph {

CEngineFlac::CEngineFlac(FlacSettings* block, QWidget* parent)
    : CSettingsWindow("Flac Engine", parent),
      block_(block),
      level_(new QSlider(Qt::Horizontal, this)),
      verify_(new QCheckBox("Verify", this)),
      format_(this, true) {
    level_->setObjectName("level");
    level_->setRange(0, 8);
    level_->setPageStep(1);
    level_->setTickPosition(QSlider::TicksBelow);
    auto* shown = new QLabel(this);
    connect(level_, &QSlider::valueChanged, shown, [shown](int level) { shown->setNum(level); });
    auto* controls = new QGridLayout;
    controls->addWidget(new QLabel("Compression Level", this), 0, 0);
    controls->addWidget(level_, 0, 1);
    controls->addWidget(shown, 0, 2);
    controls->addWidget(verify_, 1, 0, 1, 3);
    controls->addWidget(format_.channelsBox(), 2, 0);
    controls->addWidget(format_.sampleSizeBox(), 2, 1, 1, 2);
    SetControls(controls);
}

void CEngineFlac::ShowBlock() {
    level_->setValue(block_->level);
    verify_->setChecked(block_->verify);
    format_.Show(block_->input);
}

void CEngineFlac::StoreBlock() {
    block_->level = level_->value();
    block_->verify = verify_->isChecked();
    format_.Store(block_->input);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetFlac, OpenPreferencesTuning<CEngineFlac, FlacSettings>);
}  // namespace

}  // namespace zelph
