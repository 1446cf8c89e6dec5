#include "settings/engineopus.h"
#include "settings/enginetuning.h"
#include "settings/opustuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

namespace zelph {

namespace {
// The spin box's lowest position stands for "by channels" (stored as 0).
constexpr int kAutomatic = 5;
}  // namespace

CEngineOpus::CEngineOpus(OpusSettings* block, QWidget* parent)
    : CSettingsWindow("Opus Engine", parent),
      block_(block),
      bitrate_(new QSpinBox(this)),
      mode_(this),
      application_(this),
      complexity_(new QSlider(Qt::Horizontal, this)) {
    bitrate_->setObjectName("bitrate");
    bitrate_->setRange(kAutomatic, 510);
    bitrate_->setSpecialValueText("Auto (128 Stereo, 64 Mono)");
    bitrate_->setSuffix(" kbit/s");
    complexity_->setObjectName("complexity");
    complexity_->setRange(0, 10);
    complexity_->setPageStep(1);
    complexity_->setTickPosition(QSlider::TicksBelow);
    auto* modes = MakeGroup("Bit Rate Mode", Column({mode_.Add("VBR", OpusMode::kVbr),
                                                     mode_.Add("Constrained VBR", OpusMode::kConstrainedVbr),
                                                     mode_.Add("CBR", OpusMode::kCbr)}), this);
    auto* applications = MakeGroup("Audio", Column({application_.Add("Music", OpusApplication::kMusic),
                                                     application_.Add("Speech", OpusApplication::kSpeech)}), this);
    auto* controls = new QGridLayout;
    controls->addWidget(new QLabel("Bit Rate", this), 0, 0);
    controls->addWidget(bitrate_, 0, 1);
    controls->addWidget(new QLabel("Complexity", this), 1, 0);
    controls->addWidget(complexity_, 1, 1);
    controls->addWidget(modes, 2, 0);
    controls->addWidget(applications, 2, 1);
    SetControls(controls);
}

void CEngineOpus::ShowBlock() {
    bitrate_->setValue(block_->bitrate == 0 ? kAutomatic : block_->bitrate);
    mode_.Show(block_->mode);
    application_.Show(block_->application);
    complexity_->setValue(block_->complexity);
}

void CEngineOpus::StoreBlock() {
    block_->bitrate = bitrate_->value() == kAutomatic ? 0 : bitrate_->value();
    mode_.Store(block_->mode);
    application_.Store(block_->application);
    block_->complexity = complexity_->value();
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetOpus, OpenPreferencesTuning<CEngineOpus, OpusSettings>);
}  // namespace

}  // namespace zelph
